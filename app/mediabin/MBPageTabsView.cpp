#include "app/mediabin/MBPageTabsView.h"

#include "app/mediabin/MBMediaBin.h"
#include "app/mediabin/MBPageButton.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

const QString MBPageTabsView::kSnapshotKey = QStringLiteral("pageTabsView");
const QString MBPageTabsView::kPageTabsArrayKey = QStringLiteral("pageTabsArray");
const QString MBPageTabsView::kNoPagesVisible = QStringLiteral("No Pages Visible");

namespace {
const QString kVisiblePagesChanged = QStringLiteral("QKMBVisiblePagesChangedNotification");
const QString kPageListChanged = QStringLiteral("QKMBPageListChangedNotification");
}  // namespace

MBPageTabsView::MBPageTabsView(MBMediaBin* bin, MBTriggerListenersController* listeners,
                               QWidget* parent)
    : QWidget(parent), bin_(bin), listeners_(listeners) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  for (const QString& name : {kPageListChanged, kVisiblePagesChanged})
    observers_.observe(name, nullptr, [this](const Notification& n) {
      visiblePagesChanged(n.userInfo, n.object);
    });
}

MBPageTabsView::~MBPageTabsView() { prepareToBeDeleted(); }

void MBPageTabsView::awakeFromNib() { reloadPageButtons(); }

// On the posting thread: only the notification is read here.
void MBPageTabsView::visiblePagesChanged(const QVariantMap& userInfo, const void* object) {
  if (object == this) return;
  if (userInfo.value(QStringLiteral("Reason")).toString() == QLatin1String("SelectedFilesChanged"))
    return;
  const std::weak_ptr<int> alive = alive_;
  auto reload = [this, alive] {
    if (!alive.lock() || deleted_) return;
    reloadPageButtons();
    updateButtonStates();
    update();
  };
  if (MainThread::isMainThread())
    reload();
  else
    MainThread::coalesce(this, reload);
}

QString MBPageTabsView::pageName(long pageId) const {
  QKPageController* pages = bin_->pageController();
  if (!pages) return {};
  RWTryLock::ReadGuard guard(pages->pagesLock());
  const auto page = pages->lockedPageForUniqueId(pageId);
  return page ? page->name() : QString();
}

MBPageButton* MBPageTabsView::makeTab() {
  return MBPageButton::createWithFrame(QRectF(10, 10, std::max(1, width() - 25), 30), this);
}

void MBPageTabsView::setUpTab(MBPageButton* tab) {
  const QString name = pageName(tab->pageId());
  tab->setTitle(name);
  tab->setTitle2(name);
  tab->setButtonType(1);
  tab->setTriggerMode(1);
  tab->setTarget(alive_);
  tab->setTriggerOnMain(true);
  tab->setAction([this](QKButtonCell& sender) {
    pageButtonUsed(static_cast<MBPageButtonCell&>(sender).pageId());
  });
  tab->show();
  tab->awakeFromNib();
}

MBPageButton* MBPageTabsView::findButtonWithPageId(long pageId) const {
  for (const auto& tab : pageTabsArray_)
    if (tab && tab->pageId() == pageId) return tab;
  return nullptr;
}

void MBPageTabsView::reloadPageButtons() {
  if (deleted_) return;
  std::vector<QPointer<MBPageButton>> tabs;
  for (long id : bin_->visiblePageIds()) {
    if (MBPageButton* tab = findButtonWithPageId(id)) {
      const QString name = pageName(id);
      tab->setTitle(name);
      tab->setTitle2(name);
      tabs.push_back(tab);
      std::erase(pageTabsArray_, QPointer<MBPageButton>(tab));
    } else {
      MBPageButton* made = makeTab();
      made->setPageId(id);
      setUpTab(made);
      tabs.push_back(made);
    }
  }
  for (const auto& gone : pageTabsArray_)
    if (gone) gone->retire();
  pageTabsArray_ = std::move(tabs);
  resizePageButtons();
  update();
}

double MBPageTabsView::tabWidth(double width, int count) {
  if (count <= 0) return 0;
  return std::clamp(width / count, kMinTabWidth, kMaxTabWidth);
}

void MBPageTabsView::resizePageButtons() {
  const int count = int(pageTabsArray_.size());
  if (count == 0) return;
  const double w = tabWidth(width(), count);
  for (int i = 0; i < count; ++i)
    if (MBPageButton* tab = pageTabsArray_[size_t(i)])
      tab->setFrame(QRectF(i * w, 0, w, std::max(1, height() - 1)));
}

void MBPageTabsView::pageButtonUsed(long pageId) {
  if (deleted_) return;
  bin_->setPageExpanded(pageId, true);
  bin_->setCurrentPageId(pageId);
  NotificationCenter::defaultCenter().post(
      kVisiblePagesChanged, this,
      {{QStringLiteral("BinId"), qint64(bin_->uniqueID())},
       {QStringLiteral("PageId"), qint64(pageId)},
       {QStringLiteral("Reason"), QStringLiteral("ExpandedStateChanged")}});
  if (listeners_) listeners_->setTranspose(0);
  updateButtonStates();
}

void MBPageTabsView::updateButtonStates() {
  const long current = bin_->currentPageId();
  for (const auto& tab : pageTabsArray_)
    if (tab) tab->setIntValue(tab->pageId() == current ? 1 : 0, false);
}

void MBPageTabsView::addButtonWithSnapshot(const QVariantMap& snapshot) {
  if (snapshot.isEmpty()) return;
  MBPageButton* tab = makeTab();
  pageTabsArray_.push_back(tab);
  tab->cell()->loadSnapshot(snapshot, true);
  setUpTab(tab);
}

void MBPageTabsView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  resizePageButtons();
  update();
}

void MBPageTabsView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  QColor fill = QColor::fromRgbF(0.17f, 0.17f, 0.17f);
  for (QWidget* up = parentWidget(); up; up = up->parentWidget())
    if (auto* content = qobject_cast<QKWindowContentView*>(up)) {
      fill = content->backgroundColor();
      break;
    }
  painter.fillRect(rect(), fill);
  if (!pageTabsArray_.empty()) return;
  const QVariantMap attributes = ThemeDict::labelColors();
  QColor color = ThemeDict::color(attributes, InterfaceColorScheme::kForegroundColorAttribute);
  painter.setPen(color.isValid() ? color : QColor(Qt::white));
  painter.setFont(ThemeDict::font(attributes, InterfaceColorScheme::kFontAttribute, font()));
  const QRect area = event->rect();
  painter.drawText(area.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, kNoPagesVisible);
}

QVariantMap MBPageTabsView::createSnapshot() const {
  QVariantList tabs;
  for (const auto& tab : pageTabsArray_)
    if (tab) tabs << tab->cell()->createSnapshot();
  QVariantMap snapshot;
  if (!tabs.isEmpty()) snapshot.insert(kPageTabsArrayKey, tabs);
  return snapshot;
}

void MBPageTabsView::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_) return;
  if (snapshot.contains(kPageTabsArrayKey)) {
    for (const auto& tab : pageTabsArray_)
      if (tab) tab->retire();
    pageTabsArray_.clear();
    for (const QVariant& entry : snapshot.value(kPageTabsArrayKey).toList())
      if (entry.typeId() == QMetaType::QVariantMap) addButtonWithSnapshot(entry.toMap());
  }
  reloadPageButtons();
  updateButtonStates();
  update();
}

void MBPageTabsView::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  for (const auto& tab : pageTabsArray_)
    if (tab) {
      tab->prepareToBeDeleted();
      tab->hide();
    }
}
