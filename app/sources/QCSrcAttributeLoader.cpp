#include "app/sources/QCSrcAttributeLoader.h"

#include "app/sources/SourceImageFeed.h"

#include <algorithm>

bool QCSrcAttributeLoader::wantsElementForInput(const QString& key, Choice choice) const {
  return !(choice.kind == QCElementFactories::Kind::Tap && key == SourceImageFeed::kInputKey);
}

void QCSrcAttributeLoader::orderElementsForLayout(
    std::vector<std::shared_ptr<QCPanelElement>>& elements) {
  const std::shared_ptr<QCPanelElement> text = defaultFileInput();
  if (!text) return;
  auto it = std::find(elements.begin(), elements.end(), text);
  if (it != elements.end()) std::rotate(elements.begin(), it, it + 1);
}
