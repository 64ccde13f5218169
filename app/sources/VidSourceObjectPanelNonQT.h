#pragma once

#include "app/sources/VidSourceObjectPanel.h"

// The panel background of the sources that take any media file.
class VidSourceObjectPanelNonQT : public VidSourceObjectPanel {
 public:
  using VidSourceObjectPanel::VidSourceObjectPanel;

 protected:
  bool acceptsAnyFile() const override { return true; }
};
