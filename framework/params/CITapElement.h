#pragma once

#include "framework/params/QCBoxedElement.h"
#include "framework/params/QCElementFactories.h"
#include "framework/taps/QKRTapMenuController.h"

#include <QPointer>

#include <memory>
#include <mutex>

class QKNSPopUpButton;
class QKRTap;

// A titled chooser of a tap for an image input: the pop-up lists the
// source taps (through a QKRTapMenuController), and the element's receiver
// binds to the chosen name ("QKEmptyDeselectedString" for "<none>"). The
// render thread reads the tap's current frame through tapTexture(), under
// the tap manager's lock. Snapshot: "title", "menuController", "key".
class CITapElement : public QCBoxedElement, public std::enable_shared_from_this<CITapElement> {
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

  QKRTapMenuController* menuController() const { return menuController_; }
  std::shared_ptr<QKRTap> rTap() const { return rTap_; }
  QKNSPopUpButton* button() const { return button_; }

  Row row() const override { return Row::Tap; }
  // Images are fed by the panel from tapTexture().
  std::optional<composition::PortValue> value() const override { return std::nullopt; }
  bool snapshotAfterDelivery(bool keyListed) const override { return keyListed; }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;
  bool isTap() const override { return true; }
  gl::TextureHandle tapTexture() const override { return getTexture(); }
  void reloadAvailableTaps() override;

 protected:
  CITapElement(const QRectF& frame, QWidget* parent);
  void awakeFromNib();

 private:
  QKNSPopUpButton* button_ = nullptr;
  QPointer<QKRTapMenuController> menuController_;
  std::shared_ptr<QKRTap> rTap_;
  bool deleted_ = false;
};

// The tap chooser of a composition's image input: the same element, known
// apart by its class.
class QCTapElement : public CITapElement {
 public:
  static std::shared_ptr<QCTapElement> create(const QCElementFactories::Request& request);

 private:
  using CITapElement::CITapElement;
};
