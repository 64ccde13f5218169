#include "app/effects/QCFXAttributeLoader.h"

#include "app/effects/QCFXLoader.h"
#include "framework/render/QCUtils.h"

namespace {

// The names the effect feeds the layer's image through; the ninth,
// "protocolInput_Image", is a tap like any other image input.
bool isFedImageInput(const QString& key) {
  return QCUtils::imageInputKeys().mid(0, 8).contains(key);
}

}  // namespace

bool QCFXAttributeLoader::wantsElementForInput(const QString& key, Choice choice) const {
  if (choice.kind == QCElementFactories::Kind::Tap) return !isFedImageInput(key);
  return key != QCFXLoader::kLayerFilePathKey;
}
