#pragma once

#include "app/effects/LayerFXObject.h"

// A filter effect: one filter of the registry, chosen by name, over the
// layer's image. A filter is accepted when it takes "inputImage" and gives
// "outputImage"; its title is the filter's display name.
class CIFXLoader : public LayerFXObject {
 public:
  // Null for a filter the registry does not know or cannot be an effect.
  static std::shared_ptr<CIFXLoader> create(const QString& filterName, const QRectF& activeRect);
  // Whether the registry's filter of that name can be an effect.
  static bool accepts(const QString& filterName);

  CIFXLoader(const QString& filterName, const QString& displayName, QSizeF renderSize);
  QString className() const override { return QStringLiteral("CIFXLoader"); }

 protected:
  void makeContexts() override;
  const char* noLayerMessage() const override { return "\t\terr: myLayer was nil in cifx"; }
};
