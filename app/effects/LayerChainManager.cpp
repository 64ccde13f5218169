#include "app/effects/LayerChainManager.h"

#include "platform/foundation/NotificationCenter.h"

const QString LayerChainManager::kLayersChangedNotification =
    QStringLiteral("QKLayersChangedNotification");

LayerChainManager::LayerChainManager() { setFXFolder(QStringLiteral("vidFX")); }

void LayerChainManager::updateChainBasedLists() {
  NotificationCenter::defaultCenter().post(kLayersChangedNotification, this);
}
