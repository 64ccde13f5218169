#pragma once

#include <QMimeData>

#include <memory>

class BehaviorFXChain;

// What a dragged chain row carries: the chain itself, held weakly (a chain
// deleted during the drag is simply gone), under the manager's chain drag
// type with an empty payload. Only a drop in this process can use it.
class BehaviorChainDragData : public QMimeData {
  Q_OBJECT
 public:
  BehaviorChainDragData(const QString& mimeType, std::weak_ptr<BehaviorFXChain> chain);
  std::shared_ptr<BehaviorFXChain> chain() const { return chain_.lock(); }

 private:
  std::weak_ptr<BehaviorFXChain> chain_;
};
