#pragma once

#include "framework/splitview/TQSplitViewDelegate.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/threading/MutLockArray.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class BehaviorChainListController;
class BehaviorChainManager;
class BehaviorChainTableView;
class BehaviorCreationController;
class BehaviorFXChain;
class FXChainScrollView;
class QKButton;
class QKNSPopUpButton;
class QKPaletteWindow;
class QKTQSplitView;

// One behaviour chain window: its list of chains (which it owns) and, once
// loaded, its palette: the chain list with "+" and "−" on the left, the
// behaviour pop-up over the chain area on the right, in a split view. The
// visible chain's view is the document of the window's scroll view; every
// chain of the list draws in that scroll view.
//
// The list is read by the tick (flag reset) and by lookups from any thread
// under its read lock; it changes on the main thread only. Everything else
// is main-thread only.
class BehaviorChainWindow : public QObject, public QKWindowDelegate, public TQSplitViewDelegate {
  Q_OBJECT
 public:
  using ChainPtr = std::shared_ptr<BehaviorFXChain>;

  static const QString kFirstWindowTitle;  // "Behavior Chains"
  static constexpr int kPaletteStackOrder = 2;

  explicit BehaviorChainWindow(BehaviorChainManager* manager);
  ~BehaviorChainWindow() override;

  // Builds the palette once: the pop-up's behaviours, the chains' scroll
  // view, the normal window level, the chain tables told, the Window menu
  // told. The palette stays hidden until `showWindow`.
  void loadWindow();
  bool windowLoaded() const { return window_ != nullptr; }
  void showWindow();
  QKPaletteWindow* window() const { return window_.get(); }
  // Hides the palette and tells the Window menu it goes.
  void closeWindow();

  // --- The list -------------------------------------------------------------
  // The chain becomes this window's, ends last, is selected and shown.
  void addChainToMyList(const ChainPtr& chain);
  // As addChainToMyList, at `index` (at or past the end: last).
  void insertChainIntoMyList(const ChainPtr& chain, std::size_t index);
  // Moves a listed chain to `index` in one edit of the list.
  bool moveChainInMyList(const ChainPtr& chain, std::size_t index);
  // The chain leaves the list (a visible one stops being shown; an emptied
  // list leaves the scroll view empty). False when it was not listed.
  bool removeChainFromMyList(const ChainPtr& chain);
  std::vector<ChainPtr> chains() const;
  int rowOfChain(const BehaviorFXChain* chain) const;
  ChainPtr chainAtRow(int row) const;
  // Clears every listed chain's "needs evaluation" flag, under the list's
  // read lock (the tick).
  void resetChainEvalFlags();

  // --- Showing ----------------------------------------------------------------
  // Shows another chain in the scroll view (null: none).
  void displayFX(const ChainPtr& chain);
  // Selects the chain's row, which shows it.
  void selectChain(const ChainPtr& chain);
  // The visible chain makes a behaviour by name; nothing without one.
  void createEffectInVisibleChain(const QString& name);
  ChainPtr visibleChain() const { return visibleChain_.lock(); }

  void setWindowTitle(const QString& title);
  QString windowTitle() const { return windowTitle_; }

  BehaviorChainManager* behaviorChainManager() const { return manager_; }
  FXChainScrollView* myScrollView() const;
  BehaviorChainTableView* chainArrayTableView() const;
  BehaviorChainListController* chainListController() const { return chainListController_; }
  BehaviorCreationController* creationListController() const {
    return creationListController_.get();
  }
  QKButton* addButton() const { return addButton_; }
  QKButton* removeButton() const { return removeButton_; }

  // QKWindowDelegate
  std::optional<int> paletteStackOrder() const override { return paletteStackOrder_; }
  void setPaletteStackOrder(int order) { paletteStackOrder_ = order; }
  // TQSplitViewDelegate: the visible chain lays itself out again.
  void didAdjustSubviews(TQSplitView* splitView) override;

 private:
  void buildPalette();
  void adoptChain(BehaviorFXChain& chain);
  void chainListChanged();

  BehaviorChainManager* manager_;
  mutable MutLockArray<ChainPtr> chainArray_;
  std::weak_ptr<BehaviorFXChain> visibleChain_;
  QString windowTitle_;
  int paletteStackOrder_ = kPaletteStackOrder;

  std::unique_ptr<QKPaletteWindow> window_;
  QPointer<FXChainScrollView> myScrollView_;
  QPointer<BehaviorChainTableView> chainArrayTableView_;
  QPointer<QKTQSplitView> splitView_;
  QPointer<QKNSPopUpButton> popUp_;
  QKButton* addButton_ = nullptr;
  QKButton* removeButton_ = nullptr;
  BehaviorChainListController* chainListController_ = nullptr;
  std::unique_ptr<BehaviorCreationController> creationListController_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
