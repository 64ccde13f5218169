#include "framework/controls/SliderTracker.h"
#include "tests/framework/controls/SliderViewFixture.h"

namespace {

// The same table on a horizontal and a vertical slider: points are given in
// the slider's own coordinates (along, across) and reach the widget through
// its rotation.
class SliderTracking : public testing::TestWithParam<bool>, public SliderViewFixture {
 protected:
  SliderTracking() { window->show(); }

  QKSliderControl* slider(int index = 0) {
    const int offset = 10 + 30 * index;
    return control(GetParam() ? QRect(offset, 10, 20, 200) : QRect(10, offset, 200, 20));
  }
  void press(QKSliderControl* c, double along, double across = 10,
             Qt::KeyboardModifiers keys = Qt::NoModifier) {
    mouse(c, QEvent::MouseButtonPress, at(c, along, across), Qt::LeftButton, keys);
  }
  void drag(QKSliderControl* c, double along, double across = 10) {
    mouse(c, QEvent::MouseMove, at(c, along, across));
  }
  void release(QKSliderControl* c, double along, double across = 10) {
    mouse(c, QEvent::MouseButtonRelease, at(c, along, across));
  }
  void click(QKSliderControl* c, double along, double across = 10,
             Qt::KeyboardModifiers keys = Qt::NoModifier) {
    press(c, along, across, keys);
    release(c, along, across);
  }
};

}  // namespace

TEST_P(SliderTracking, ClickOnTheTrackJumpsWithOneAction) {
  QKSliderControl* c = slider();
  click(c, 50);
  EXPECT_FLOAT_EQ(c->value(), 0.25f);
  EXPECT_EQ(actions, 1);
  EXPECT_TRUE(c->selected());
  EXPECT_EQ(c->changeMask(), SliderTracker::Value);
  EXPECT_EQ(c->jumpMask(), SliderTracker::Value);
}

TEST_P(SliderTracking, HeadDragMovesRelatively) {
  QKSliderControl* c = slider();
  c->setValue(0.4f, false);  // head along 77..81
  press(c, 80);
  EXPECT_EQ(actions, 0);  // a press on the head does not jump
  drag(c, 100);
  release(c, 100);
  EXPECT_NEAR(c->value(), 0.5f, 1e-6);
  EXPECT_EQ(actions, 1);
}

TEST_P(SliderTracking, ModifiersChooseTheEnvelope) {
  struct Case {
    const char* name;
    Qt::KeyboardModifiers keys;
    double pressAt, dragTo;
    float minEnv, maxEnv;
  };
  const Case cases[] = {
      {"Command jumps the upper envelope", Qt::ControlModifier, 150, 150, 0.2f, 0.75f},
      {"Option jumps the lower envelope", Qt::AltModifier, 50, 50, 0.25f, 0.8f},
      {"both move both, relatively", Qt::ControlModifier | Qt::AltModifier, 100, 120, 0.3f, 0.9f},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    QKSliderControl* c = slider();
    c->setMinEnv(0.2f);
    c->setMaxEnv(0.8f);
    press(c, k.pressAt, 10, k.keys);
    drag(c, k.dragTo);
    release(c, k.dragTo);
    EXPECT_NEAR(c->minEnv(), k.minEnv, 1e-5);
    EXPECT_NEAR(c->maxEnv(), k.maxEnv, 1e-5);
    delete c;
  }
}

// Overlapping envelope handles: the side of their union the press lies on.
TEST_P(SliderTracking, OverlappingHandlesSplitAtTheirMiddle) {
  QKSliderControl* c = slider();
  c->setMinEnv(0.5f);   // handle along 93..105
  c->setMaxEnv(0.52f);  // handle along 97..109: union middle 101
  press(c, 100, 2);
  EXPECT_EQ(c->changeMask(), SliderTracker::LowerEnvelope);
  release(c, 100, 2);
  press(c, 103, 2);
  EXPECT_EQ(c->changeMask(), SliderTracker::UpperEnvelope);
  release(c, 103, 2);
}

TEST_P(SliderTracking, MarksAreDraggedOnlyWhenUnlocked) {
  QKSliderControl* c = slider();
  c->addInterestingPoint(0.25f);  // handle along 48..52, across 16..20
  c->addInterestingPoint(0.75f);
  press(c, 50, 18);  // locked: a press on the track
  EXPECT_EQ(c->changeMask(), SliderTracker::Value);
  release(c, 50, 18);

  manager.setLockInterestingPoints(false);
  press(c, 50, 18);
  EXPECT_EQ(c->changeMask(), SliderTracker::Mark);
  EXPECT_EQ(c->clickedIPIndex(), 0);
  drag(c, 180, 18);
  release(c, 180, 18);
  EXPECT_EQ(c->interestingPoints(), (QList<float>{0.75f, 0.9f}));  // sorted at the release
  EXPECT_FLOAT_EQ(c->value(), 0.9f);
}

TEST_P(SliderTracking, SnapsToAMarkWithinFourPoints) {
  QKSliderControl* c = slider();
  c->addInterestingPoint(0.5f);
  click(c, 98);  // 0.49: 2 points from the mark
  EXPECT_FLOAT_EQ(c->value(), 0.5f);
  click(c, 95);  // 0.475: 5 points away
  EXPECT_FLOAT_EQ(c->value(), 0.475f);
}

// Selected unbound sliders move together; a bound one keeps its source.
TEST_P(SliderTracking, SelectionMovesTogether) {
  QKSliderControl* a = slider(0);
  QKSliderControl* b = slider(1);
  QKSliderControl* bound = slider(2);
  auto source = bind(bound, {"ZAPH", "fader"}, 0.7f);
  a->selectJustMe();
  b->selectMeToo();
  bound->selectMeToo();
  click(a, 50);
  EXPECT_FLOAT_EQ(a->value(), 0.25f);
  EXPECT_FLOAT_EQ(b->value(), 0.25f);
  EXPECT_FLOAT_EQ(bound->value(), 0.7f);
  EXPECT_TRUE(bound->selected());
}

TEST_P(SliderTracking, LockedSliderIsSelectedAndUnchanged) {
  QKSliderControl* c = slider();
  c->setLockUIFlag(true);
  click(c, 50);
  EXPECT_TRUE(c->selected());
  EXPECT_FLOAT_EQ(c->value(), 0.5f);
  EXPECT_EQ(actions, 0);
}

TEST_P(SliderTracking, ShiftOnlyTogglesSelection) {
  QKSliderControl* a = slider(0);
  QKSliderControl* c = slider(1);
  a->selectJustMe();
  click(c, 50, 10, Qt::ShiftModifier);
  EXPECT_TRUE(c->selected());
  EXPECT_TRUE(a->selected());
  click(c, 150, 10, Qt::ShiftModifier);
  EXPECT_FALSE(c->selected());
  EXPECT_FLOAT_EQ(c->value(), 0.5f);
  EXPECT_EQ(actions, 0);
}

// After a drag a bound slider waits for its source to catch it.
TEST_P(SliderTracking, ReleaseArmsSoftTakeoverOnABoundSlider) {
  QKSliderControl* c = slider();
  auto source = bind(c, {"ZAPH", "fader"}, 0.5f);
  click(c, 150);
  EXPECT_FLOAT_EQ(c->value(), 0.75f);
  EXPECT_TRUE(c->cell()->softTakeoverFlag());
  EXPECT_FALSE(c->cell()->mouseDown());
}

// A drag whose release never comes (another window took the mouse, the
// slider went away) still ends, once: the slider hears its source again.
TEST_P(SliderTracking, ADragThatLosesTheMouseEndsOnce) {
  enum class Loss { Deactivated, Hidden, NextPress };
  for (Loss loss : {Loss::Deactivated, Loss::Hidden, Loss::NextPress}) {
    SCOPED_TRACE(static_cast<int>(loss));
    QKSliderControl* c = slider();
    auto source = bind(c, {"ZAPH", "fader"}, 0.5f);
    press(c, 100);
    drag(c, 150);
    ASSERT_TRUE(c->cell()->mouseDown());
    switch (loss) {
      case Loss::Deactivated: {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(window.get(), &deactivate);
        break;
      }
      case Loss::Hidden:
        c->hide();
        break;
      case Loss::NextPress:
        press(c, 100);
        break;
    }
    if (loss != Loss::NextPress) {
      EXPECT_FALSE(c->cell()->mouseDown());
      EXPECT_TRUE(c->cell()->softTakeoverFlag());
      const float before = c->value();
      drag(c, 20);  // no longer tracked
      EXPECT_FLOAT_EQ(c->value(), before);
    }
    release(c, 100);
    delete c;
  }
}

INSTANTIATE_TEST_SUITE_P(Orientations, SliderTracking, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Vertical" : "Horizontal";
                         });
