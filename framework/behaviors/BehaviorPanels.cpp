#include "framework/behaviors/BehaviorPanels.h"

#include "framework/behaviors/TriangleView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/fx/BehaviorObjectPanel.h"
#include "framework/curves/QKSplineViewBox.h"
#include "framework/toolkit/LayoutRegistry.h"

#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 240;
constexpr int kTitleStrip = 15;
constexpr int kSliderHeight = 20;
constexpr int kGraphHeight = 120;

std::unique_ptr<QWidget> panelWithSliders(const QStringList& outlets, int extraHeight = 0) {
  std::unique_ptr<QWidget> panel = std::make_unique<BehaviorObjectPanel>();
  auto* layout = new QVBoxLayout(panel.get());
  layout->setContentsMargins(4, kTitleStrip + 2, 4, 4);
  layout->setSpacing(2);
  for (const QString& outlet : outlets) {
    auto* slider = new QKSliderControl(panel.get());
    slider->setObjectName(outlet);
    slider->setFixedHeight(kSliderHeight);
    layout->addWidget(slider);
  }
  const int height =
      kTitleStrip + 6 + static_cast<int>(outlets.size()) * (kSliderHeight + 2) + extraHeight;
  panel->resize(kWidth, std::max(height, 30));
  return panel;
}

std::unique_ptr<QWidget> trianglizePanel() {
  auto panel = panelWithSliders(
      {QStringLiteral("toCenterSlider"), QStringLiteral("toHeightSlider")}, kGraphHeight);
  auto* tabs = new QTabWidget(panel.get());
  tabs->setObjectName(QStringLiteral("tabView"));
  auto* view = new TriangleView(tabs);
  view->setObjectName(QStringLiteral("triangleView"));
  tabs->addTab(view, QStringLiteral("Triangle"));
  panel->layout()->addWidget(tabs);
  return panel;
}

// The curve box the behaviour finds by name and gives its curve.
std::unique_ptr<QWidget> lookupCurvePanel() {
  auto panel = panelWithSliders({}, kGraphHeight);
  auto* box = new QKSplineViewBox(panel.get());
  box->setObjectName(QStringLiteral("waveformBox"));
  box->setFixedHeight(kGraphHeight);
  panel->layout()->addWidget(box);
  return panel;
}

}  // namespace

void BehaviorPanels::registerLayouts(LayoutRegistry& registry) {
  const auto sliders = [](QStringList outlets) {
    return [outlets](QObject*) { return panelWithSliders(outlets); };
  };
  for (const char* plain : {"Invert", "Scale", "Crop"})
    registry.registerLayout(QString::fromLatin1(plain), sliders({}));
  registry.registerLayout(QStringLiteral("AverageWith"),
                          sliders({QStringLiteral("AvgWithMe"), QStringLiteral("wetDrySlider")}));
  registry.registerLayout(QStringLiteral("QKMinMaxBehavior"),
                          sliders({QStringLiteral("minSlider"), QStringLiteral("maxSlider")}));
  registry.registerLayout(QStringLiteral("Modulus"), sliders({QStringLiteral("modSlider")}));
  registry.registerLayout(QStringLiteral("Multiply"), sliders({QStringLiteral("multiplySlider")}));
  registry.registerLayout(QStringLiteral("QKOffsetBehavior"), sliders({QStringLiteral("slider")}));
  registry.registerLayout(QStringLiteral("Randomize"),
                          sliders({QStringLiteral("randomizeSlider")}));
  registry.registerLayout(QStringLiteral("Snap"), sliders({QStringLiteral("proximitySlider")}));
  registry.registerLayout(QStringLiteral("Threshold"), sliders({QStringLiteral("threshSlider")}));
  for (const char* smoothing : {"Smooth", "SmoothWrap", "Fall"})
    registry.registerLayout(QString::fromLatin1(smoothing),
                            sliders({QStringLiteral("smoothAmtSlider")}));
  registry.registerLayout(QStringLiteral("NumberDelayBehavior"),
                          sliders({QStringLiteral("delaySlider")}));
  registry.registerLayout(QStringLiteral("Trianglize"), [](QObject*) { return trianglizePanel(); });
  registry.registerLayout(QStringLiteral("LookupCurve"),
                          [](QObject*) { return lookupCurvePanel(); });
}
