// Which published inputs of a composition effect get a control.
#include "app/effects/QCFXAttributeLoader.h"

#include <gtest/gtest.h>

namespace {

class Panel : public QCFXAttributeLoader {
 public:
  using QCFXAttributeLoader::wantsElementForInput;
};

TEST(QCFXAttributeLoader, LeavesOutOnlyTheInputsTheEffectFeedsItself) {
  using Kind = QCElementFactories::Kind;
  struct Case {
    Kind kind;
    const char* key;
    bool wanted;
  };
  const Case cases[] = {
      {Kind::Tap, "inputImage", false},
      {Kind::Tap, "Input Image", false},
      {Kind::Tap, "_protocolInput_Image", false},
      // The ninth image-input name is a tap like any other image input.
      {Kind::Tap, "protocolInput_Image", true},
      {Kind::Tap, "mask", true},
      {Kind::String, "layerFilePath", false},
      {Kind::String, "title", true},
      {Kind::Slider, "amount", true},
      {Kind::Slider, "inputImage", true},
  };
  Panel panel;
  for (const Case& c : cases) {
    QCAttributeLoader::Choice choice{QCAttributeLoader::Choice::Role::Element, c.kind};
    EXPECT_EQ(panel.wantsElementForInput(QLatin1String(c.key), choice), c.wanted)
        << c.key << " as " << QCElementFactories::kindName(c.kind).toStdString();
  }
}

}  // namespace
