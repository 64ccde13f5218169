#pragma once

#include <QRectF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <optional>

class FXChain;
class FXChainManager;
class QKButtonCell;
class QWidget;

// One element of a processing chain: a slider behaviour, a layer effect.
// The chain passes its object (a slider cell, a layer's image buffers)
// through every element in order; an element changes it in place and leaves
// it alone while bypassed.
//
// An element is made bypassed and becomes active at its set-up
// (`awakeFromNib`, run by `make`): its on/off button is switched on. The
// button is a QKButtonCell, which the element's panel shows; pressing it
// calls `bypassToggleUsed`.
//
// Threads: edits, layout and snapshots on the main thread; `processPassedPtr`
// on the chain's processing thread (the tick or the render thread) while the
// chain's lock is held. `bypass` is safe to read from any thread.
class FXObject : public std::enable_shared_from_this<FXObject> {
 public:
  static constexpr double kCollapsedHeight = 15.0;
  static constexpr double kMinimumHeight = 30.0;

  static const QString kBypassButtonKey;  // "QKBypassButton"
  static const QString kArchiveNameKey;   // "myName"

  // Makes an element of kind T and runs its set-up.
  template <typename T, typename... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    auto element = std::make_shared<T>(std::forward<Args>(args)...);
    element->awakeFromNib();
    return element;
  }

  explicit FXObject(const QString& name);
  virtual ~FXObject();
  FXObject(const FXObject&) = delete;
  FXObject& operator=(const FXObject&) = delete;

  // The set-up after construction: the on/off button is switched on, so the
  // element starts active.
  virtual void awakeFromNib();

  // Changes `passed` in place; nothing while bypassed. The base does nothing.
  virtual void processPassedPtr(void* passed);

  // Follows the on/off button: bypassed unless it is on (1).
  void bypassToggleUsed();
  bool bypass() const { return bypass_.load(); }
  const std::shared_ptr<QKButtonCell>& bypassButton() const { return bypassButton_; }

  QString myName() const { return myName_; }
  void setMyName(const QString& name) { myName_ = name; }
  virtual QString className() const { return QStringLiteral("FXObject"); }

  FXChain* myChain() const { return myChain_; }
  void setMyChain(FXChain* chain) { myChain_ = chain; }
  FXChainManager* myChainManager() const { return myChainManager_; }
  void setMyChainManager(FXChainManager* manager) { myChainManager_ = manager; }
  virtual void tellMyChainToDeleteMe();

  virtual void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }
  bool collapsed() const { return collapsed_; }

  // The panel's frame in the chain's box, and the frame kept while collapsed.
  QRectF localFrame() const { return localFrame_; }
  void setLocalFrame(const QRectF& frame) { localFrame_ = frame; }
  QRectF expandedFrame() const { return expandedFrame_; }
  void resizeFXWidth(int width);
  void reposFXOrigin(const QPointF& origin);
  // Heights below 30 are raised to 30; the chain lays out again.
  void fxResizingHeight(int height);
  virtual void collapse();
  virtual void expand();

  // The panel the chain's box shows (an FXObjectPanel, or a plain view for
  // an element built without one); null without a panel.
  virtual QWidget* myPanel() const { return nullptr; }
  // The drag archive of a copy of this element with its settings, for an
  // Alt-drag; empty for an element that is moved instead.
  virtual QByteArray copyDragData() const { return {}; }

  // {"QKBypassButton": the on/off button's snapshot}; subclasses add their
  // own keys. Empty when the element has no button.
  virtual std::optional<QVariantMap> createSnapshot() const;
  virtual void loadSnapshot(const QVariantMap& snapshot);

  // The element's archive, {"myName": name}; the chain's manager makes the
  // element back from it.
  QVariantMap encode() const;

 protected:
  // The on/off button; null (an element without panel) keeps it bypassed.
  void setBypassButton(std::shared_ptr<QKButtonCell> button) { bypassButton_ = std::move(button); }
  // Subclasses' hook for a changed panel frame.
  virtual void panelFrameChanged() {}

 private:
  QString myName_;
  FXChain* myChain_ = nullptr;
  FXChainManager* myChainManager_ = nullptr;
  QRectF localFrame_{0, 0, 200, 60};
  QRectF expandedFrame_;
  std::shared_ptr<QKButtonCell> bypassButton_;
  std::atomic<bool> bypass_{true};
  bool collapsed_ = false;
  std::atomic<bool> deleted_{false};
};
