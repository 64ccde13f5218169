#include "framework/controls/QKNSTabView.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKNSTabViewDelegate.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/ControllerFinder.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabBar>

namespace {
const QString kKeyEntry = QStringLiteral("key");
}

QKNSTabView::QKNSTabView(QWidget* parent) : QTabWidget(parent) {
  findController();
  // The buttons stand for the headers: the bar draws nothing, and clicks
  // and wheel turns pass through it to the tab view.
  tabBar()->installEventFilter(this);
  tabBar()->setAttribute(Qt::WA_TransparentForMouseEvents);
  tabBar()->setFocusPolicy(Qt::NoFocus);
  connect(this, &QTabWidget::currentChanged, this, [this] { pushSelectedTabStateToButtons(); });
  createButtonsForTabs();
  pushSelectedTabStateToButtons();
}

QKNSTabView::~QKNSTabView() {
  if (!deleted_) prepareToBeDeleted();
}

void QKNSTabView::prepareToBeDeleted() {
  deleted_ = true;
  target_ = nullptr;
  for (const auto& button : buttonArray_) {
    if (!button) continue;
    button->setDelegate(nullptr);
    button->prepareToBeDeleted();
  }
}

// --- Buttons -----------------------------------------------------------------------

void QKNSTabView::createButtonsForTabs() {
  removeButtons();
  for (int index = 0; index < count(); ++index) buttonArray_.emplace_back(makeButton(index));
  pushSelectedTabStateToButtons();
}

void QKNSTabView::removeButtons() {
  for (const auto& button : buttonArray_) {
    if (!button) continue;
    button->setDelegate(nullptr);
    button->retire();
  }
  buttonArray_.clear();
}

QKButton* QKNSTabView::makeButton(int index) {
  auto* button = new QKButton(this);
  button->setFrame(buttonFrameForTab(index));
  button->setTitle(tabText(index));
  button->setTitle2(tabText(index));
  button->setButtonType(1);
  button->setTriggerOnMain(true);
  button->setDelegate(this);
  button->setTarget(alive_);
  button->setAction([this](QKButtonCell& sender) { buttonUsed(sender); });
  button->show();
  button->raise();
  return button;
}

QRect QKNSTabView::buttonFrameForTab(int index) const {
  const QRect header = tabBar()->tabRect(index).translated(tabBar()->geometry().topLeft());
  return header.adjusted(-kButtonMarginX, -kButtonMarginY, kButtonMarginX, kButtonMarginY);
}

void QKNSTabView::updateButtonPositions() {
  const int shared = std::min(count(), static_cast<int>(buttonArray_.size()));
  for (int index = 0; index < shared; ++index) {
    QKButton* button = buttonArray_[static_cast<size_t>(index)];
    const QRect wanted = buttonFrameForTab(index);
    if (button && button->geometry() != wanted) button->setFrame(wanted);
  }
}

void QKNSTabView::pushSelectedTabStateToButtons() {
  const int selected = selectedTabViewIndex();
  if (selected >= 0) QKButton::lightOnly(buttonArray_, selected);
}

// --- Actions ---------------------------------------------------------------------------

void QKNSTabView::buttonUsed(QKButtonCell& sender) {
  if (deleted_) return;
  const int index = QKButton::indexOfCell(buttonArray_, sender);
  if (index < 0) return;
  if (sender.intValue() == 1)
    selectTabViewItem(index);
  else if (sender.intValue() == 0)
    pushSelectedTabStateToButtons();  // one tab is always selected
  MainThread::post([guard = QPointer<QKNSTabView>(this)] {
    if (guard) guard->bang();
  });
}

void QKNSTabView::bang() {
  if (deleted_ || !target_ || !action_) return;
  action_(*this);
}

void QKNSTabView::selectTabViewItem(int index) {
  if (index < 0 || index >= count()) return;
  if (index != currentIndex()) setCurrentIndex(index);
  pushSelectedTabStateToButtons();
}

int QKNSTabView::selectedTabViewIndex() const { return currentIndex(); }

QString QKNSTabView::tabIdentifier(int index) const {
  const QWidget* page = widget(index);
  if (!page) return {};
  return page->objectName().isEmpty() ? tabText(index) : page->objectName();
}

int QKNSTabView::indexOfTabWithIdentifier(const QString& identifier) const {
  for (int index = 0; index < count(); ++index)
    if (tabIdentifier(index) == identifier) return index;
  return -1;
}

// --- Snapshot ----------------------------------------------------------------------------

QVariantMap QKNSTabView::createSnapshot() const {
  if (buttonArray_.empty()) return {};
  QVariantMap snapshot;
  const int shared = std::min(count(), static_cast<int>(buttonArray_.size()));
  for (int index = 0; index < shared; ++index) {
    const QKButton* button = buttonArray_[static_cast<size_t>(index)];
    const QString identifier = tabIdentifier(index);
    if (!button || identifier.isEmpty()) continue;
    const QVariantMap entry = button->createSnapshot();
    if (!entry.isEmpty()) snapshot.insert(identifier, entry);
  }
  if (!key_.isEmpty()) snapshot.insert(kKeyEntry, key_);
  return snapshot;
}

void QKNSTabView::loadSnapshot(const QVariantMap& snapshot) {
  QKButton* selected = nullptr;
  for (auto entry = snapshot.cbegin(); entry != snapshot.cend(); ++entry) {
    const int index = indexOfTabWithIdentifier(entry.key());
    if (index < 0 || index >= static_cast<int>(buttonArray_.size())) continue;
    QKButton* button = buttonArray_[static_cast<size_t>(index)];
    if (!button || entry.value().typeId() != QMetaType::QVariantMap) continue;
    button->loadSnapshot(entry.value().toMap(), false);
    if (button->intValue() == 1) selected = button;
  }
  if (selected) selected->bang();
}

// --- Change notices ----------------------------------------------------------------------------

void QKNSTabView::QKButtonSyncFlagChanged(QKButtonCell&) { paramSnapUpdated(); }
void QKNSTabView::QKButtonUIStateChanged(QKButtonCell&) { paramSnapUpdated(); }
void QKNSTabView::QKButtonThreshValChanged(QKButtonCell&) { paramSnapUpdated(); }

void QKNSTabView::paramSnapUpdated() {
  if (!MainThread::isMainThread()) {
    MainThread::post([guard = QPointer<QKNSTabView>(this)] {
      if (guard) guard->paramSnapUpdated();
    });
    return;
  }
  if (!deleted_ && delegate_) delegate_->tabViewElementChanged(*this);
}

// --- Events ----------------------------------------------------------------------------------

bool QKNSTabView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabBar()) {
    switch (event->type()) {
      case QEvent::Paint:
        return true;
      case QEvent::Move:
      case QEvent::Resize:
        updateButtonPositions();
        break;
      default:
        break;
    }
  }
  return QTabWidget::eventFilter(watched, event);
}

void QKNSTabView::resizeEvent(QResizeEvent* event) {
  QTabWidget::resizeEvent(event);
  updateButtonPositions();
}

void QKNSTabView::showEvent(QShowEvent* event) {
  QTabWidget::showEvent(event);
  updateButtonPositions();
}

bool QKNSTabView::findController() {
  if (!controller_) findDataSourceController(this);
  return controller_ != nullptr;
}

void QKNSTabView::deselectEverything() {
  if (!controller_) {
    Log::line("\t\terror: dataSourceController is NIL");
    if (!findController()) return;
  }
  controller_->deselectEverything();
}

void QKNSTabView::mousePressEvent(QMouseEvent* event) {
  event->accept();
  deselectEverything();
}

void QKNSTabView::focusInEvent(QFocusEvent* event) {
  deselectEverything();
  QTabWidget::focusInEvent(event);
}

void QKNSTabView::keyPressEvent(QKeyEvent* event) { forwardKey(event); }

void QKNSTabView::keyReleaseEvent(QKeyEvent* event) { forwardKey(event); }

void QKNSTabView::forwardKey(QKeyEvent* event) {
  event->accept();
  if (!controller_) {
    Log::line("\t\terror: dataSourceController is NIL");
    if (!findController()) return;
  }
  controller_->keyDown(event);
}
