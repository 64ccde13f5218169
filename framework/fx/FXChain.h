#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <mutex>
#include <vector>

class FXChainDragDestBox;
class FXChainManager;
class FXObject;
class QWidget;

// An ordered chain of processing elements through which one object is
// passed, element after element (index 0 first). The base of behaviour
// chains (a slider cell passed on the tick) and of layer effect chains (a
// layer's buffers passed on the render thread).
//
// Lock: every edit of the array and every pass hold the chain's lock
// (`lockForRender`, recursive), so an edit never changes the array while a
// pass walks it, and an element leaves the chain only when no pass holds
// it. A pass blocks at most for the length of an edit's array change; an
// element is prepared for deletion and released after the lock is let go.
// Lock order: whatever the passing thread holds first (a slider's state
// lock, the compositor's render lock), then this lock; elements' own locks
// after it. Nothing posts a notification under it.
//
// Editing, layout and snapshots run on the main thread. The chain's view
// (made at the first call of `myView`) holds the drop box, which holds the
// panels of the elements in the chain; a panel leaves the box when its
// element leaves the chain.
class FXChain {
 public:
  using Element = std::shared_ptr<FXObject>;

  static const QString kNameKey;         // "fxNameString"
  static const QString kFrameHeightKey;  // "frameHeight"

  explicit FXChain(FXChainManager* manager, QAbstractScrollArea* scrollView = nullptr);
  virtual ~FXChain();
  FXChain(const FXChain&) = delete;
  FXChain& operator=(const FXChain&) = delete;

  // --- Edits (main thread) ---------------------------------------------
  // A new element from the manager, not yet in the chain.
  Element returnNewEffectNamed(const QString& name);
  // Makes and appends; a name the manager cannot make adds nothing.
  void loadEffectNamed(const QString& name);
  void addEffectObject(const Element& element);
  // An index at or beyond the count appends.
  virtual void insertEffectObject(const Element& element, unsigned index);
  // Inserts the element archived in `data` (a property list {"myName"});
  // false, logged, when it is not one or names nothing the manager makes.
  virtual bool insertEffectData(const QByteArray& data, unsigned index);
  virtual void deleteThisEffect(FXObject* element);
  // Deletes the first element of that name.
  virtual void deleteEffectNamed(const QString& name);
  void deleteAllEffects();
  // Takes the element out without deleting it (it moves to another chain).
  virtual Element removeEffectFromChain(FXObject* element);
  // Moves an element of this chain to `index` (an index at or beyond the
  // count moves it to the end).
  virtual void moveEffect(FXObject* element, unsigned index);
  // The element's index, -1 when it is not in the chain.
  int indexOf(const FXObject* element) const;

  Element findEffectNamed(const QString& name) const;
  Element fromEndFindEffectNamed(const QString& name) const;
  // A copy of the elements in order.
  std::vector<Element> fxArray() const;
  // The elements themselves, for a caller holding the chain's lock (a pass).
  const std::vector<Element>& lockedFxArray() const { return fxArray_; }
  int count() const;

  // --- Processing (the chain's processing thread) ------------------------
  // Every element's `processPassedPtr` in order, under the chain's lock.
  void passPtrThruChain(void* passed);

  void lockForRender() { lock_.lock(); }
  bool tryLockForRender() { return lock_.try_lock(); }
  void unlockRender() { lock_.unlock(); }

  // --- Snapshots (main thread) -------------------------------------------
  // One entry per element that gives a snapshot: its snapshot with
  // "fxNameString" and "frameHeight".
  virtual QVariantList createSnapshot() const;
  // The differential restore: elements whose names stay keep their objects;
  // only the difference is made or deleted. The k-th entry of a name loads
  // into the k-th element of that name. Anything but an array changes
  // nothing; entries without a string "fxNameString" are skipped.
  virtual void loadSnapshot(const QVariant& snapshot);

  // --- Layout (main thread) ------------------------------------------------
  void resizeChain();
  QRectF viewFrame() const { return viewFrame_; }
  QRectF boxFrame() const { return boxFrame_; }
  // The view a scroll view shows (made at the first call) and its drop box.
  QWidget* myView();
  FXChainDragDestBox* backgroundBox();
  QAbstractScrollArea* parentScrollView() const { return parentScrollView_; }
  void setParentScrollView(QAbstractScrollArea* scrollView) { parentScrollView_ = scrollView; }

  QString chainName() const { return chainName_; }
  void setChainName(const QString& name) { chainName_ = name; }
  FXChainManager* chainManager() const { return chainManager_; }

  virtual void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

 protected:
  // The name an element goes by in snapshots (its `myName`).
  virtual QString snapshotNameOf(const FXObject& element) const;
  // The form of a name that finds an element (the name itself).
  virtual QString matchKey(const QString& name) const { return name; }
  // Makes the element a snapshot entry names (through the manager).
  virtual Element makeEffectForSnapshotName(const QString& name);
  // Called before an element joins the chain (main thread, no lock held).
  virtual void effectWillBeInserted(FXObject& element) { (void)element; }
  // Called after an edit that changed the chain, with no lock held.
  virtual void chainChanged() {}

  // Removes elements under the lock and releases them after it.
  void releaseRemoved(std::vector<Element>& removed);
  // Takes the chain's view out of its scroll view and deletes it (main
  // thread), so that a last release elsewhere touches no widget.
  void releaseView();

 private:
  void adopt(FXObject& element);
  void showPanel(FXObject& element);
  void hidePanel(FXObject& element);
  void placeViews();
  int indexOfLocked(const FXObject* element) const;
  int indexOfNamedLocked(const QString& key, bool fromEnd) const;

  mutable std::recursive_mutex lock_;
  std::vector<Element> fxArray_;  // under lock_
  FXChainManager* chainManager_;
  QPointer<QAbstractScrollArea> parentScrollView_;
  QString chainName_ = QStringLiteral("Untitled");
  QRectF viewFrame_;
  QRectF boxFrame_;
  QPointer<QWidget> view_;
  QPointer<FXChainDragDestBox> box_;
  bool deleted_ = false;
};
