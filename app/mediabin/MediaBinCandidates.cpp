#include "app/mediabin/MediaBinCandidates.h"

#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MediaBin.h"
#include "framework/toolkit/QKWindow.h"

#include <QPointer>

std::vector<LayerWindowTabView::Candidate> MediaBinCandidates::holding(
    const QList<QKPlugin*>& plugins, const QString& name) {
  std::vector<LayerWindowTabView::Candidate> candidates;
  for (QKPlugin* plugin : plugins) {
    auto* bin = dynamic_cast<MediaBin*>(plugin);
    if (!bin || !bin->triggerQueueController() || !bin->window()) continue;
    if (!bin->triggerQueueController()->containsLayer(name)) continue;
    candidates.push_back(
        {QRectF(bin->window()->geometry()), [bin = QPointer<MediaBin>(bin), name](Layer*) {
           if (bin && bin->triggerQueueController())
             bin->triggerQueueController()->makeThisLayerNext(name);
         }});
  }
  return candidates;
}
