#pragma once

#include "framework/params/CIAttributeLoader.h"

// The panel of a filter effect: the filter's generic panel without a tap
// chooser for its own image input and output, which the chain supplies.
class CIFXAttributeLoader : public CIAttributeLoader {
 public:
  using CIAttributeLoader::CIAttributeLoader;

 protected:
  std::shared_ptr<QCPanelElement> createTapElementForKey(const QString& key) override;
};
