#include "app/plugins/preview/PreviewGeometry.h"
#include "app/plugins/preview/PreviewWindow.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "tests/support/PluginHost.h"

namespace {

TEST(PreviewGeometryTest, TheTapIsFittedWithOrWithoutItsAspect) {
  const struct {
    QSizeF source, view;
    bool keep;
    QRectF fitted;
  } cases[] = {
      {{1920, 1080}, {400, 400}, true, {0, 87.5, 400, 225}},
      {{480, 640}, {400, 300}, true, {87.5, 0, 225, 300}},
      {{100, 100}, {200, 400}, true, {0, 100, 200, 200}},
      {{100, 100}, {400, 200}, true, {100, 0, 200, 200}},
      {{1920, 1080}, {400, 400}, false, {0, 0, 400, 400}},
      {{0, 0}, {400, 300}, true, {0, 0, 400, 300}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PreviewGeometry::fitRect(c.source, c.view, c.keep), c.fitted)
        << c.source.width() << "x" << c.source.height();
}

TEST(PreviewGeometryTest, AnAspectFieldOfNoRatioIsIgnored) {
  const QRectF window(100, 100, 246, 217);
  for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
    EXPECT_FALSE(PreviewGeometry::frameForAspect(window, {240, 180}, bad)) << bad;
  const auto frame = PreviewGeometry::frameForAspect(window, {240, 180}, 2.0);
  ASSERT_TRUE(frame);
  EXPECT_DOUBLE_EQ(frame->height(), 217 - 60);
  EXPECT_DOUBLE_EQ(frame->top() + frame->height(), window.top() + window.height());
}

TEST(PreviewGeometryTest, TheSampleStaysInsideTheView) {
  EXPECT_EQ(PreviewGeometry::sampleOrigin({50, 40}, {100, 80}), QPoint(49, 39));
  EXPECT_EQ(PreviewGeometry::sampleOrigin({99.5, 79.9}, {100, 80}), QPoint(97, 77));
  EXPECT_EQ(PreviewGeometry::sampleOrigin({0, 0}, {100, 80}), QPoint(0, 0));
}

class PreviewWindowTest : public PluginHost {
 protected:
  PreviewWindow* make() {
    auto* preview = PluginHost::make<PreviewWindow>();
    if (preview) preview->window();
    return preview;
  }
  std::shared_ptr<ValueRecorder> record(const PreviewWindow* preview, const QString& key) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(
        dsc.subscribeObject(recorder, &ValueRecorder::updated, {preview->windowTitle(), key}));
    recorder->values.clear();
    return recorder;
  }
};

TEST_F(PreviewWindowTest, TheRateItemsAndARestoredRate) {
  PreviewWindow* preview = make();
  ASSERT_NE(preview, nullptr);
  for (int index : {0, 1, 2}) {
    preview->rateMenuUsed(index);
    EXPECT_EQ(preview->rate(), PreviewWindow::rateForIndex(index));
  }
  EXPECT_EQ(preview->rate(), 8);
  preview->rateMenuUsed(5);
  EXPECT_EQ(preview->rate(), 8);
  preview->rateMenuUsed(0);
  QVariantMap snapshot = preview->createSnapshot();
  QVariantList components = snapshot.value("componentArray").toList();
  components[0] = QVariantMap{{"componentName", "preview rate"}, {"rate", 8}};
  snapshot.insert("componentArray", components);
  preview->loadSnapshot(snapshot);
  EXPECT_EQ(preview->rate(), 8);
  EXPECT_EQ(preview->rateButton()->titleOfSelectedItem(), QStringLiteral("8"));
  components[0] = QVariantMap{{"componentName", "preview rate"}, {"rate", 3}};
  snapshot.insert("componentArray", components);
  preview->loadSnapshot(snapshot);  // not offered: the selection stays
  EXPECT_EQ(preview->rate(), 8);
}

TEST_F(PreviewWindowTest, TheMouseIsPublishedAsXYAndMouse) {
  PreviewWindow* preview = make();
  const auto x = record(preview, "X"), y = record(preview, "Y"), mouse = record(preview, "Mouse");
  preview->viewMouseDown({200, 150}, {400, 300}, false);
  ASSERT_FALSE(x->values.empty());
  EXPECT_FLOAT_EQ(x->values.back(), 0.5f);
  EXPECT_FLOAT_EQ(y->values.back(), 0.5f);
  EXPECT_FLOAT_EQ(mouse->values.back(), 1.0f);
  EXPECT_FALSE(preview->trackingDrag());  // no movie: only the sources
  preview->viewMouseDragged({300, 75}, {400, 300});
  EXPECT_FLOAT_EQ(x->values.back(), 0.75f);
  EXPECT_FLOAT_EQ(y->values.back(), 0.75f);
  preview->viewMouseUp();
  EXPECT_FLOAT_EQ(mouse->values.back(), 0.0f);
  // A Ctrl-click only syncs with the bin.
  const size_t before = mouse->values.size();
  preview->viewMouseDown({10, 10}, {400, 300}, true);
  EXPECT_EQ(mouse->values.size(), before);
  EXPECT_FLOAT_EQ(x->values.back(), 0.75f);
}

TEST_F(PreviewWindowTest, ARenameMovesTheGroupAndTheSnapshotKeepsTheOptions) {
  PreviewWindow* preview = make();
  const auto x = record(preview, "X");
  preview->setPluginName(QStringLiteral("pv"));
  EXPECT_EQ(x->path, (KeyPath{QStringLiteral("pv"), QStringLiteral("X")}));
  preview->jogScratchButtonUsed(false);
  preview->preserveAspectButtonUsed(false);
  PreviewWindow* other = make();
  other->loadSnapshot(preview->createSnapshot());
  EXPECT_FALSE(other->jogScratchFlag());
  EXPECT_FALSE(other->preserveAspectFlag());
  manager->deletePlugins({preview});
  EXPECT_TRUE(x->deleted);
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("pv")}), nullptr);
}

}  // namespace
