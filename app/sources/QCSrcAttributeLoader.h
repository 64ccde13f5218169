#pragma once

#include "framework/params/QCAttributeLoader.h"

// The panel of a composition that stands for a media file: the text of a
// text player stands at the top, and the image input the context feeds
// itself gets no tap pop-up.
class QCSrcAttributeLoader : public QCAttributeLoader {
 public:
  using QCAttributeLoader::QCAttributeLoader;

 protected:
  bool wantsElementForInput(const QString& key, Choice choice) const override;
  void orderElementsForLayout(std::vector<std::shared_ptr<QCPanelElement>>& elements) override;
};
