#include "framework/media/QKFolderMediaBinListPopUpButtonCell.h"

#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFileLoader.h"

#include <QMenu>

QKFolderMediaBinListPopUpButtonCell::QKFolderMediaBinListPopUpButtonCell(QObject* parent)
    : QKFallThruPopUpButtonCell(parent) {}

QKFolderMediaBinListPopUpButtonCell::~QKFolderMediaBinListPopUpButtonCell() {
  menuObservers_.clear();
}

void QKFolderMediaBinListPopUpButtonCell::awakeFromNib() {
  fileLoader_ = nullptr;
  localMenu_.reset();
  NotificationCenter::defaultCenter().post(MediaNotifications::kFindFileLoader,
                                           static_cast<QKFileLoaderClient*>(this));
  if (fileLoader_) updateContents();
  menuObservers_.clear();
  menuObservers_.observe(
      MediaNotifications::kFolderListMenuUpdated, nullptr,
      [this](const Notification& note) { folderMenuDidUpdateNotification(note); });
}

void QKFolderMediaBinListPopUpButtonCell::folderMenuDidUpdateNotification(
    const Notification& notification) {
  choice_.remember(selected_, notification.userInfo, true);
  updateContents();
}

void QKFolderMediaBinListPopUpButtonCell::updateContents() {
  if (!fileLoader_) return;
  localMenu_.reset(fileLoader_->folderAndMediaBinListMenu().toMenu());
  selected_ = choice_.choose(localMenu_.get());
}
