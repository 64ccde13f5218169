#include "app/plugins/colorswatch/ColorSwatch.h"
#include "app/plugins/colorswatch/QKColorWheel.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

namespace {

constexpr float kEps = 1e-4f;

class ColorSwatchTest : public PluginHost {
 protected:
  ColorSwatch* make() { return PluginHost::make<ColorSwatch>(); }
  std::shared_ptr<ValueRecorder> record(const QString& name, const QString& component) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(dsc.subscribeObject(recorder, &ValueRecorder::updated, {name, component}));
    recorder->values.clear();
    return recorder;
  }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }
};

TEST_F(ColorSwatchTest, PublishesTheWheelsColourOnEveryTick) {
  ColorSwatch* swatch = make();
  ASSERT_NE(swatch, nullptr);
  EXPECT_EQ(swatch->windowTitle(), QStringLiteral("ColorSwatch 1"));
  const auto r = record(swatch->windowTitle(), QStringLiteral("R"));
  const auto g = record(swatch->windowTitle(), QStringLiteral("G"));
  const auto b = record(swatch->windowTitle(), QStringLiteral("B"));
  swatch->colorWheel()->setColorHSV(1.0f / 3, 1.0f, 0.5f);
  dsc.threadProc();
  ASSERT_FALSE(r->values.empty());
  EXPECT_NEAR(r->values.back(), 0.0f, kEps);
  EXPECT_NEAR(g->values.back(), 0.5f, kEps);
  EXPECT_NEAR(b->values.back(), 0.0f, kEps);

  // The value slider at 0: everything black.
  swatch->vSlider()->setValue(0.0f, true);
  settle();
  dsc.threadProc();
  EXPECT_NEAR(g->values.back(), 0.0f, kEps);
  EXPECT_NEAR(swatch->colorWheel()->v(), 0.0f, kEps);
}

TEST_F(ColorSwatchTest, XYModeDrivesTheWheelByPosition) {
  ColorSwatch* swatch = make();
  swatch->xyModeButton()->setIntValue(1, true);
  settle();
  ASSERT_TRUE(swatch->xyMode());
  EXPECT_EQ(swatch->hSlider()->sliderName(), QStringLiteral("X"));
  swatch->vSlider()->setValue(0.8f, true);
  swatch->sSlider()->setValue(0.5f, true);
  swatch->hSlider()->setValue(1.0f, true);
  settle();
  EXPECT_NEAR(swatch->colorWheel()->h(), 0.0f, kEps);
  EXPECT_NEAR(swatch->colorWheel()->s(), 1.0f, kEps);
  const auto r = record(swatch->windowTitle(), QStringLiteral("R"));
  const auto g = record(swatch->windowTitle(), QStringLiteral("G"));
  dsc.threadProc();
  EXPECT_NEAR(r->values.back(), 0.8f, kEps);
  EXPECT_NEAR(g->values.back(), 0.0f, kEps);
  swatch->xyModeButton()->setIntValue(0, true);
  settle();
  EXPECT_FALSE(swatch->xyMode());
  EXPECT_EQ(swatch->sSlider()->sliderName(), QStringLiteral("Saturation"));
}

TEST_F(ColorSwatchTest, APickMovesTheSlidersWithoutTheirActions) {
  ColorSwatch* swatch = make();
  QKColorWheel* wheel = swatch->colorWheel();
  int sliderActions = 0;
  auto counter = std::make_shared<int>(0);
  swatch->hSlider()->setTarget(counter);
  swatch->hSlider()->setAction([&](QKSliderCell&) { ++sliderActions; });
  wheel->setColorFromClickPoint({wheel->width() / 2.0, double(wheel->height())});  // hue 0.25
  settle();
  EXPECT_NEAR(swatch->hSlider()->value(), 0.25f, kEps);
  EXPECT_NEAR(swatch->sSlider()->value(), 1.0f, kEps);
  EXPECT_EQ(sliderActions, 0);
}

TEST_F(ColorSwatchTest, SubscribersFollowARenameAndDeletionRemovesTheNewPath) {
  ColorSwatch* swatch = make();
  const auto r = record(swatch->windowTitle(), QStringLiteral("R"));
  ASSERT_TRUE(manager->renamePlugin(swatch, QStringLiteral("tint")));
  EXPECT_EQ(r->path, (KeyPath{QStringLiteral("tint"), QStringLiteral("R")}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("ColorSwatch 1")}), nullptr);
  swatch->colorWheel()->setColorHSV(0.0f, 1.0f, 1.0f);
  r->values.clear();
  dsc.threadProc();
  ASSERT_FALSE(r->values.empty());
  EXPECT_NEAR(r->values.back(), 1.0f, kEps);

  manager->deletePlugins({swatch});
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("tint")}), nullptr);
  EXPECT_TRUE(r->deleted);
  // A new swatch takes the old default name without meeting a leaked holder.
  ColorSwatch* next = make();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->windowTitle(), QStringLiteral("ColorSwatch 1"));
  EXPECT_NE(dsc.dataSourceForKeyArray({QStringLiteral("ColorSwatch 1"), QStringLiteral("G")}),
            nullptr);
}

TEST_F(ColorSwatchTest, ASnapshotRestoresModeAndSlidersAndSkipsBadEntries) {
  ColorSwatch* swatch = make();
  swatch->xyModeButton()->setIntValue(1, true);
  swatch->hSlider()->setValue(0.2f, true);
  swatch->sSlider()->setValue(0.7f, true);
  swatch->vSlider()->setValue(0.9f, true);
  settle();
  const QVariantMap snapshot = swatch->createSnapshot();
  EXPECT_TRUE(snapshot.contains(QStringLiteral("superSnap")));
  ColorSwatch* other = make();
  other->loadSnapshot(snapshot);
  settle();
  EXPECT_TRUE(other->xyMode());
  EXPECT_NEAR(other->hSlider()->value(), 0.2f, kEps);
  EXPECT_NEAR(other->colorWheel()->x(), 0.2f, kEps);
  EXPECT_NEAR(other->colorWheel()->y(), 0.7f, kEps);
  EXPECT_NEAR(other->colorWheel()->v(), 0.9f, kEps);

  QVariantMap bad = snapshot;
  bad.insert(QStringLiteral("HSxV"), QVariantMap{{QStringLiteral("hSlider"), 5},
                                                 {QStringLiteral("vSlider"), QStringLiteral("x")}});
  other->loadSnapshot(bad);
  other->loadSnapshot({{QStringLiteral("HSxV"), QVariantList{}}});
  EXPECT_NEAR(other->hSlider()->value(), 0.2f, kEps);
  EXPECT_NEAR(other->colorWheel()->v(), 0.9f, kEps);

  if (QKWindow* window = other->window()) {
    window->show();
    settle();
    saveScreenshot(window->grab().toImage(), QStringLiteral("color-swatch"));
  }
}

}  // namespace
