#include "BehaviorFixture.h"

#include "framework/behaviors/TriangleView.h"
#include "framework/behaviors/Trianglize.h"
#include "framework/controls/QKSliderControl.h"
#include "tests/support/Screenshot.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

namespace {

class TriangleViewTest : public BehaviorFixture {
 protected:
  void SetUp() override {
    trianglize_ = behavior<Trianglize>(QStringLiteral("Trianglize"));
    view_ = trianglize_->triangleView();
    ASSERT_NE(view_, nullptr);
    view_->setParent(nullptr);         // shown on its own, at a known size
    QPalette dark = view_->palette();  // a palette's dark background, as ZAPH's
    dark.setColor(QPalette::Window, QColor(48, 48, 52));
    view_->setPalette(dark);
    view_->resize(200, 100);
    view_->show();
  }
  void TearDown() override { delete view_; }

  void mouse(QEvent::Type type, QPointF at) {
    QMouseEvent event(type, at, view_->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view_, &event);
  }

  std::shared_ptr<Trianglize> trianglize_;
  TriangleView* view_ = nullptr;
};

TEST_F(TriangleViewTest, ADragToTheTopRightSetsCentreAndPeakWithoutFiringTheSliders) {
  int actions = 0;
  for (QKSliderControl* slider : {trianglize_->centerSlider(), trianglize_->heightSlider()})
    slider->setAction([&actions](QKSliderCell&) { ++actions; });

  mouse(QEvent::MouseButtonPress, QPointF(20, 80));
  EXPECT_NEAR(trianglize_->centerVal(), 0.1f, 1e-6f);
  EXPECT_NEAR(trianglize_->heightVal(), 0.2f, 1e-6f);
  mouse(QEvent::MouseMove, QPointF(260, -40));  // beyond the corner: held at the edges
  EXPECT_EQ(trianglize_->centerVal(), 1.0f);
  EXPECT_EQ(trianglize_->heightVal(), 1.0f);
  EXPECT_EQ(trianglize_->centerSlider()->value(), 1.0f);
  EXPECT_EQ(trianglize_->heightSlider()->value(), 1.0f);
  EXPECT_EQ(actions, 0);
}

TEST_F(TriangleViewTest, DrawsTheFilledTriangleOverAGridOfTenths) {
  trianglize_->setCenterVal(0.5f);
  trianglize_->setHeightVal(1.0f);
  const QImage image = view_->grab().toImage();
  saveScreenshot(image, QStringLiteral("triangle-view"));
  ASSERT_EQ(image.size(), QSize(200, 100));
  EXPECT_EQ(view_->lastRenderedDimensions(), QSizeF(200, 100));

  const QColor background = view_->palette().color(QPalette::Window);
  auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <
           12;
  };
  // Inside the triangle (low in the middle, between grid lines): tinted blue.
  const QColor inside = image.pixelColor(110, 85);
  EXPECT_GT(inside.blue() - inside.red(), background.blue() - background.red() + 20);
  // Outside it (top left, between lines): the background.
  EXPECT_TRUE(near(image.pixelColor(10, 5), background));
  // The vertical grid lines at tenths of the width are lighter than the
  // background beside them.
  for (int x : {19, 39, 59}) {
    EXPECT_GT(image.pixelColor(x, 5).lightness(), background.lightness() + 20) << x;
    EXPECT_TRUE(near(image.pixelColor(x + 5, 5), background)) << x;
  }
  // A horizontal line at a tenth of the height (one pixel either way for the flip).
  int lightest = 0;
  for (int y = 88; y <= 91; ++y) lightest = std::max(lightest, image.pixelColor(5, y).lightness());
  EXPECT_GT(lightest, background.lightness() + 20);
}

}  // namespace
