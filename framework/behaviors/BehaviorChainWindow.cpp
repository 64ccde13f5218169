#include "framework/behaviors/BehaviorChainWindow.h"

#include "framework/behaviors/BehaviorChainListController.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorChainTableView.h"
#include "framework/behaviors/BehaviorCreationController.h"
#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/controls/QKButton.h"
#include "framework/fx/FXChainScrollView.h"
#include "framework/splitview/QKTQSplitView.h"
#include "framework/splitview/TQSplitSubview.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"

#include <QHBoxLayout>
#include <QImage>
#include <QItemSelectionModel>
#include <QVBoxLayout>

const QString BehaviorChainWindow::kFirstWindowTitle = QStringLiteral("Behavior Chains");

namespace {

// The palette's default frame (bottom-left screen coordinates).
const QRectF kDefaultFrame(0, 247, 260, 193);
constexpr int kListWidth = 92;

}  // namespace

BehaviorChainWindow::BehaviorChainWindow(BehaviorChainManager* manager) : manager_(manager) {}

BehaviorChainWindow::~BehaviorChainWindow() {
  closeWindow();
  for (const ChainPtr& chain : chains())
    if (chain->myBehaviorChainWindow() == this) chain->setMyBehaviorChainWindow(nullptr);
  chainArray_.lockRemoveAllObjects();
  creationListController_.reset();
  window_.reset();
}

FXChainScrollView* BehaviorChainWindow::myScrollView() const { return myScrollView_; }

BehaviorChainTableView* BehaviorChainWindow::chainArrayTableView() const {
  return chainArrayTableView_;
}

// --- The palette -------------------------------------------------------------------

void BehaviorChainWindow::loadWindow() {
  if (window_) return;
  buildPalette();
  creationListController_->populateCreationArray();
  for (const ChainPtr& chain : chains()) adoptChain(*chain);
  window_->awakeFromNib();
  chainListChanged();
  if (const ChainPtr shown = visibleChain()) {
    visibleChain_.reset();
    selectChain(shown);
  }
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
}

void BehaviorChainWindow::buildPalette() {
  window_ = std::make_unique<QKPaletteWindow>(kDefaultFrame);
  // A chain window sits among the ordinary windows, not above them.
  window_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  auto* content = new QKWindowContentView;
  window_->setContentView(content);
  window_->setTitle(windowTitle_.isEmpty() ? kFirstWindowTitle : windowTitle_);
  window_->setDelegate(this);
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  // The split view's panes take every press (a background drag moves the
  // window), so they leave the resize corner's strip free.
  column->setContentsMargins(0, 0, 0, PaletteGeometry::kResizeCornerRoom);

  QImage divider(4, 4, QImage::Format_ARGB32_Premultiplied);
  divider.fill(QColor(70, 70, 70));
  splitView_ = new QKTQSplitView(QRectF(0, 0, kDefaultFrame.width(), 174), body);
  splitView_->setVertical(true);
  splitView_->setDivider(divider);
  splitView_->setUseCustomDividerColor(true);
  splitView_->setDelegate(this);

  auto* listPane = new QWidget;
  listPane->setGeometry(0, 0, kListWidth, 174);
  auto* listColumn = new QVBoxLayout(listPane);
  listColumn->setContentsMargins(2, 2, 2, 2);
  listColumn->setSpacing(2);
  chainArrayTableView_ = new BehaviorChainTableView(listPane);
  chainListController_ = new BehaviorChainListController(this, chainArrayTableView_);
  chainArrayTableView_->setModel(chainListController_);
  chainArrayTableView_->setDeleteDelegate(chainListController_);
  QObject::connect(chainArrayTableView_->selectionModel(), &QItemSelectionModel::selectionChanged,
                   chainListController_,
                   [this] { chainListController_->tableViewSelectionDidChange(); });
  listColumn->addWidget(chainArrayTableView_, 1);
  auto* buttons = new QHBoxLayout;
  auto makeButton = [this, listPane](const QString& title,
                                     void (BehaviorChainListController::*act)()) {
    auto* button = new QKButton(listPane);
    button->setTitle(title);
    button->setTitle2(title);
    button->setTriggerOnMain(true);
    button->setTarget(alive_);
    button->setAction([this, act](QKButtonCell&) { (chainListController_->*act)(); });
    button->setFixedSize(20, 16);
    return button;
  };
  addButton_ = makeButton(QStringLiteral("+"), &BehaviorChainListController::createNewChainAction);
  removeButton_ =
      makeButton(QStringLiteral("\u2212"), &BehaviorChainListController::deleteSelectedChain);
  buttons->addWidget(addButton_);
  buttons->addWidget(removeButton_);
  buttons->addStretch(1);
  listColumn->addLayout(buttons);
  splitView_->addSubview(listPane);

  auto* chainPane = new QWidget;
  chainPane->setGeometry(0, 0, int(kDefaultFrame.width()) - kListWidth, 174);
  auto* chainColumn = new QVBoxLayout(chainPane);
  chainColumn->setContentsMargins(2, 2, 2, 2);
  chainColumn->setSpacing(2);
  popUp_ = new QKNSPopUpButton(chainPane);
  popUp_->setFixedHeight(18);
  chainColumn->addWidget(popUp_);
  myScrollView_ = new FXChainScrollView(chainPane);
  myScrollView_->viewport()->setAutoFillBackground(true);
  chainColumn->addWidget(myScrollView_, 1);
  splitView_->addSubview(chainPane);
  column->addWidget(splitView_, 1);
  splitView_->adjustSubviews();

  creationListController_ = std::make_unique<BehaviorCreationController>(this, popUp_);
}

void BehaviorChainWindow::showWindow() {
  if (!window_) return;
  window_->show();
  window_->raise();
}

void BehaviorChainWindow::closeWindow() {
  if (!window_ || window_->deleted()) return;
  if (const ChainPtr shown = visibleChain(); shown && myScrollView_)
    myScrollView_->showChain(nullptr);
  window_->hide();
  window_->prepareToBeDeleted();
}

// --- The list --------------------------------------------------------------------

void BehaviorChainWindow::adoptChain(BehaviorFXChain& chain) {
  chain.setMyBehaviorChainWindow(this);
  if (myScrollView_) chain.setParentScrollView(myScrollView_);
}

void BehaviorChainWindow::addChainToMyList(const ChainPtr& chain) {
  insertChainIntoMyList(chain, static_cast<std::size_t>(-1));
}

void BehaviorChainWindow::insertChainIntoMyList(const ChainPtr& chain, std::size_t index) {
  if (!chain) return;
  adoptChain(*chain);
  chainArray_.lockInsertObject(chain, index);
  chain->updateEvaluateConsistently();
  chainListChanged();
  selectChain(chain);
}

bool BehaviorChainWindow::moveChainInMyList(const ChainPtr& chain, std::size_t index) {
  if (!chainArray_.wrlock()) return false;
  std::vector<ChainPtr>& list = chainArray_.mutableArray();
  const auto found = std::find(list.begin(), list.end(), chain);
  const bool listed = found != list.end();
  if (listed) {
    list.erase(found);
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(index, list.size())), chain);
  }
  chainArray_.unlock();
  if (!listed) return false;
  chain->updateEvaluateConsistently();
  chainListChanged();
  selectChain(chain);
  return true;
}

bool BehaviorChainWindow::removeChainFromMyList(const ChainPtr& chain) {
  if (!chain || rowOfChain(chain.get()) < 0) return false;
  chainArray_.lockRemoveIdenticalPtr(chain.get());
  if (visibleChain() == chain) displayFX(nullptr);
  if (chain->myBehaviorChainWindow() == this) chain->setMyBehaviorChainWindow(nullptr);
  if (myScrollView_ && chain->parentScrollView() == myScrollView_)
    chain->setParentScrollView(nullptr);
  chain->updateEvaluateConsistently();
  if (chainArray_.lockCount() == 0 && myScrollView_) myScrollView_->showChain(nullptr);
  chainListChanged();
  return true;
}

std::vector<BehaviorChainWindow::ChainPtr> BehaviorChainWindow::chains() const {
  return chainArray_.lockCopy();
}

int BehaviorChainWindow::rowOfChain(const BehaviorFXChain* chain) const {
  const std::vector<ChainPtr> list = chains();
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == chain) return static_cast<int>(i);
  return -1;
}

BehaviorChainWindow::ChainPtr BehaviorChainWindow::chainAtRow(int row) const {
  if (row < 0) return nullptr;
  return chainArray_.lockObjectAtIndex(static_cast<std::size_t>(row)).value_or(nullptr);
}

void BehaviorChainWindow::resetChainEvalFlags() {
  chainArray_.lockMakeObjectsPerform([](const ChainPtr& chain) {
    if (chain->needsEvaluation()) chain->setNeedsEvaluation(false);
  });
}

void BehaviorChainWindow::chainListChanged() {
  if (chainListController_) chainListController_->reloadData();
}

// --- Showing -------------------------------------------------------------------------

void BehaviorChainWindow::displayFX(const ChainPtr& chain) {
  const ChainPtr shown = visibleChain();
  if (chain == shown && (!chain || !myScrollView_ || myScrollView_->shownChain() == chain.get()))
    return;
  if (shown) shown->clearTrackingRects();
  visibleChain_ = chain;
  if (myScrollView_) myScrollView_->showChain(chain.get());
  if (!chain) return;
  chain->resizeChain();
  chain->resetTrackingRects();
}

void BehaviorChainWindow::selectChain(const ChainPtr& chain) {
  const int row = rowOfChain(chain.get());
  if (row < 0) return;
  if (!chainArrayTableView_) {
    visibleChain_ = chain;
    return;
  }
  chainArrayTableView_->selectRow(row);
  chainArrayTableView_->scrollTo(chainListController_->index(row, 0));
  displayFX(chain);
}

void BehaviorChainWindow::createEffectInVisibleChain(const QString& name) {
  if (const ChainPtr chain = visibleChain()) chain->loadEffectNamed(name);
}

void BehaviorChainWindow::setWindowTitle(const QString& title) {
  if (title.isNull()) return;
  windowTitle_ = title;
  if (window_) window_->setTitle(title);
}

void BehaviorChainWindow::didAdjustSubviews(TQSplitView*) {
  if (const ChainPtr chain = visibleChain()) chain->resizeChain();
}
