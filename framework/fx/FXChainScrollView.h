#pragma once

#include "framework/toolkit/QKScrollView.h"

#include <QPointer>

class FXChain;

// The scroll view that shows a chain: its document is the chain's view, laid
// out again whenever the visible area changes size. Showing another chain
// hands the previous chain's view back to it (a chain owns its view, so the
// scroll view never deletes one). A window that shows more than the chain
// in one document (the layer window: the source's panel above it) gives
// the chain this scroll view and places the chain's view itself.
//
// Main thread only.
class FXChainScrollView : public QKScrollView {
  Q_OBJECT
 public:
  explicit FXChainScrollView(QWidget* parent = nullptr);
  ~FXChainScrollView() override;

  // Shows `chain` (null: nothing).
  void showChain(FXChain* chain);
  FXChain* shownChain() const { return chain_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void handBack();

  FXChain* chain_ = nullptr;
  QPointer<QWidget> shownView_;
};
