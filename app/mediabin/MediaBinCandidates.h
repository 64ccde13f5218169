#pragma once

#include "app/compositor/LayerWindowTabView.h"

#include <QList>
#include <QString>

#include <vector>

class QKPlugin;

// The media bins among the live plug-ins whose layer queue holds a layer,
// each with its window's screen frame and, as its action, making the layer
// the next one its queue triggers.
class MediaBinCandidates {
 public:
  static std::vector<LayerWindowTabView::Candidate> holding(const QList<QKPlugin*>& plugins,
                                                            const QString& layerName);
};
