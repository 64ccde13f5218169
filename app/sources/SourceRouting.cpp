#include "app/sources/SourceRouting.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "platform/foundation/MainThread.h"

namespace {

void onMainWithLayer(Layer& layer, bool wait, std::function<void(Layer&)> work) {
  Compositor* compositor = layer.compositor();
  const long id = layer.uniqueID();
  auto call = [compositor, id, work = std::move(work)] {
    Layer* found = compositor->findLayerByUniqueID(id);
    if (found && !found->deleted()) work(*found);
  };
  if (wait)
    MainThread::runAndWait(std::move(call));
  else
    MainThread::post(std::move(call));
}

}  // namespace

void SourceRouting::triggerFileLater(Layer& layer, const std::shared_ptr<QKFile>& file) {
  onMainWithLayer(layer, false, [file](Layer& found) { found.unlockedTriggerFile(file); });
}

void SourceRouting::triggerFileAndWait(Layer& layer, const std::shared_ptr<QKFile>& file) {
  onMainWithLayer(layer, true, [file](Layer& found) { found.unlockedTriggerFile(file); });
}

void SourceRouting::displayGeneralSourceLater(Layer& layer) {
  onMainWithLayer(layer, false, [](Layer& found) { found.displayGeneralSource(); });
}

void SourceRouting::setLayerSizeLater(Layer& layer, QSizeF size) {
  onMainWithLayer(layer, false, [size](Layer& found) { found.setLayerSize(size); });
}
