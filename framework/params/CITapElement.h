#pragma once

#include "framework/params/QCElementCallbacks.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCPanelElement.h"
#include "framework/taps/QKRTapMenuController.h"

#include <QPointer>

#include <memory>
#include <mutex>

class QKElementBox;
class QKNSPopUpButton;
class QKRTap;

// A titled chooser of a tap for an image input: the pop-up lists the
// source taps (through a QKRTapMenuController), and the element's receiver
// binds to the chosen name ("QKEmptyDeselectedString" for "<none>"). The
// render thread reads the tap's current frame through tapTexture(), under
// the tap manager's lock. Snapshot: "title", "menuController", "key".
class CITapElement : public QCPanelElement, public std::enable_shared_from_this<CITapElement> {
 public:
  // The chooser of a request (frame (0, 0, panel width − 25, 34)), awake.
  static std::shared_ptr<CITapElement> create(const QCElementFactories::Request& request);
  static std::shared_ptr<CITapElement> create(const QRectF& frame, QWidget* parent);
  ~CITapElement() override;

  // The receiver follows the menu's choice; then the owner is told.
  void tapSourceChanged();
  // Render thread: the chosen tap's frame, null without one.
  gl::TextureHandle getTexture() const;
  bool questionableColors() const;

  void setTitle(const QString& title);
  QString title() const;
  void setKey(const QString& key);
  QKRTapMenuController* menuController() const { return menuController_; }
  std::shared_ptr<QKRTap> rTap() const { return rTap_; }
  QKNSPopUpButton* button() const { return button_; }

  QString key() const override;
  QWidget* view() const override;
  Row row() const override { return Row::Tap; }
  // Images are fed by the panel from tapTexture().
  std::optional<composition::PortValue> value() const override { return std::nullopt; }
  bool snapshotAfterDelivery(bool keyListed) const override { return keyListed; }
  void setAction(Callback action) override { callbacks_.setAction(std::move(action)); }
  void setSnapshotNotice(Callback notice) override {
    callbacks_.setSnapshotNotice(std::move(notice));
  }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  QString legacyName() const override { return title(); }
  void prepareToBeDeleted() override;
  bool isTap() const override { return true; }
  gl::TextureHandle tapTexture() const override { return getTexture(); }
  void reloadAvailableTaps() override;

 protected:
  CITapElement(const QRectF& frame, QWidget* parent);
  void awakeFromNib();

 private:
  QPointer<QKElementBox> box_;
  QKNSPopUpButton* button_ = nullptr;
  QPointer<QKRTapMenuController> menuController_;
  std::shared_ptr<QKRTap> rTap_;
  mutable std::mutex mutex_;
  QString key_;  // under mutex_
  bool deleted_ = false;
  QCElementCallbacks callbacks_;
};

// The tap chooser of a composition's image input: the same element, known
// apart by its class.
class QCTapElement : public CITapElement {
 public:
  static std::shared_ptr<QCTapElement> create(const QCElementFactories::Request& request);

 private:
  using CITapElement::CITapElement;
};
