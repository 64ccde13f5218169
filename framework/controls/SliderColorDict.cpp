#include "framework/controls/SliderColorDict.h"

#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"

namespace {

using S = InterfaceColorScheme;

struct SliderLeafColors {
  QVariant frame, fill, head, nameText, otherText;
};

QVariantMap sliderLeaf(const SliderLeafColors& c) {
  return {{QStringLiteral("QKSliderFrameColor"), c.frame},
          {QStringLiteral("QKSliderColorBG"), c.fill},
          {QStringLiteral("QKSliderColor"), c.head},
          {QStringLiteral("QKSliderEnvColor"), S::grey(0, 0.7)},
          {QStringLiteral("QKSliderEnvHandleColor"), S::grey(0)},
          {QStringLiteral("IPs"), S::grey(1, 0.15)},
          {QStringLiteral("highlight"), S::grey(0.911, 0.1)},
          {QStringLiteral("shadow"), S::grey(0, 0.5)},
          {QStringLiteral("QKSliderTextAttribs"),
           S::textAttributes(S::font(S::interfaceFontFamily(), 9), c.nameText)},
          {QStringLiteral("QKSliderEnvTextAttribs"),
           S::textAttributes(S::font(TheApplication::kSmallFontFamily, 8), c.otherText)}};
}

QVariantMap sliderStates(const SliderLeafColors& unsync, const SliderLeafColors& unsyncLearning,
                         const SliderLeafColors& sync, const SliderLeafColors& syncLearning) {
  auto byLearnMode = [](const SliderLeafColors& normal, const SliderLeafColors& learning) {
    return QVariantMap{{QStringLiteral("non-HLM"), sliderLeaf(normal)},
                       {QStringLiteral("HLM"), sliderLeaf(learning)}};
  };
  return {{QStringLiteral("unsync"), byLearnMode(unsync, unsyncLearning)},
          {QStringLiteral("sync"), byLearnMode(sync, syncLearning)}};
}

}  // namespace

QVariantMap SliderColorDict::builtIn() {
  const QVariant white = S::grey(1);
  const QVariant orange = S::rgba(0.943, 0.558, 0.154);
  const QVariant learnFrame = S::rgba(0.022, 0.062, 0.144);
  const QVariant learnFill = S::rgba(0.096, 0.397, 0.972);
  const QVariant darkLearnFill = S::rgba(0.073, 0.209, 0.485);
  const QVariant green = S::rgba(0.384, 0.977, 0.191);
  const QVariant learnText = S::rgba(0.371, 0.573, 0.978);
  return {{QStringLiteral("selected"),
           sliderStates({S::grey(0.152), S::rgba(0.622, 0.368, 0.102), orange, white, white},
                        {learnFrame, learnFill, orange, orange, orange},
                        {S::grey(0.148), S::rgba(0.230, 0.487, 0.074), S::rgba(0.498, 0.921, 0.214),
                         white, white},
                        {learnFrame, learnFill, green, orange, orange})},
          {QStringLiteral("unselected"),
           sliderStates(
               {S::grey(0.148), S::grey(0.254), S::grey(0.660), S::grey(0.498), S::grey(0.498)},
               {learnFrame, darkLearnFill, learnFill, learnText, learnText},
               {S::grey(0.148), S::grey(0.25), green, S::grey(0.502), S::grey(0.498)},
               {learnFrame, darkLearnFill, green, learnText, learnText})}};
}

QVariantMap SliderColorDict::leaf(const QVariantMap& all, bool selected, bool sync,
                                  bool learnMode) {
  const QVariantMap bySelection =
      all.value(selected ? QStringLiteral("selected") : QStringLiteral("unselected")).toMap();
  const QVariantMap byBinding =
      bySelection.value(sync ? QStringLiteral("sync") : QStringLiteral("unsync")).toMap();
  return byBinding.value(learnMode ? QStringLiteral("HLM") : QStringLiteral("non-HLM")).toMap();
}
