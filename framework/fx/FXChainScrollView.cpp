#include "framework/fx/FXChainScrollView.h"

#include "framework/fx/FXChain.h"

#include <QResizeEvent>

FXChainScrollView::FXChainScrollView(QWidget* parent) : QKScrollView(parent) {
  setWidgetResizable(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

FXChainScrollView::~FXChainScrollView() { handBack(); }

void FXChainScrollView::handBack() {
  if (shownView_ && widget() == shownView_) {
    QWidget* view = takeWidget();
    view->hide();
    view->setParent(nullptr);
  }
  shownView_ = nullptr;
  if (chain_ && chain_->parentScrollView() == this) chain_->setParentScrollView(nullptr);
  chain_ = nullptr;
}

void FXChainScrollView::showChain(FXChain* chain) {
  if (chain == chain_ && (!chain || (shownView_ && widget() == shownView_))) return;
  handBack();
  chain_ = chain;
  if (!chain) return;
  chain->setParentScrollView(this);
  shownView_ = chain->myView();
  setWidget(shownView_);
  shownView_->show();
  chain->resizeChain();
}

void FXChainScrollView::resizeEvent(QResizeEvent* event) {
  QKScrollView::resizeEvent(event);
  if (chain_ && !chain_->deleted()) chain_->resizeChain();
}
