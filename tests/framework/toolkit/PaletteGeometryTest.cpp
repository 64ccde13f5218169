#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include <cmath>
#include <limits>

namespace {

constexpr double kScreenHeight = 1080;
const QRectF kScreen(0, 0, 1920, kScreenHeight);

TEST(PaletteGeometry, CollapsedBarKeepsTheTopEdgeAndExpandingUndoesIt) {
  struct Case {
    QRectF expanded, bar;
  };
  const Case cases[] = {
      {{10, 100, 260, 160}, {10, 241, 260, 19}},
      {{0, 0, 100, 19}, {0, 0, 100, 19}},
      {{-50, 900.5, 300, 40}, {-50, 921.5, 300, 19}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PaletteGeometry::collapsedFrame(c.expanded), c.bar);
    EXPECT_EQ(PaletteGeometry::expandedFrame(c.bar, c.expanded.size()), c.expanded);
  }
}

TEST(PaletteGeometry, ConvertsBetweenBottomLeftAndQtCoordinates) {
  const QRectF bottomLeft(10, 100, 200, 50);
  const QRectF qt = PaletteGeometry::toQt(bottomLeft, kScreenHeight);
  EXPECT_EQ(qt, QRectF(10, 930, 200, 50));
  EXPECT_EQ(PaletteGeometry::fromQt(qt, kScreenHeight), bottomLeft);
  EXPECT_EQ(PaletteGeometry::pointFromQt({5, 80}, kScreenHeight), QPointF(5, 1000));
  EXPECT_EQ(PaletteGeometry::convertBLScreenToTLScreen(bottomLeft, kScreenHeight),
            QRectF(10, 980, 200, 50));
}

TEST(PaletteGeometry, MoveStaysOnTheMainScreenBelowTheMenuBar) {
  struct Case {
    QPointF delta;
    QRectF expected;
  };
  const QRectF click(100, 100, 200, 150);
  const Case cases[] = {
      {{50, -20}, {150, 80, 200, 150}},
      {{5000, 0}, {1720, 100, 200, 150}},             // flush with the right edge
      {{-500, -500}, {0, 0, 200, 150}},               // flush with the left and bottom
      {{0, 5000}, {100, 1080 - 22 - 150, 200, 150}},  // 22 points below the top
  };
  for (const Case& c : cases)
    EXPECT_EQ(PaletteGeometry::clampMove(click, c.delta, kScreen.size()), c.expected)
        << c.delta.x();
}

TEST(PaletteGeometry, ResizeKeepsTheTopEdgeAndTheMinimum) {
  struct Case {
    QPointF delta;
    QRectF expected;
  };
  const QRectF click(100, 500, 200, 150);  // top edge at 650
  const QSizeF minimum(120, 80);
  const Case cases[] = {
      {{30, -40}, {100, 460, 230, 190}},
      {{-500, 400}, {100, 570, 120, 80}},  // below the minimum: top still at 650
      {{5000, 0}, {100, 500, 1820, 150}},  // right screen edge
      {{0, -900}, {100, 0, 200, 650}},     // bottom of the screen
  };
  for (const Case& c : cases)
    EXPECT_EQ(PaletteGeometry::clampResize(click, c.delta, kScreen.size(), minimum), c.expected)
        << c.delta.x() << "," << c.delta.y();
}

TEST(PaletteGeometry, BringingForwardShrinksCentresAndEnds) {
  struct Case {
    const char* what;
    QRectF frame;
    QSizeF minSize;
    QRectF expected;
  };
  const Case cases[] = {
      // W − 2 by H − 46 (the menu bar's 22 and 24 more), then centred.
      {"too large", {-100, -100, 3000, 2000}, {}, {1, 12, 1918, 1034}},
      {"off the left", {-500, 100, 200, 100}, {}, {860, 479, 200, 100}},
      {"under the menu bar", {100, 1000, 200, 100}, {}, {860, 479, 200, 100}},
      {"on screen", {100, 100, 200, 100}, {}, {100, 100, 200, 100}},
      {"zero size takes the minimum", {5000, 5000, 0, 0}, {100, 50}, {910, 504, 100, 50}},
      {"zero size without a minimum", {5000, 5000, 0, 0}, {}, {950.5, 519.5, 19, 19}},
      {"negative size", {300, 300, -200, -100}, {}, {100, 200, 200, 100}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PaletteGeometry::bringForward(c.frame, kScreen, c.minSize), c.expected) << c.what;
  // A screen too small for anything still ends.
  const QRectF tiny = PaletteGeometry::bringForward({0, 0, 50, 50}, {0, 0, 1, 1}, {});
  EXPECT_FALSE(tiny.isEmpty());
}

TEST(PaletteGeometry, DefaultFramesByExactTitle) {
  const auto clock = PaletteGeometry::defaultFrameSnapshot(QStringLiteral("Clock"));
  ASSERT_TRUE(clock);
  EXPECT_EQ(*clock, FrameSnapshot::make(0, 261, 260, 127, true));
  const auto inspector = PaletteGeometry::defaultFrameSnapshot(QStringLiteral("Media Inspector"));
  ASSERT_TRUE(inspector);
  EXPECT_EQ(inspector->value(FrameSnapshot::kHeight).toInt(), 600);
  EXPECT_FALSE(PaletteGeometry::defaultFrameSnapshot(QStringLiteral("clock")));
  EXPECT_FALSE(PaletteGeometry::defaultFrameSnapshot(QStringLiteral("Slider Inspector")));
  EXPECT_TRUE(PaletteGeometry::storesFrameInDefaults(QStringLiteral("Slider Inspector")));
  EXPECT_FALSE(PaletteGeometry::storesFrameInDefaults(QStringLiteral("Sticky Note")));
  EXPECT_EQ(PaletteGeometry::storedFrameKey(QStringLiteral("Clock")),
            QStringLiteral("Clock_windAttribs"));
}

// At the first start every fixed palette shows as a bar in one column, 16
// points apart (each bar's top: the bottom of its default frame counted from
// the screen's top, less its height); two bars closer than that hide a
// title.
TEST(PaletteGeometry, DefaultBarsOfTheFixedPalettesNeverOverlap) {
  const char* titles[] = {"Slider/Button Inspector", "Behavior Chains", "Layer Manager",
                          "Video FX Palette",        "Plugin Manager",  "Clock",
                          "Preset Manager",          "Media Inspector", "Live Input Manager"};
  std::map<qint64, QString> bars;
  for (const char* title : titles) {
    const auto frame = PaletteGeometry::defaultFrameSnapshot(QLatin1String(title));
    ASSERT_TRUE(frame) << title;
    const qint64 barTop = frame->value(FrameSnapshot::kOriginY).toLongLong() -
                          frame->value(FrameSnapshot::kHeight).toLongLong();
    for (const auto& [top, other] : bars)
      EXPECT_GE(std::abs(top - barTop), 16) << title << " covers " << other.toStdString();
    bars.emplace(barTop, QLatin1String(title));
  }
}

// --- Frame snapshots ---

TEST(FrameSnapshot, RoundTripsExpandedAndCollapsedFrames) {
  const QVariantMap expanded =
      FrameSnapshot::create({100, 500, 260, 160}, {260, 160}, false, kScreenHeight, std::nullopt);
  EXPECT_EQ(expanded, FrameSnapshot::make(100, 580, 260, 160, false));

  // A collapsed palette records its expanded frame, whose top is the bar's.
  const QRectF bar = PaletteGeometry::collapsedFrame({100, 500, 260, 160});
  const QVariantMap collapsed = FrameSnapshot::create(bar, {260, 160}, true, kScreenHeight, true);
  QVariantMap expected = FrameSnapshot::make(100, 580, 260, 160, true);
  expected.insert(FrameSnapshot::kVisible, true);
  EXPECT_EQ(collapsed, expected);

  const FrameSnapshot::State other{{0, 0, 10, 10}, false, {}};
  const FrameSnapshot::State read = FrameSnapshot::read(collapsed, other, kScreenHeight);
  EXPECT_EQ(read.expanded, QRectF(100, 500, 260, 160));
  EXPECT_TRUE(read.collapsed);
  EXPECT_EQ(read.visible, std::optional<bool>(true));
  EXPECT_EQ(FrameSnapshot::read(expanded, other, kScreenHeight).visible, std::nullopt);
}

TEST(FrameSnapshot, BadFieldsKeepTheCurrentValueAndAreLogged) {
  const FrameSnapshot::State current{{100, 500, 260, 160}, true, {}};
  const QVariantMap good = FrameSnapshot::make(10, 300, 200, 100, false);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    QString key;
    QVariant value;  // invalid: the key is removed
    bool kept;
  };
  const Case cases[] = {
      {FrameSnapshot::kOriginX, {}, true},
      {FrameSnapshot::kOriginX, QStringLiteral("12"), true},
      {FrameSnapshot::kOriginX, 40000, true},
      {FrameSnapshot::kOriginX, nan, true},
      {FrameSnapshot::kOriginX, 0, false},     // the left edge of the screen
      {FrameSnapshot::kOriginY, -200, false},  // above the screen: kept as given
      {FrameSnapshot::kOriginY, -40000, true},
      {FrameSnapshot::kWidth, 0, true},
      {FrameSnapshot::kWidth, -5, true},
      {FrameSnapshot::kWidth, 32768, true},
      {FrameSnapshot::kWidth, 32767, false},
      {FrameSnapshot::kHeight, true, true},
      {FrameSnapshot::kHeight, QVariantMap(), true},
      {FrameSnapshot::kCollapsed, QStringLiteral("yes"), true},
      {FrameSnapshot::kCollapsed, {}, true},
      {FrameSnapshot::kCollapsed, 0, false},
  };
  const FrameSnapshot::State fromGood = FrameSnapshot::read(good, current, kScreenHeight);
  for (const Case& c : cases) {
    QVariantMap snapshot = good;
    if (c.value.isValid()) {
      snapshot.insert(c.key, c.value);
    } else {
      snapshot.remove(c.key);
    }
    LogCapture log;
    const FrameSnapshot::State read = FrameSnapshot::read(snapshot, current, kScreenHeight);
    const QString what = c.key + QStringLiteral(" = ") + c.value.toString();
    EXPECT_EQ(log.contains(c.key), c.kept) << qPrintable(what);
    const QRectF counted = PaletteGeometry::convertBLScreenToTLScreen(read.expanded, kScreenHeight);
    const QRectF was = PaletteGeometry::convertBLScreenToTLScreen(current.expanded, kScreenHeight);
    const QRectF goodCounted =
        PaletteGeometry::convertBLScreenToTLScreen(fromGood.expanded, kScreenHeight);
    if (c.key == FrameSnapshot::kCollapsed) {
      EXPECT_EQ(read.collapsed, c.kept ? current.collapsed : c.value.toBool()) << qPrintable(what);
      continue;
    }
    const auto field = [&](const QRectF& r) {
      if (c.key == FrameSnapshot::kOriginX) return r.x();
      if (c.key == FrameSnapshot::kOriginY) return r.y();
      if (c.key == FrameSnapshot::kWidth) return r.width();
      return r.height();
    };
    if (c.kept) {
      EXPECT_EQ(field(counted), field(was)) << qPrintable(what);
    } else {
      EXPECT_EQ(field(counted), c.value.toDouble()) << qPrintable(what);
    }
    // The other fields come from the snapshot.
    EXPECT_EQ(read.collapsed, fromGood.collapsed);
    if (c.key != FrameSnapshot::kWidth) {
      EXPECT_EQ(counted.width(), goodCounted.width());
    }
  }
}

}  // namespace
