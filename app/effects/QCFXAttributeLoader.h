#pragma once

#include "framework/params/QCAttributeLoader.h"

// The panel of a composition effect: the composition's published inputs,
// less the two the chain feeds itself: the image input (by the first eight
// of the image-input names; "protocolInput_Image" keeps its tap pop-up) and
// "layerFilePath".
class QCFXAttributeLoader : public QCAttributeLoader {
 public:
  using QCAttributeLoader::QCAttributeLoader;

 protected:
  bool wantsElementForInput(const QString& key, Choice choice) const override;
};
