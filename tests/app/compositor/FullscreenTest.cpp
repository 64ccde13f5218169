#include "app/compositor/CompositorGLView.h"
#include "app/compositor/FullscreenDisplaysUIController.h"
#include "app/compositor/FullscreenTarget.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/Screenshot.h"

#include <QCheckBox>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

const QRect kLeft(0, 0, 1920, 1200), kRight(1920, 0, 1280, 1024), kBelow(0, 1200, 800, 600);

// Screens injected for the life of the object.
class InjectedScreens {
 public:
  explicit InjectedScreens(QList<QRect> screens) { set(std::move(screens)); }
  ~InjectedScreens() { ScreenList::setProvider({}); }
  void set(QList<QRect> screens) {
    screens_ = std::move(screens);
    ScreenList::setProvider([this] { return screens_; });
  }

 private:
  QList<QRect> screens_;
};

TEST(FullscreenTarget, UnionOfTheChosenScreensThatExist) {
  const QList<QRect> screens{kLeft, kRight, kBelow};
  const struct {
    QList<bool> flags;
    QRect expected;
  } cases[] = {
      {{false, true, true}, kRight.united(kBelow)},
      {{true, true}, kLeft.united(kRight)},        // side by side: one window over both
      {{false, true, false, true, true}, kRight},  // flags beyond the screens are ignored
      {{false}, QRect()},                          // shorter: the rest stay uncovered
      {{}, QRect()},
  };
  for (const auto& c : cases) EXPECT_EQ(FullscreenTarget::unionOf(screens, c.flags), c.expected);
}

TEST(FullscreenTarget, OnlyAListOfBooleansIsAFlagArray) {
  QList<bool> flags{true};
  EXPECT_TRUE(FullscreenTarget::flagsFromVariant(QVariantList{false, true}, &flags));
  EXPECT_EQ(flags, (QList<bool>{false, true}));
  EXPECT_FALSE(FullscreenTarget::flagsFromVariant(QVariantList{false, 1}, &flags));
  EXPECT_FALSE(FullscreenTarget::flagsFromVariant(QString("YES"), &flags));
  EXPECT_FALSE(FullscreenTarget::flagsFromVariant(QVariant(), &flags));
  EXPECT_EQ(flags, (QList<bool>{false, true}));
}

// The output view's window on injected screens, no frames drawn.
class FullscreenViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_.awake(-1);  // no delayed load: nothing renders
    view_.window()->setGeometry(100, 100, 320, 240);
    view_.setFullscreenRefusedHook([this] { ++refusals_; });
    Alert::clearRecorded();
  }
  Compositor compositor_{nullptr, Compositor::Environment{.gpuVendors = {"NVIDIA"}}};
  CompositorGLView view_{&compositor_};
  InjectedScreens screens_{{kLeft, kRight}};
  int refusals_ = 0;
};

TEST_F(FullscreenViewTest, CoversTheChosenScreensAndLeavingRestoresFrameAndAspect) {
  view_.setFullscreenFlagArray({false, true});
  view_.setFullscreen(true);
  EXPECT_TRUE(view_.fullscreen());
  EXPECT_EQ(view_.window()->geometry(), kRight);
  EXPECT_TRUE(view_.window()->fullscreenStyle());
  EXPECT_TRUE(UserDefaults::standard().boolValue("fullscreenFlag"));
  EXPECT_FALSE(view_.willFullscreenHideAModal());

  view_.setFullscreenFlagArray({true, true});  // a new choice applies at once
  EXPECT_EQ(view_.window()->geometry(), kLeft.united(kRight));
  EXPECT_TRUE(view_.willFullscreenHideAModal());

  view_.setFullscreen(false);
  EXPECT_FALSE(view_.fullscreen());
  EXPECT_FALSE(view_.window()->fullscreenStyle());
  EXPECT_EQ(view_.window()->geometry(), QRect(100, 100, 320, 240));  // 4:3 like the canvas
  EXPECT_FALSE(UserDefaults::standard().boolValue("fullscreenFlag"));
  EXPECT_EQ(view_.window()->title(), "Main Output [320 x 240]");
}

TEST_F(FullscreenViewTest, NoUsableScreenWarnsResetsTheToggleAndLeavesTheFlagAlone) {
  UserDefaults::standard().setValue("fullscreenFlag", "untouched");
  for (const QList<bool>& flags :
       {QList<bool>{}, QList<bool>{false, false}, QList<bool>{false, false, true}}) {
    view_.setFullscreenFlagArray(flags);
    view_.setFullscreen(true);
    EXPECT_FALSE(view_.fullscreen());
    EXPECT_EQ(view_.window()->geometry(), QRect(100, 100, 320, 240));
  }
  EXPECT_EQ(refusals_, 3);
  ASSERT_EQ(Alert::recorded().size(), 3u);
  EXPECT_EQ(Alert::recorded()[0].title, "No fullscreen displays selected!");
  EXPECT_EQ(Alert::recorded()[0].buttons, QStringList{"Right on!"});
  EXPECT_EQ(UserDefaults::standard().stringValue("fullscreenFlag"), "untouched");
}

TEST_F(FullscreenViewTest, AScreenChangeReentersOnlyWhenFullscreen) {
  view_.setFullscreenFlagArray({false, true});
  view_.displaysAdjustedNotification();
  EXPECT_FALSE(view_.fullscreen());
  view_.setFullscreen(true);
  screens_.set({kLeft, QRect(3000, 0, 640, 480)});  // the right screen moved
  view_.displaysAdjustedNotification();
  EXPECT_EQ(view_.window()->geometry(), QRect(3000, 0, 640, 480));
  view_.setFullscreen(false);
  EXPECT_EQ(view_.window()->geometry(), QRect(100, 100, 320, 240));  // not the fullscreen frame
}

TEST_F(FullscreenViewTest, CornerResizeKeepsTheTopLeftAndSamplesNoColour) {
  view_.setConstrainOutputWindow(false);
  view_.mouseDown(QPointF(310, 5));  // bottom right, within 15 points
  EXPECT_TRUE(view_.resizing());
  EXPECT_FALSE(view_.colourSampleRequested());
  view_.mouseDragged(QPointF(0, 0), QPoint(500, 400));
  EXPECT_EQ(view_.window()->geometry(), QRect(100, 100, 400, 300));
  EXPECT_FALSE(view_.colourSampleRequested());
  view_.mouseDragged(QPointF(0, 0), QPoint(120, 110));
  EXPECT_EQ(view_.window()->geometry(), QRect(100, 100, 100, 100));  // never below 100 x 100
  view_.mouseUp();
  EXPECT_FALSE(view_.resizing());

  view_.mouseDown(QPointF(50, 50));  // elsewhere: a colour sample, and drags sample too
  EXPECT_FALSE(view_.resizing());
  EXPECT_TRUE(view_.colourSampleRequested());
}

TEST_F(FullscreenViewTest, TheConstraintCorrectsTheHeightFromTheWidth) {
  view_.window()->resize(400, 100);
  view_.applyAspectConstraint();  // what a resize of the shown window calls
  EXPECT_EQ(view_.window()->size(), QSize(400, 300));
  view_.setConstrainOutputWindow(false);
  view_.window()->resize(400, 100);
  view_.applyAspectConstraint();
  EXPECT_EQ(view_.window()->size(), QSize(400, 100));
}

// --- Display chooser ------------------------------------------------------------------------

class ChooserTest : public ::testing::Test {
 protected:
  void SetUp() override { UserDefaults::standard().resetForTesting(); }
  std::unique_ptr<FullscreenDisplaysUIController> make() {
    auto chooser = std::make_unique<FullscreenDisplaysUIController>(
        &matrix_, [this](const QList<bool>& flags) { handed_ << flags; });
    chooser->resize(200, 100);
    return chooser;
  }
  QList<bool> stored() const {
    QList<bool> flags;
    FullscreenTarget::flagsFromVariant(
        UserDefaults::standard().value(FullscreenDisplaysUIController::kDefaultsKey), &flags);
    return flags;
  }
  QWidget matrix_;
  QList<QList<bool>> handed_;
};

TEST_F(ChooserTest, FirstStartChoosesEveryScreenButTheFirstAndFollowsANewScreen) {
  InjectedScreens screens({kLeft, kRight});
  auto chooser = make();
  chooser->awake();
  EXPECT_EQ(stored(), (QList<bool>{false, true}));
  ASSERT_EQ(handed_.size(), 1);
  EXPECT_EQ(handed_[0], (QList<bool>{false, true}));
  ASSERT_EQ(chooser->toggles().size(), 2);
  EXPECT_EQ(chooser->toggles()[1]->text(), "Screen 1");
  EXPECT_FALSE(chooser->toggles()[0]->isChecked());
  EXPECT_TRUE(chooser->toggles()[1]->isChecked());

  screens.set({kLeft, kRight, kBelow});
  chooser->screensChangedNotification();
  EXPECT_EQ(handed_.last(), (QList<bool>{false, true, true}));
  ASSERT_EQ(chooser->toggles().size(), 3);
  EXPECT_TRUE(chooser->toggles()[2]->isChecked());
  EXPECT_EQ(chooser->toggles()[2]->text(), "Screen 2");

  chooser->toggles()[0]->setChecked(true);
  chooser->toggleMatrixUsed();
  EXPECT_EQ(stored(), (QList<bool>{true, true, true}));
  EXPECT_EQ(handed_.last(), (QList<bool>{true, true, true}));

  screens.set({kLeft});  // a screen goes: its flags stay for its return
  chooser->screensChangedNotification();
  EXPECT_EQ(chooser->toggles().size(), 1);
  EXPECT_EQ(chooser->fullscreenFlagArray().size(), 3);
  saveScreenshot(chooser->grab().toImage(), "fullscreen-display-map");
}

TEST_F(ChooserTest, OneScreenStartsUnchosenAndABadOrShortStoredArrayIsMended) {
  {
    InjectedScreens screens({kLeft});
    make();
    EXPECT_EQ(stored(), QList<bool>{false});
  }
  InjectedScreens screens({kLeft, kRight, kBelow});
  UserDefaults::standard().setValue(FullscreenDisplaysUIController::kDefaultsKey,
                                    QVariantList{true});  // shorter than the screens
  auto chooser = make();
  chooser->awake();
  EXPECT_EQ(handed_.last(), (QList<bool>{true, true, true}));
  chooser->toggles()[2]->setChecked(false);
  chooser->toggleMatrixUsed();  // writes nothing past the array
  EXPECT_EQ(stored(), (QList<bool>{true, true, false}));

  UserDefaults::standard().setValue(FullscreenDisplaysUIController::kDefaultsKey, "not flags");
  auto again = make();
  EXPECT_EQ(again->fullscreenFlagArray(), (QList<bool>{false, true, true}));
}

TEST(ScreenMap, TwoScreensSideBySideFitNinetyPercentCentred) {
  const QList<QRectF> local =
      FullscreenDisplaysUIController::fitScreens({kLeft, kRight}, QSizeF(200, 100));
  ASSERT_EQ(local.size(), 2);
  const QRectF all = local[0].united(local[1]);
  EXPECT_DOUBLE_EQ(all.width(), 180.0);
  EXPECT_DOUBLE_EQ(all.height(), 67.5);
  EXPECT_DOUBLE_EQ(all.x(), 10.0);
  EXPECT_DOUBLE_EQ(all.y(), 16.25);
  EXPECT_DOUBLE_EQ(local[1].x(), 10.0 + 1920 * 180.0 / 3200);
}

// Two real screens under Xvfb (skipped with one): fullscreen over the
// second covers exactly its frame.
TEST(FullscreenTwoHeads, CoversTheSecondScreen) {
  if (ScreenList::systemFrames().size() < 2) GTEST_SKIP() << "Qt sees one screen";
  Compositor compositor(nullptr, Compositor::Environment{.gpuVendors = {"NVIDIA"}});
  CompositorGLView view(&compositor);
  view.awake(-1);
  view.window()->show();
  view.setFullscreenFlagArray({false, true});
  view.setFullscreen(true);
  EXPECT_EQ(view.window()->geometry(), ScreenList::systemFrames()[1]);
  view.setFullscreen(false);
}

}  // namespace
