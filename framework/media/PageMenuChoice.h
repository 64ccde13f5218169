#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>

class QMenu;
class QAction;

// What a page pop-up remembers of its choice across rebuilds of its menu:
// the page by its ID (the tag), or a followed media bin by its title. Shared
// by the pop-up buttons and the pop-up cell.
class PageMenuChoice {
 public:
  // Before a rebuild: the item chosen now (null: none), then the title
  // adjusted by the rebuild's reason ("deleteFolder", "changeFolderName",
  // and with `followsMediaBins` "changePluginName").
  void remember(const QAction* selected, const QVariantMap& reason, bool followsMediaBins);
  // After a rebuild: the item of `menu` to choose (the first when the
  // remembered one is gone; the title is then forgotten).
  QAction* choose(const QMenu* menu);

  QString lastSelectedName() const { return lastSelectedName_; }
  int lastSelectedTag() const { return lastSelectedTag_; }

 private:
  QString lastSelectedName_;
  int lastSelectedTag_ = -2;
};
