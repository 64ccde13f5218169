#pragma once

#include "framework/taps/QKTapClient.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/TextureHandle.h"

#include <QSizeF>
#include <QString>

#include <memory>

class QKRTapDelegate;
class QKRTapStub;

// A receiving tap: binds to a source's name and reads its frames. Bound to
// nothing ("QKEmptyDeselectedString") when made; bound to a name without a
// source it waits and is served as soon as one appears.
//
// Made with `create`, which registers it with the tap manager. Its name,
// stub and delegate are guarded by the manager's lock, so a frame read on
// the render thread never meets a stub being dropped: `getTextureRef` hands
// out a counted handle that stays valid until the reader lets it go. After
// `prepareToBeDeleted` returns the delegate is never called again; the
// destructor prepares a receiver that was not prepared.
class QKRTap : public QKTapClient {
 public:
  static std::shared_ptr<QKRTap> create();
  QKRTap();
  ~QKRTap() override;
  QKRTap(const QKRTap&) = delete;
  QKRTap& operator=(const QKRTap&) = delete;

  // Does nothing once the tap was prepared for deletion.
  void useTapNamed(const QString& name);
  // The current frame; null without a stub.
  gl::TextureHandle getTextureRef() const;
  // The source's image size; 0 x 0 without a source.
  QSizeF sourceSize() const;
  // Tells the delegate.
  void updateTapSize();
  void prepareToBeDeleted();

  QString lastSelectedTapName() const;
  // Keeps the name; does not rebind.
  void setLastSelectedTapName(const QString& name);
  std::shared_ptr<QKRTapStub> stub() const;
  QKRTapDelegate* delegate() const;
  void setDelegate(QKRTapDelegate* delegate);
  QString description() const;

  void setTapManager(QKTapManager* manager) override;
  QKTapManager* tapManager() const override;

 private:
  friend class QKTapManager;
  // The manager's lock, or none before the tap is adopted.
  std::unique_lock<std::recursive_mutex> lockManager() const;

  std::shared_ptr<QKTapManager::Link> link_;
  bool deleted_ = false;
  // Under the manager's lock:
  QString lastSelectedTapName_;
  std::shared_ptr<QKRTapStub> stub_;
  QKRTapDelegate* delegate_ = nullptr;
};
