#pragma once

#include "framework/taps/QKTapClient.h"
#include "framework/taps/QKTapManager.h"

#include <QSizeF>
#include <QString>

#include <memory>

class LayerInterface;
class QKRTapStub;

// A source tap: publishes a picture under a name. A layer's source tap is
// named after the layer; live inputs and composition outputs are subclasses
// without a layer that answer their own imageSize.
//
// Made with `create` (or a subclass's own factory that calls `announce`
// once constructed), which registers it with the tap manager. The producer
// hands its frames to `stub()` while the name has receivers. Its name and
// stub are guarded by the manager's lock. `prepareToBeDeleted` takes it out
// of the registry; the destructor does it if it was forgotten.
class QKSTap : public QKTapClient {
 public:
  static std::shared_ptr<QKSTap> create(LayerInterface* layer);
  explicit QKSTap(LayerInterface* layer, QString tapName = {});
  ~QKSTap() override;
  QKSTap(const QKSTap&) = delete;
  QKSTap& operator=(const QKSTap&) = delete;

  void prepareToBeDeleted();
  void changeTapNameTo(const QString& newName);
  // -1, 0 or 1 by the two layers' places in the layer order (-1 without a
  // layer).
  int orderedIndexRelativeTo(const QKSTap& other) const;
  // The next frame updates the receivers' sizes.
  void boundsChanged();
  virtual QSizeF imageSize() const;

  QString tapName() const;
  LayerInterface* layer() const { return layer_; }
  std::shared_ptr<QKRTapStub> stub() const;
  QString description() const;

  void setTapManager(QKTapManager* manager) override;
  QKTapManager* tapManager() const override;

 protected:
  // Registers the tap (from its factory, once it is fully constructed).
  void announce() { QKTapManager::announce(this); }

 private:
  friend class QKTapManager;

  LayerInterface* const layer_;
  std::shared_ptr<QKTapManager::Link> link_;
  bool deleted_ = false;
  // Under the manager's lock:
  QString tapName_;
  std::shared_ptr<QKRTapStub> stub_;
};
