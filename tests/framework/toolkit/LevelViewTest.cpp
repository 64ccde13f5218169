#include "framework/render/TheApplication.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "framework/toolkit/ThemeDict.h"
#include "framework/toolkit/TitleBarLevelView.h"
#include "framework/toolkit/TitleBarOnlyCollapsedLevelView.h"
#include "framework/toolkit/TitleBarOnlyExpandedLevelView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/framework/toolkit/SavedTheme.h"
#include "tests/support/Screenshot.h"

#include <QCoreApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

namespace {

QRgb levelColor(const QString& style = SimpleLevelView::kSimpleStyle) {
  const QVariantMap colors = ThemeDict::map(ThemeDict::levelViewColors(), style);
  return ThemeDict::color(colors, QStringLiteral("levelColor")).rgb();
}

QRgb backgroundColor(const QString& style = SimpleLevelView::kSimpleStyle) {
  const QVariantMap colors = ThemeDict::map(ThemeDict::levelViewColors(), style);
  return ThemeDict::color(colors, QStringLiteral("backgroundColor")).rgb();
}

QImage render(SimpleLevelView& view, QSize size, float value) {
  view.resize(size);
  view.setVal(value);
  return view.grab().toImage();
}

// Every pixel of the image has this colour.
bool allPixels(const QImage& image, QRgb color) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != color) return false;
  return true;
}

// Counts its paints.
class CountingLevelView : public SimpleLevelView {
 public:
  std::atomic<int> paints{0};

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    SimpleLevelView::paintEvent(event);
  }
};

}  // namespace

TEST(LevelView, BarGeometryFollowsShapeAndStyle) {
  struct Case {
    const char* name;
    bool titleBar;
    QSize size;
    float value;
    QPoint inBar;
    QPoint outOfBar;
  };
  const Case cases[] = {
      {"horizontal grows from the left", false, {100, 10}, 0.5f, {25, 5}, {75, 5}},
      {"a square is horizontal", false, {20, 20}, 0.5f, {4, 3}, {15, 16}},
      {"vertical grows from the bottom", false, {10, 100}, 0.5f, {5, 75}, {5, 25}},
      {"title bar hangs from the top", true, {10, 100}, 0.5f, {5, 25}, {5, 75}},
      {"title bar horizontal from the left", true, {100, 10}, 0.25f, {10, 5}, {40, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<SimpleLevelView> view =
        c.titleBar ? std::make_unique<TitleBarLevelView>() : std::make_unique<SimpleLevelView>();
    const QString style =
        c.titleBar ? SimpleLevelView::kTitleBarStyle : SimpleLevelView::kSimpleStyle;
    const QImage image = render(*view, c.size, c.value);
    EXPECT_EQ(image.pixel(c.inBar), levelColor(style));
    EXPECT_EQ(image.pixel(c.outOfBar), backgroundColor(style));
  }
}

TEST(LevelView, EmptyFullAndNonFiniteValues) {
  SimpleLevelView view;
  const QSize size(60, 12);
  EXPECT_TRUE(allPixels(render(view, size, 0.0f), backgroundColor()));
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()})
    EXPECT_TRUE(allPixels(render(view, size, bad), backgroundColor())) << bad;

  const QImage full = render(view, size, 1.0f);
  EXPECT_EQ(full.pixel(1, 1), levelColor());
  EXPECT_EQ(full.pixel(58, 10), levelColor());
  for (QPoint edge : {QPoint(0, 0), QPoint(59, 11), QPoint(30, 0), QPoint(59, 6)})
    EXPECT_EQ(full.pixel(edge), backgroundColor()) << edge.x() << "," << edge.y();
}

TEST(LevelView, MistypedThemeEntriesFallBackPerEntry) {
  SavedTheme theme;
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  const QColor background(10, 20, 30);
  app->setLevelViewColorDict({{SimpleLevelView::kSimpleStyle,
                               QVariantMap{{QStringLiteral("levelColor"), QStringLiteral("red?")},
                                           {QStringLiteral("backgroundColor"), background}}}});
  SimpleLevelView view;
  const QImage image = render(view, {40, 10}, 1.0f);
  EXPECT_EQ(image.pixel(0, 0), background.rgb());
  EXPECT_EQ(image.pixel(20, 5), QColor(Qt::red).rgb());

  // A style that is not a dictionary at all: both entries fall back.
  app->setLevelViewColorDict({{SimpleLevelView::kTitleBarStyle, 7}});
  TitleBarLevelView titleBar;
  const QImage fallback = render(titleBar, {40, 10}, 1.0f);
  EXPECT_EQ(fallback.pixel(0, 0), QColor(Qt::black).rgb());
  EXPECT_EQ(fallback.pixel(20, 5), QColor(Qt::red).rgb());
}

TEST(LevelView, ThemeRedrawNotificationRepaints) {
  CountingLevelView view;
  view.resize(40, 10);
  view.show();
  ASSERT_TRUE(MainThread::processUntil([&] { return view.paints > 0; }, 3.0));
  const int before = view.paints;
  NotificationCenter::defaultCenter().post(SimpleLevelView::kRedrawNotification);
  EXPECT_TRUE(MainThread::processUntil([&] { return view.paints > before; }, 3.0));
}

// Another thread sets ten thousand values while the main thread runs its
// event loop: the repaints stay within one per pass and the last value is
// the one shown.
TEST(LevelView, ValuesFromAnotherThreadCoalesceAndTheLastIsShown) {
  CountingLevelView view;
  view.resize(101, 10);
  view.show();
  ASSERT_TRUE(MainThread::processUntil([&] { return view.paints > 0; }, 3.0));
  const int before = view.paints;

  constexpr int kValues = 10000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 1; i <= kValues; ++i) view.setVal(static_cast<float>(i) / kValues * 0.5f);
    done = true;
  });
  int passes = 0;
  while (!done) {
    QCoreApplication::processEvents();
    ++passes;
  }
  writer.join();
  MainThread::processUntil([&] { return !view.repaintPending(); }, 3.0);
  QCoreApplication::processEvents();
  ++passes;

  const int paints = view.paints - before;
  EXPECT_GE(paints, 1);
  EXPECT_LE(paints, passes + 1);
  EXPECT_LT(paints, kValues / 10);
  EXPECT_FLOAT_EQ(view.val(), 0.5f);
  const QImage image = view.grab().toImage();
  EXPECT_EQ(image.pixel(49, 5), levelColor());  // 1 + 99 * 0.5 = 50.5
  EXPECT_EQ(image.pixel(52, 5), backgroundColor());
}

TEST(LevelView, RequestPendingWhenTheViewGoesDoesNothing) {
  auto* view = new SimpleLevelView;
  view->setVal(0.3f);
  ASSERT_TRUE(view->repaintPending());
  delete view;
  // The queued request finds its view gone (AddressSanitizer watches).
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
  SUCCEED();
}

TEST(LevelView, TitleBarOnlyVariantsFollowTheCollapse) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr palette = makePalette(QStringLiteral("Meters"), {100, 500, 240, 120}, false);
  QKWindowContentView* content = palette->contentView();
  auto* expandedOnly = new TitleBarOnlyExpandedLevelView(content);
  auto* collapsedOnly = new TitleBarOnlyCollapsedLevelView(content);
  expandedOnly->setGeometry(60, 4, 60, 11);
  collapsedOnly->setGeometry(130, 4, 60, 11);
  expandedOnly->setVal(0.5f);
  collapsedOnly->setVal(0.5f);
  expandedOnly->show();
  collapsedOnly->show();
  EXPECT_TRUE(expandedOnly->active());
  EXPECT_FALSE(collapsedOnly->active());

  const QRgb titleBar = content->titleBarColor().rgb();
  EXPECT_TRUE(allPixels(collapsedOnly->grab().toImage(), titleBar));
  EXPECT_EQ(expandedOnly->grab().toImage().pixel(10, 5), levelColor());
  saveScreenshot(palette->grab().toImage(), QStringLiteral("level-meters-expanded"));

  content->collapse();
  ASSERT_TRUE(MainThread::processUntil([&] { return collapsedOnly->active(); }, 3.0));
  EXPECT_FALSE(expandedOnly->active());
  EXPECT_TRUE(allPixels(expandedOnly->grab().toImage(), titleBar));
  const QImage shown = collapsedOnly->grab().toImage();
  EXPECT_EQ(shown.pixel(10, 5), levelColor());
  EXPECT_EQ(shown.pixel(50, 5), backgroundColor());
  saveScreenshot(palette->grab().toImage(), QStringLiteral("level-meters-collapsed"));

  content->expand();
  ASSERT_TRUE(MainThread::processUntil([&] { return expandedOnly->active(); }, 3.0));
  EXPECT_FALSE(collapsedOnly->active());
}
