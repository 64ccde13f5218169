#pragma once

#include "framework/toolkit/PopUpPicture.h"
#include "platform/foundation/NotificationObservers.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <functional>

// The themed pop-up button: a menu (with submenus to any depth) and the item
// chosen from it, drawn from the pop-up colour dictionary; a click opens the
// menu under the button, and choosing an item (in a submenu too) selects it
// and emits `activated`. Items are the menu's actions; an item's tag is set
// with setTag. "Not found" indexes are −1. Follows
// "QKRedrawPopUpsNotification". Main thread only.
class QKNSPopUpButton : public QWidget {
  Q_OBJECT
 public:
  static const QString kRedrawNotification;  // "QKRedrawPopUpsNotification"

  explicit QKNSPopUpButton(QWidget* parent = nullptr);
  ~QKNSPopUpButton() override;

  // The button takes the menu (null: an empty one); the selection is cleared.
  void setMenu(QMenu* menu);
  QMenu* menu() const { return menu_; }
  QAction* addItemWithTitle(const QString& title);
  void removeAllItems();

  // Top-level items by index; −1 or an index out of range selects nothing.
  void selectItemAtIndex(int index);
  // The first item, depth first through the submenus, with that title or tag
  // (an entry that opens a submenu is not an item).
  void selectItemWithTitle(const QString& title);
  void selectItemWithTag(int tag);
  // An item of the menu or of its submenus; anything else selects nothing.
  void selectItem(QAction* item);
  QAction* selectedItem() const { return selected_; }
  // −1 when nothing or an item inside a submenu is selected.
  int indexOfSelectedItem() const;
  QString titleOfSelectedItem() const;

  static void setTag(QAction* item, int tag);
  static int tag(const QAction* item);  // 0 when none was set

  // How many times the cached shapes were built (a size change rebuilds).
  int pathBuilds() const { return pathBuilds_; }

 Q_SIGNALS:
  void activated(QAction* item);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QAction* findItem(const std::function<bool(QAction*)>& matches) const;
  void chosen(QAction* item);

  QPointer<QMenu> menu_;
  QPointer<QAction> selected_;
  QSizeF lastRenderedSize_;
  PopUpPicture::Paths paths_;
  int pathBuilds_ = 0;
  // Last: removed first when the button goes.
  NotificationObservers observers_;
};
