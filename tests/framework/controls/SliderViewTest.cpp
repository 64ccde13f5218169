#include "framework/controls/ContextualMenuProvider.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/SliderColorDict.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "tests/framework/controls/SliderViewFixture.h"
#include "tests/support/Screenshot.h"

#include <QMenu>
#include <QTest>

#include <future>

namespace {

using S = InterfaceColorScheme;

bool near(QRgb pixel, const QColor& color, int tolerance = 2) {
  return std::abs(qRed(pixel) - color.red()) <= tolerance &&
         std::abs(qGreen(pixel) - color.green()) <= tolerance &&
         std::abs(qBlue(pixel) - color.blue()) <= tolerance;
}

QColor grey(double level) { return QColor::fromRgbF(level, level, level); }
QColor rgb(double r, double g, double b) { return QColor::fromRgbF(r, g, b); }

class SliderDrawing : public testing::Test, public SliderViewFixture {};

// A control that cannot make a cell: every member answers its default.
class CellLessControl : public QKSliderControl {
 public:
  CellLessControl() : QKSliderControl(nullptr, nullptr) {}
};

}  // namespace

// The built-in leaves pick the frame, fill and head colours by selection,
// binding and learn mode; a missing level gives no leaf.
TEST(SliderColors, LeafPerDrawingState) {
  struct Case {
    bool selected, sync, learn;
    QColor frame, fill, head;
  };
  const QColor orange = rgb(0.943, 0.558, 0.154);
  const QColor learnFrame = rgb(0.022, 0.062, 0.144);
  const QColor green = rgb(0.384, 0.977, 0.191);
  const Case cases[] = {
      {true, false, false, grey(0.152), rgb(0.622, 0.368, 0.102), orange},
      {true, false, true, learnFrame, rgb(0.096, 0.397, 0.972), orange},
      {true, true, false, grey(0.148), rgb(0.230, 0.487, 0.074), rgb(0.498, 0.921, 0.214)},
      {true, true, true, learnFrame, rgb(0.096, 0.397, 0.972), green},
      {false, false, false, grey(0.148), grey(0.254), grey(0.660)},
      {false, false, true, learnFrame, rgb(0.073, 0.209, 0.485), rgb(0.096, 0.397, 0.972)},
      {false, true, false, grey(0.148), grey(0.25), green},
      {false, true, true, learnFrame, rgb(0.073, 0.209, 0.485), green},
  };
  const QVariantMap all = SliderColorDict::builtIn();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.selected << c.sync << c.learn);
    const auto colors =
        SliderPainter::colorsFromLeaf(SliderColorDict::leaf(all, c.selected, c.sync, c.learn));
    EXPECT_TRUE(near(colors.frame.rgb(), c.frame, 1));
    EXPECT_TRUE(near(colors.fill.rgb(), c.fill, 1));
    EXPECT_TRUE(near(colors.head.rgb(), c.head, 1));
    EXPECT_NEAR(colors.envelope.alphaF(), 0.7, 1e-3);
  }
  QVariantMap partial = all;
  partial.remove(QStringLiteral("unselected"));
  EXPECT_TRUE(SliderColorDict::leaf(partial, false, false, false).isEmpty());
  EXPECT_FALSE(SliderColorDict::leaf(partial, true, false, false).isEmpty());
}

TEST_F(SliderDrawing, ColoursOfStatesByPixel) {
  QKSliderControl* c = control({10, 10, 200, 20});
  c->setValue(0.5f);
  QImage plain = picture(c);
  EXPECT_TRUE(near(plain.pixel(99, 10), grey(0.660)));   // head
  EXPECT_TRUE(near(plain.pixel(130, 10), grey(0.148)));  // bar
  EXPECT_TRUE(near(plain.pixel(60, 10), grey(0.254)));   // fill from 0 to the value
  // The texts take the theme's colours (the scheme's "NSColor" entry).
  EXPECT_TRUE(near(c->cell()->valueText().foregroundColor().rgb(), grey(0.498), 1));

  // Bound in hardware-learn mode: the head is the fixed green.
  bind(c, {"ZAPH", "fader"}, 0.5f);
  manager.setHardwareLearnMode(true);
  EXPECT_TRUE(near(picture(c).pixel(99, 10), rgb(0, 0.824, 0)));
  manager.setHardwareLearnMode(false);

  // A person's look at the states: selected with marks and an envelope, a
  // locked one, a vertical one.
  QKSliderControl* selected = control({10, 40, 200, 20});
  selected->setMinEnv(0.2f);
  selected->setMaxEnv(0.8f);
  selected->addInterestingPoint(0.3f);
  selected->setValue(0.6f);
  selected->selectJustMe();
  control({10, 70, 200, 20})->setLockUIFlag(true);
  control({220, 10, 20, 120})->setValue(0.3f);
  QKSliderControl* toggled = control({10, 100, 200, 20});
  toggled->setSyncToggleState(true);
  window->resize(250, 130);
  saveScreenshot(picture(window.get()), QStringLiteral("slider-states"));

  // Disabled: darkened by half.
  c->setEnabled(false);
  const QRgb dark = picture(c).pixel(130, 10);
  EXPECT_NEAR(qRed(dark), qRed(plain.pixel(130, 10)) / 2, 2);
}

TEST_F(SliderDrawing, PadlockOverALockedSlider) {
  ASSERT_FALSE(manager.padlockImage().isNull());
  QKSliderControl* c = control({10, 10, 200, 20});
  const QImage open = picture(c);
  c->setLockUIFlag(true);
  const QImage locked = picture(c);
  int changedUnderPadlock = 0, changedElsewhere = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 200; ++x) {
      if (open.pixel(x, y) == locked.pixel(x, y)) continue;
      (x >= 90 && x < 108 && y >= 1 && y < 19 ? changedUnderPadlock : changedElsewhere)++;
    }
  EXPECT_GT(changedUnderPadlock, 40);
  EXPECT_EQ(changedElsewhere, 0);
}

// A slider taller than wide is vertical and grows upwards.
TEST_F(SliderDrawing, VerticalSliderGrowsUpwards) {
  QKSliderControl* tall = control({10, 10, 20, 200});
  QKSliderControl* wide = control({40, 10, 100, 20});
  QKSliderControl* square = control({40, 40, 30, 30});
  EXPECT_TRUE(tall->vertFlag());
  EXPECT_FALSE(wide->vertFlag());
  EXPECT_FALSE(square->vertFlag());
  EXPECT_EQ(tall->controlFrame(), QRectF(0, 0, 200, 20));

  tall->setValue(0.1f);  // head along 17..22: widget rows 178..182
  const QImage image = picture(tall);
  EXPECT_TRUE(near(image.pixel(10, 180), grey(0.660)));
  EXPECT_FALSE(near(image.pixel(10, 20), grey(0.660)));
  EXPECT_TRUE(near(image.pixel(10, 190), grey(0.254)));  // the fill lies below the head
}

// A leaf missing from the theme draws nothing of its own, and nothing fails.
TEST_F(SliderDrawing, MissingLevelDrawsWithoutColours) {
  QVariantMap theme = SliderColorDict::builtIn();
  theme.remove(QStringLiteral("unselected"));
  manager.setSliderColorDict(theme);
  QKSliderControl* c = control({10, 10, 200, 20});
  c->addInterestingPoint(0.5f);
  c->setLockUIFlag(true);
  EXPECT_FALSE(picture(c).isNull());
}

// ---- The control ---------------------------------------------------------------------------

TEST_F(SliderDrawing, DeletedAndCellLessControlsAnswerDefaults) {
  QKSliderControl* deleted = control({10, 10, 200, 20});
  deleted->setValue(0.3f);
  deleted->prepareToBeDeleted();
  CellLessControl cellLess;
  for (QKSliderControl* c : {deleted, static_cast<QKSliderControl*>(&cellLess)}) {
    SCOPED_TRACE(c == deleted ? "deleted" : "no cell");
    EXPECT_FLOAT_EQ(c->rangedValue(), 0.5f);
    EXPECT_FLOAT_EQ(c->rangedMaxEnv(), 1.0f);
    EXPECT_FLOAT_EQ(c->value(), 0.0f);
    EXPECT_EQ(c->uniqueID(), -1);
    EXPECT_EQ(c->dataSourceType(), -2);
    EXPECT_FALSE(c->selected());
    EXPECT_TRUE(c->validDataSourceValAvailable());
    EXPECT_EQ(c->sliderHead(), QRectF());
    EXPECT_TRUE(c->sliderName().isNull());
    c->setValue(0.9f, true);
    EXPECT_FLOAT_EQ(c->value(), 0.0f);
  }
  EXPECT_EQ(deleted->description(), "<QKSliderControl -deleted!->");
  EXPECT_FLOAT_EQ(deleted->cell()->value(), 0.3f);
  EXPECT_TRUE(cellLess.description().startsWith("<QKSliderControl -no cell!- "));
  // The lock members depend on the cell alone.
  EXPECT_FALSE(deleted->lockUIFlag());
  EXPECT_TRUE(cellLess.lockUIFlag());
  EXPECT_TRUE(cellLess.useThisSource(KeyPath{"ZAPH", "x"}));
  EXPECT_FALSE(cellLess.useThisSource(std::nullopt));
  EXPECT_EQ(actions, 1);
}

TEST_F(SliderDrawing, EnvelopeNumbersAndDescription) {
  QKSliderControl* c = control({10, 10, 200, 20});
  c->setSliderName(QStringLiteral("speed"));
  c->setMinEnv(0.3f);
  c->setMaxEnv(0.7f);
  c->setMaxEnvNumber(std::nullopt);  // nothing
  EXPECT_FLOAT_EQ(c->maxEnv(), 0.7f);
  c->setMinEnvNumber(std::nullopt);  // from 0
  EXPECT_FLOAT_EQ(c->minEnv(), 0.0f);
  c->setMaxEnvNumber(0.6f);
  EXPECT_FLOAT_EQ(c->maxEnv(), 0.6f);
  EXPECT_TRUE(c->description().startsWith("<QKSliderControl speed, 0.5"));
}

TEST_F(SliderDrawing, RightClickSelectsAndOpensTheMenu) {
  struct MenuController : DSMenuReloading, ContextualMenuProvider {
    QMenu* contextualMenu() override { return &menu; }
    QMenu menu;
  } controller;
  QMenu& menu = controller.menu;
  menu.addAction(QStringLiteral("Synch To Data Source"));
  manager.setContextualMenuController(&controller);
  QKSliderControl* other = control({10, 40, 200, 20});
  QKSliderControl* c = control({10, 10, 200, 20});
  other->selectJustMe();
  window->show();
  mouse(c, QEvent::MouseButtonPress, QPoint(50, 10), Qt::RightButton);
  mouse(c, QEvent::MouseButtonRelease, QPoint(50, 10), Qt::RightButton);
  EXPECT_TRUE(c->selected());
  EXPECT_FALSE(other->selected());
  EXPECT_TRUE(menu.isVisible());
  EXPECT_FLOAT_EQ(c->value(), 0.5f);
  EXPECT_EQ(actions, 0);
  menu.hide();
  manager.setContextualMenuController(nullptr);
}

TEST_F(SliderDrawing, LogControlMapsThroughItsCell) {
  auto* log = static_cast<QKLogSliderControl*>(control({10, 10, 200, 20}, new QKLogSliderControl));
  log->setMinRange(0);
  log->setMaxRange(100);
  EXPECT_NEAR(log->rangedValueForValue(0.5f), 9.05f, 1e-2);
  EXPECT_NEAR(log->valueForRangedValue(9.0499f), 0.5f, 1e-4);
  log->prepareToBeDeleted();
  EXPECT_FLOAT_EQ(log->rangedValueForValue(0.5f), 0.0f);
}

// The rectangle the Wii pointer looks for: the window's place on screen plus
// the control's visible part, in bottom-left screen coordinates, followed as
// the palette moves and hides.
TEST_F(SliderDrawing, AbsVisibleRectInAPalette) {
  const double screenHeight = QKWindow::mainScreenFrame().height();
  QKPaletteWindow palette(QRectF(100, 200, 300, 120));
  auto* view = new QKWindowContentView;
  palette.setContentView(view);
  palette.awakeFromNib();
  auto* c = new QKSliderControl(&palette);
  c->setGeometry(20, 40, 200, 20);
  c->setTarget(target);
  palette.show();
  settle();
  const QRect onScreen = palette.geometry();  // Qt's top-left coordinates
  const QRectF expected(onScreen.x() + 20, screenHeight - (onScreen.y() + 40 + 20), 200, 20);
  EXPECT_EQ(c->absVisibleRect(), expected);
  EXPECT_EQ(c->cell()->absVisibleRect(), expected);

  // Read by the pointer's thread.
  const QPointF inside = expected.center();
  auto found = std::async(std::launch::async, [&] { return manager.visibleSliderAtPoint(inside); });
  EXPECT_EQ(found.get(), c->cellPtr());

  palette.setFrame(palette.frame().translated(50, -30));
  settle();
  EXPECT_EQ(c->absVisibleRect(), expected.translated(50, -30));
  palette.hide();
  settle();
  EXPECT_EQ(c->absVisibleRect(), QRectF());
  delete c;
}

TEST_F(SliderDrawing, AbsVisibleRectOfAHiddenControlIsZero) {
  QKSliderControl* c = control({10, 10, 200, 20});
  EXPECT_EQ(c->absVisibleRect(), QRectF());  // the window was never shown
  window->show();
  settle();
  EXPECT_FALSE(c->absVisibleRect().isNull());
  c->hide();
  EXPECT_EQ(c->absVisibleRect(), QRectF());
}

// The "S" and "B" toggles are buttons over the toggle column ("S" above
// "B"); on a vertical slider the column is at the bottom. "S" binds.
TEST_F(SliderDrawing, ToggleButtonsOverTheColumn) {
  QKSliderControl* c = control({10, 10, 200, 20});
  QKSliderControl* tall = control({250, 10, 20, 200});
  window->show();
  c->setSyncToggleState(true);
  tall->setSyncToggleState(true);
  settle();
  ASSERT_NE(c->syncToggleButton(), nullptr);
  EXPECT_EQ(c->syncToggleButton()->geometry(), QRect(0, 0, 10, 20));
  EXPECT_EQ(c->syncToggleButton()->cell(), c->syncToggle());
  EXPECT_EQ(tall->syncToggleButton()->geometry(), QRect(0, 190, 20, 10));
  c->setBehavToggleState(true);
  settle();
  EXPECT_EQ(c->syncToggleButton()->geometry(), QRect(0, 0, 10, 10));
  EXPECT_EQ(c->behavToggleButton()->geometry(), QRect(0, 10, 10, 10));

  auto source = DSFloatInfrequent::createWithName(QStringLiteral("fader"));
  ASSERT_TRUE(dsc.setDataSource(source, {"ZAPH", "fader"}));
  c->useThisSource(KeyPath{"ZAPH", "fader"});
  QTest::mouseClick(c->syncToggleButton(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  settle();
  EXPECT_TRUE(c->syncFlag());

  c->setSyncToggleState(false);
  settle();
  EXPECT_EQ(c->syncToggleButton(), nullptr);
  EXPECT_EQ(c->behavToggleButton()->geometry(), QRect(0, 0, 10, 20));
}
