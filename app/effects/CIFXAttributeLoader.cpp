#include "app/effects/CIFXAttributeLoader.h"

#include "platform/image/FilterKeys.h"

std::shared_ptr<QCPanelElement> CIFXAttributeLoader::createTapElementForKey(const QString& key) {
  if (key == FilterKeys::kInputImage || key == FilterKeys::kOutputImage) return nullptr;
  return CIAttributeLoader::createTapElementForKey(key);
}
