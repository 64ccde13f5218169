#include "framework/behaviors/BehaviorChainDragData.h"

BehaviorChainDragData::BehaviorChainDragData(const QString& mimeType,
                                             std::weak_ptr<BehaviorFXChain> chain)
    : chain_(std::move(chain)) {
  setData(mimeType, QByteArray());
}
