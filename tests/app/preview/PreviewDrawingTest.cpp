// The preview drawn under Xvfb and read back, its colour sample, and the
// links to the previewed layer (opacity, comp mode) and the palette's
// aspect-keeping resize.
#include "PreviewFixture.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/LayerListModel.h"
#include "app/plugins/preview/PrevWindContentView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/CIColorElement.h"
#include "framework/controls/QKButton.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/toolkit/ModifierKeys.h"
#include "platform/foundation/NotificationCenter.h"

#include <QComboBox>

#include <atomic>
#include <thread>

namespace {

// A 4 x 4 picture: red and green on top, blue and white below.
QImage quadrants() {
  QImage image(4, 4, QImage::Format_RGBA8888);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      image.setPixelColor(x, y,
                          y < 2 ? (x < 2 ? Qt::red : Qt::green) : (x < 2 ? Qt::blue : Qt::white));
  return image;
}

class PreviewDrawingTest : public PreviewFixture {
 protected:
  void show(const std::shared_ptr<QKSTap>& source, const QImage& picture, bool flipped) {
    const auto stub = source->stub();
    ASSERT_NE(stub, nullptr);
    onRenderThread([&] {
      const QImage stored = flipped ? picture : picture.mirrored(false, true);
      stub->setTextureRef(imageTexture(stored).withFlipped(flipped));
    });
  }
};

TEST_F(PreviewDrawingTest, TheTapIsDrawnFittedAndUprightFlippedOrNot) {
  PreviewWindow* preview = makeShown();
  ASSERT_NE(preview, nullptr);
  const struct {
    const char* name;
    QSizeF source, view;
    bool keep;
    // Points of the view (y down) and what each shows.
    std::vector<std::pair<QPoint, QColor>> probes;
  } cases[] = {
      {"wide in a square",
       {1920, 1080},
       {400, 400},
       true,
       {{{100, 80}, Qt::black},
        {{100, 95}, Qt::red},
        {{300, 95}, Qt::green},
        {{100, 305}, Qt::blue},
        {{300, 305}, Qt::white},
        {{100, 320}, Qt::black}}},
      {"tall in a wide view",
       {480, 640},
       {400, 300},
       true,
       {{{80, 75}, Qt::black},
        {{95, 75}, Qt::red},
        {{305, 75}, Qt::green},
        {{320, 75}, Qt::black}}},
      {"no aspect fills",
       {1920, 1080},
       {400, 400},
       false,
       {{{5, 5}, Qt::red}, {{395, 5}, Qt::green}, {{395, 395}, Qt::white}}},
  };
  for (const auto& c : cases) {
    sizeView(*preview, c.view);
    ASSERT_EQ(viewSize(*preview), c.view) << c.name;
    auto source = SizedTap::create(QStringLiteral("cam"), c.source);
    choose(*preview, QStringLiteral("cam"));
    preview->preserveAspectButtonUsed(c.keep);
    for (bool flipped : {true, false}) {
      show(source, quadrants(), flipped);
      frames(2);
      const QImage shown = grab(*preview);
      saveScreenshot(shown, QStringLiteral("preview-%1-%2")
                                .arg(QString::fromLatin1(c.name).replace(' ', '-'))
                                .arg(flipped ? "flipped" : "unflipped"));
      for (const auto& [point, colour] : c.probes)
        EXPECT_TRUE(near(shown.pixelColor(point), colour, 8))
            << c.name << (flipped ? ", flipped at " : ", unflipped at ") << point.x() << ","
            << point.y();
    }
    choose(*preview, QString());
    source->prepareToBeDeleted();
  }
  QKWindow* window = preview->window();
  saveScreenshot(window->screen()->grabWindow(window->winId()).toImage(),
                 QStringLiteral("preview-window"));
}

// The 3 x 3 block of the frame just drawn: left half white, right half
// black, drawn one texel per pixel.
TEST_F(PreviewDrawingTest, AClickSamplesTheThreeByThreeItDrewClampedToTheView) {
  PreviewWindow* preview = makeShown();
  ASSERT_NE(preview, nullptr);
  const QSizeF view = viewSize(*preview);
  QImage halves(view.toSize(), QImage::Format_RGBA8888);
  halves.fill(Qt::black);
  for (int y = 0; y < halves.height(); ++y)
    for (int x = 0; x < halves.width() / 2; ++x) halves.setPixelColor(x, y, Qt::white);
  auto source = SizedTap::create(QStringLiteral("cam"), view);
  choose(*preview, QStringLiteral("cam"));
  show(source, halves, true);

  QWidget parent;
  auto element = CIColorElement::create(QRectF(0, 0, 275, 90), &parent);
  element->sampleButton()->setIntValue(1, true);
  settle();
  std::vector<QColor> posted;
  NotificationObservers observers;
  observers.observe(QString::fromLatin1(PreviewWindow::kClickColorNotification), nullptr,
                    [&](const Notification& n) {
                      posted.push_back(n.userInfo.value(PreviewWindow::kColorKey).value<QColor>());
                    });
  const double half = std::floor(view.width() / 2);
  const struct {
    const char* name;
    QPointF click;  // view points, y down
    double grey;
  } cases[] = {
      {"one white column of three", {half, view.height() / 2}, 1.0 / 3.0},
      {"top-left corner", {0.2, 0.2}, 1.0},
      {"bottom-right corner", {view.width() - 0.2, view.height() - 0.2}, 0.0},
  };
  for (const auto& c : cases) {
    posted.clear();
    preview->viewMouseDown(c.click, view, false);
    preview->viewMouseUp();
    frames(4);  // two drawings: one sample
    ASSERT_EQ(posted.size(), 1u) << c.name;
    for (double channel : {posted[0].redF(), posted[0].greenF(), posted[0].blueF()})
      EXPECT_NEAR(channel, c.grey, 0.02) << c.name;
    EXPECT_NEAR(element->returnCIColor().redF(), c.grey, 0.02) << c.name;
  }
  source->prepareToBeDeleted();
}

TEST_F(PreviewDrawingTest, ACollapsedPreviewNeitherDrawsNorCounts) {
  PreviewWindow* preview = makeShown();
  ASSERT_NE(preview, nullptr);
  preview->rateMenuUsed(1);  // every 4th frame
  frames(8);
  EXPECT_EQ(preview->flushCount(), 2);
  preview->window()->contentView()->collapse();
  settle();
  frames(12);
  EXPECT_EQ(preview->flushCount(), 2);
  preview->window()->contentView()->expand();
  settle();
  frames(3);
  EXPECT_EQ(preview->flushCount(), 2) << "the count went on from where it stood";
  frames(1);
  EXPECT_EQ(preview->flushCount(), 3);
}

TEST_F(PreviewDrawingTest, TheOpacityIsLinkedBothWaysUntilAnotherTapIsChosen) {
  PreviewWindow* preview = makeShown();
  ASSERT_NE(preview, nullptr);
  auto layer = world->layer();
  QKSliderControl* alpha = layer->alphaSlider();
  ASSERT_NE(alpha, nullptr);
  choose(*preview, layer->layerName());
  ASSERT_EQ(preview->tapLayer(), layer.get());
  alpha->setValue(0.25f, true);
  settle();
  EXPECT_FLOAT_EQ(preview->opacitySlider()->value(), 0.25f);
  preview->opacitySlider()->setValue(0.6f, true);
  settle();
  EXPECT_FLOAT_EQ(alpha->value(), 0.6f);

  auto input = SizedTap::create(QStringLiteral("cam"), QSizeF(320, 240));
  choose(*preview, QStringLiteral("cam"));
  alpha->setValue(0.1f, true);
  preview->opacitySlider()->setValue(0.9f, true);
  settle();
  EXPECT_FLOAT_EQ(alpha->value(), 0.1f);
  EXPECT_FLOAT_EQ(preview->opacitySlider()->value(), 0.9f);
  input->prepareToBeDeleted();

  // A linked layer deleted: the link goes with it.
  choose(*preview, layer->layerName());
  world->compositor->deleteThisLayer(layer.get());
  layer.reset();
  settle();
  EXPECT_EQ(preview->tapLayer(), nullptr);
  preview->opacitySlider()->setValue(0.4f, true);
  settle();
  EXPECT_FLOAT_EQ(preview->opacitySlider()->value(), 0.4f);
}

TEST_F(PreviewDrawingTest, TheCompMenuSetsEachKindOnTheLayerAndFollowsIt) {
  PreviewWindow* preview = makeShown();
  ASSERT_NE(preview, nullptr);
  auto layer = world->layer();
  choose(*preview, layer->layerName());
  const CompModeLists& lists = world->compositor->compModeLists();
  QComboBox* menu = preview->compMenuButton();
  const auto itemOfKind = [&](const QString& kind) {
    for (int item = 0; item < menu->count(); ++item) {
      const int index = menu->itemData(item).toInt();
      if (menu->itemData(item).isValid() && lists.tags.value(index) == kind) return item;
    }
    return -1;
  };
  const struct {
    QString kind;
    int groupMode, compMode, contentsMode;
  } cases[] = {
      {CompModeLists::kFilterKind, 0, 0, 0},
      {CompModeLists::kBlendKind, 1, -1, 1},
      {CompModeLists::kQCKind, 0, 1, 0},
  };
  for (const auto& c : cases) {
    const int item = itemOfKind(c.kind);
    if (item < 0) {
      ADD_FAILURE() << "no item of kind " << c.kind.toStdString();
      continue;
    }
    menu->setCurrentIndex(item);
    preview->compButtonUsed(item);
    const QString name = lists.names.value(menu->itemData(item).toInt());
    if (c.kind == CompModeLists::kFilterKind) EXPECT_EQ(layer->compFilterName(), name);
    if (c.kind == CompModeLists::kBlendKind)
      EXPECT_EQ(QString::number(layer->dFactor()), name.section(':', 1));
    EXPECT_EQ(layer->groupRenderingMode(), c.groupMode) << c.kind.toStdString();
    if (c.compMode >= 0) EXPECT_EQ(layer->compRenderingMode(), c.compMode);
    EXPECT_EQ(world->compositor->contentsRenderingMode(), c.contentsMode);
  }
  // The layer changed elsewhere: the menu follows.
  const int blend = itemOfKind(CompModeLists::kBlendKind);
  LayerListModel::applyCompMode(*world->compositor, *layer, menu->itemData(blend).toInt());
  settle();
  EXPECT_EQ(menu->currentIndex(), blend);
  EXPECT_EQ(layer->compName(), menu->itemText(blend));
  // Without a layer the menu changes nothing.
  auto input = SizedTap::create(QStringLiteral("cam"), QSizeF(320, 240));
  choose(*preview, QStringLiteral("cam"));
  preview->compButtonUsed(itemOfKind(CompModeLists::kFilterKind));
  EXPECT_EQ(layer->compName(), menu->itemText(blend));
  input->prepareToBeDeleted();
}

// The render thread runs frames (taps, canvas, previews) while the main
// thread makes and deletes previews and the layers they show.
TEST_F(PreviewDrawingTest, PreviewsAndLayersDeletedWhileFramesRunLeaveNothingBehind) {
  std::atomic<bool> running{true};
  std::atomic<long> frames{0};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    drawCanvasFrame(*world->compositor, QSize(64, 48));
    frames.fetch_add(1);
  });
  std::thread ticker([&] {
    while (running.load()) {
      gl::RenderThread::instance().runFrameNow();
      std::this_thread::yield();
    }
  });
  for (int round = 0; round < 12; ++round) {
    auto layer = world->layer();
    auto* preview =
        static_cast<PreviewWindow*>(manager->instantiatePluginType(PreviewWindow::kTypeName));
    choose(*preview, layer->layerName());
    preview->window()->show();
    settle(0.01);
    if (round % 2) world->compositor->deleteThisLayer(layer.get());
    layer.reset();
    settle(0.01);
    manager->deletePlugins({preview});
  }
  running.store(false);
  ticker.join();
  gl::RenderThread::instance().removeFrameHandler(handler);
  EXPECT_GT(frames.load(), 0);
  frame();  // the preview list is empty again
}

// A resize from the corner handle: with the option key the view keeps its
// aspect and the top edge stays; without it the frame follows the mouse.
TEST_F(PreviewDrawingTest, AnOptionResizeKeepsTheViewsAspect) {
  PreviewWindow* preview = makeShown();
  ASSERT_NE(preview, nullptr);
  QKWindowContentView* content = preview->window()->contentView();
  ASSERT_NE(dynamic_cast<PrevWindContentView*>(content), nullptr);
  preview->aspectRatioFieldUsed(2.0);
  settle();
  EXPECT_NEAR(viewSize(*preview).width() / viewSize(*preview).height(), 2.0, 0.02);
  const struct {
    Qt::KeyboardModifiers keys;
    QPointF drag;    // screen, y up
    QSizeF limited;  // the smallest frame stops the drag; empty: no limit met
  } cases[] = {
      {Qt::AltModifier, {60, -13}, {}},
      {Qt::AltModifier, {-40, 25}, {}},
      {Qt::NoModifier, {37, -21}, {}},
      {Qt::NoModifier, {-600, 600}, PreviewWindow::kMinimumSize},
  };
  for (const auto& c : cases) {
    const QRectF before = preview->window()->frame();
    const QPointF start(before.right() - 10, before.y() + 10);
    content->mouseDown(QPointF(before.width() - 10, 10), start, ModifierKeys(c.keys), 1);
    ASSERT_EQ(content->dragAction(), QKWindowContentView::ResizeDrag);
    for (double step : {0.5, 1.0}) content->mouseDragged(start + c.drag * step);
    content->mouseUp();
    settle();
    const QRectF after = preview->window()->frame();
    EXPECT_DOUBLE_EQ(after.y() + after.height(), before.y() + before.height());
    if (!c.limited.isEmpty()) {
      EXPECT_EQ(after.size(), c.limited);
    } else if (c.keys == Qt::AltModifier) {
      EXPECT_DOUBLE_EQ(after.width(), before.width() + c.drag.x());
      EXPECT_NEAR((after.width() - 6) / (after.height() - 37), 2.0, 1e-9);
    } else {
      EXPECT_EQ(after.size(), before.size() + QSizeF(c.drag.x(), -c.drag.y()));
    }
    EXPECT_EQ(viewSize(*preview), QSizeF(after.width() - 6, after.height() - 37));
  }
}

}  // namespace
