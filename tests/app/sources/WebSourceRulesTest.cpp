#include "app/sources/QKFavIconDisplay.h"
#include "app/sources/WebSourceRules.h"

#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

TEST(WebSourceRulesTest, TypedAddressesGetHttpOnlyWithoutAScheme) {
  const struct {
    const char* typed;
    std::optional<QString> loads;
  } cases[] = {{"example.com", "http://example.com"},
               {"localhost:8080/a", "http://localhost:8080/a"},
               {"https://x", "https://x"},
               {"HTTP://Example.com", "HTTP://Example.com"},
               {"file:///tmp/page.html", "file:///tmp/page.html"},
               {"about:blank", "about:blank"},
               {"  example.com  ", "http://example.com"},
               {"", std::nullopt},
               {"   ", std::nullopt}};
  for (const auto& c : cases)
    EXPECT_EQ(WebSourceRules::addressFromTyped(c.typed), c.loads) << c.typed;
}

TEST(WebSourceRulesTest, RenderSizesStayWithinTextureBounds) {
  const struct {
    int typed, max, width, height;
  } cases[] = {{642, 8192, 640, 642}, {3, 8192, 4, 3},           {0, 8192, 4, 1},
               {-7, 8192, 4, 1},      {99999, 8192, 8192, 8192}, {5000, 4098, 4096, 4098},
               {481, 8192, 480, 481}};
  for (const auto& c : cases) {
    EXPECT_EQ(WebSourceRules::renderWidth(c.typed, c.max), c.width) << c.typed;
    EXPECT_EQ(WebSourceRules::renderHeight(c.typed, c.max), c.height) << c.typed;
  }
}

TEST(WebSourceRulesTest, OneScrollOriginForWantedAndApplied) {
  const struct {
    QSizeF page, render;
    QPointF position;
    QPoint origin;
  } cases[] = {{{1000, 480}, {640, 480}, {0.5, 0}, {180, 0}},
               {{1000, 2000}, {640, 480}, {1, 1}, {360, 1520}},
               {{1001, 481}, {640, 480}, {0.5, 0.5}, {181, 1}},  // halves away from zero
               {{320, 240}, {640, 480}, {1, 1}, {0, 0}},         // a small page stays put
               {{1000.4, 480}, {640, 480}, {0.25, 0}, {90, 0}}};
  for (const auto& c : cases) {
    const QPoint origin = WebSourceRules::scrollOrigin(c.page, c.render, c.position);
    EXPECT_EQ(origin, c.origin);
    // Asked again with the page scrolled there, the answer holds: no new resize.
    EXPECT_EQ(WebSourceRules::scrollOrigin(c.page, c.render, c.position), origin);
  }
}

TEST(WebSourceRulesTest, PreviewPointsScaleIntoThePage) {
  const QPointF location = WebSourceRules::previewToPageWindow({200, 75}, {400, 300}, {640, 480});
  EXPECT_EQ(location, QPointF(320, 360));
  EXPECT_EQ(WebSourceRules::pageWindowToWidget(location, {640, 480}), QPointF(320, 120));
  EXPECT_EQ(WebSourceRules::previewToPageWindow({0, 300}, {400, 300}, {640, 480}), QPointF(0, 0));
  EXPECT_EQ(WebSourceRules::previewToPageWindow({10, 10}, {0, 0}, {640, 480}), QPointF());
}

TEST(QKFavIconDisplayTest, DragsTheURLAndAnEmptyPictureWithoutAnIcon) {
  QKFavIconDisplay display;
  EXPECT_EQ(display.createDragData(), nullptr);
  display.setURL(QUrl("http://example.com/page"));
  std::unique_ptr<QMimeData> data(display.createDragData());
  ASSERT_TRUE(data);
  EXPECT_EQ(data->urls(), QList<QUrl>{QUrl("http://example.com/page")});
  EXPECT_EQ(display.dragImage().size(), QSize(80, 60));
  QImage icon(16, 16, QImage::Format_ARGB32);
  icon.fill(Qt::red);
  display.setImage(icon);
  EXPECT_EQ(display.dragImage().size(), QSize(16, 16));
  display.setURL(QUrl());
  EXPECT_EQ(display.createDragData(), nullptr);
}
