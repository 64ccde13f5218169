#include "framework/media/QKNSFolderListPopUpButton.h"

#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFileLoader.h"

#include <QMenu>

QKNSFolderListPopUpButton::QKNSFolderListPopUpButton(QWidget* parent) : QKNSPopUpButton(parent) {}

QKNSFolderListPopUpButton::~QKNSFolderListPopUpButton() { menuObservers_.clear(); }

void QKNSFolderListPopUpButton::awakeFromNib() {
  fileLoader_ = nullptr;
  NotificationCenter::defaultCenter().post(MediaNotifications::kFindFileLoader,
                                           static_cast<QKFileLoaderClient*>(this));
  if (fileLoader_) updateContents();
  menuObservers_.clear();
  menuObservers_.observe(
      MediaNotifications::kFolderListMenuUpdated, nullptr,
      [this](const Notification& note) { folderMenuDidUpdateNotification(note); });
}

const QKPageListMenu* QKNSFolderListPopUpButton::loaderMenu() const {
  return fileLoader_ ? &fileLoader_->folderListMenu() : nullptr;
}

void QKNSFolderListPopUpButton::folderMenuDidUpdateNotification(const Notification& notification) {
  choice_.remember(selectedItem(), notification.userInfo, followsMediaBins());
  updateContents();
}

void QKNSFolderListPopUpButton::updateContents() {
  const QKPageListMenu* source = loaderMenu();
  if (!source) return;
  setMenu(source->toMenu(this));
  selectItem(choice_.choose(menu()));
}
