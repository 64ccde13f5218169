#include "framework/toolkit/QKNSPopUpButton.h"

#include "framework/toolkit/ThemeDict.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <functional>

const QString QKNSPopUpButton::kRedrawNotification = QStringLiteral("QKRedrawPopUpsNotification");

namespace {

const char kTagProperty[] = "qkTag";

// Depth first through the submenus; only items without a submenu count.
QAction* findIn(const QMenu* menu, const std::function<bool(QAction*)>& matches) {
  if (!menu) return nullptr;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    if (action->menu()) {
      if (QAction* found = findIn(action->menu(), matches)) return found;
    } else if (matches(action)) {
      return action;
    }
  }
  return nullptr;
}

}  // namespace

QKNSPopUpButton::QKNSPopUpButton(QWidget* parent) : QWidget(parent) {
  setMenu(nullptr);
  observers_.observe(kRedrawNotification, nullptr, [this](const Notification&) { update(); });
}

QKNSPopUpButton::~QKNSPopUpButton() = default;

void QKNSPopUpButton::setMenu(QMenu* menu) {
  if (menu_ && menu_ != menu) menu_->deleteLater();
  menu_ = menu ? menu : new QMenu(this);
  menu_->setParent(this, menu_->windowFlags());
  connect(menu_, &QMenu::triggered, this, &QKNSPopUpButton::chosen, Qt::UniqueConnection);
  selected_ = nullptr;
  update();
}

QAction* QKNSPopUpButton::addItemWithTitle(const QString& title) {
  QAction* item = menu_->addAction(title);
  if (!selected_) selectItem(item);
  return item;
}

void QKNSPopUpButton::removeAllItems() {
  menu_->clear();
  selected_ = nullptr;
  update();
}

void QKNSPopUpButton::selectItemAtIndex(int index) {
  const QList<QAction*> items = menu_->actions();
  selectItem(index >= 0 && index < items.size() ? items.at(index) : nullptr);
}

void QKNSPopUpButton::selectItemWithTitle(const QString& title) {
  selectItem(findItem([&](QAction* item) { return item->text() == title; }));
}

void QKNSPopUpButton::selectItemWithTag(int wanted) {
  selectItem(findItem([&](QAction* item) { return tag(item) == wanted; }));
}

void QKNSPopUpButton::selectItem(QAction* item) {
  if (item && !findItem([item](QAction* candidate) { return candidate == item; })) item = nullptr;
  selected_ = item;
  update();
}

int QKNSPopUpButton::indexOfSelectedItem() const {
  return selected_ ? static_cast<int>(menu_->actions().indexOf(selected_.data())) : -1;
}

QString QKNSPopUpButton::titleOfSelectedItem() const {
  return selected_ ? selected_->text() : QString();
}

void QKNSPopUpButton::setTag(QAction* item, int tag) {
  if (item) item->setProperty(kTagProperty, tag);
}

int QKNSPopUpButton::tag(const QAction* item) {
  return item ? item->property(kTagProperty).toInt() : 0;
}

QAction* QKNSPopUpButton::findItem(const std::function<bool(QAction*)>& matches) const {
  return findIn(menu_, matches);
}

void QKNSPopUpButton::chosen(QAction* item) {
  if (item->menu()) return;  // a submenu's own entry
  selectItem(item);
  if (selected_) Q_EMIT activated(item);
}

// The shapes are rebuilt only when the size changes.
void QKNSPopUpButton::paintEvent(QPaintEvent*) {
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  if (r.size() != lastRenderedSize_) {
    lastRenderedSize_ = r.size();
    paths_ = PopUpPicture::buildPaths(r);
    ++pathBuilds_;
  }
  const double h = r.height();
  const double side = (h - 10) / 2;
  const QPointF at(4, (h - 10) / 2 - 1);
  QImage image;
  if (selected_ && !selected_->icon().isNull()) {
    const QList<QSize> sizes = selected_->icon().availableSizes();
    if (!sizes.isEmpty()) image = selected_->icon().pixmap(sizes.first()).toImage();
  }
  QPainter painter(this);
  PopUpPicture::draw(painter, paths_, ThemeDict::popUpColors(), titleOfSelectedItem(), at, image,
                     QRectF(at, QSizeF(side, side)));
}

void QKNSPopUpButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || menu_->isEmpty()) return QWidget::mousePressEvent(event);
  menu_->popup(mapToGlobal(QPoint(0, height())), selected_);
  event->accept();
}
