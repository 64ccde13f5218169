#pragma once

#include "framework/media/PageMenuChoice.h"
#include "framework/media/QKFileLoaderClient.h"
#include "framework/toolkit/QKFallThruPopUpButtonCell.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>

#include <memory>

class QAction;
class QKFileLoader;
class QMenu;
struct Notification;

// The page-and-media-bin pop-up as a list cell: its own copy of the file
// loader's menu and the item chosen from it, kept across rebuilds as the
// pop-up buttons keep theirs. Main thread only.
class QKFolderMediaBinListPopUpButtonCell : public QKFallThruPopUpButtonCell,
                                            public QKFileLoaderClient {
  Q_OBJECT
 public:
  explicit QKFolderMediaBinListPopUpButtonCell(QObject* parent = nullptr);
  ~QKFolderMediaBinListPopUpButtonCell() override;

  void awakeFromNib();
  void setFileLoader(QKFileLoader* loader) override { fileLoader_ = loader; }
  void folderMenuDidUpdateNotification(const Notification& notification);
  void updateContents();

  QMenu* localMenu() const { return localMenu_.get(); }
  QAction* selectedItem() const { return selected_; }
  void selectItem(QAction* item) { selected_ = item; }
  QString lastSelectedName() const { return choice_.lastSelectedName(); }
  int lastSelectedTag() const { return choice_.lastSelectedTag(); }

 private:
  QKFileLoader* fileLoader_ = nullptr;
  std::unique_ptr<QMenu> localMenu_;
  QPointer<QAction> selected_;
  PageMenuChoice choice_;
  NotificationObservers menuObservers_;
};
