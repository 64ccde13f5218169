#pragma once

#include "framework/media/QKNSFolderListPopUpButton.h"

// A page pop-up that may also follow a media bin window (the destination is
// then the page that bin shows): "<none>", the media bins by title, then
// the pages. A followed bin is kept by its title, across its renaming.
class QKNSFolderMediaBinListPopUpButton : public QKNSFolderListPopUpButton {
  Q_OBJECT
 public:
  using QKNSFolderListPopUpButton::QKNSFolderListPopUpButton;

  // Not owned.
  void setDelegate(QObject* delegate) { delegate_ = delegate; }
  QObject* delegate() const { return delegate_; }

 protected:
  const QKPageListMenu* loaderMenu() const override;
  bool followsMediaBins() const override { return true; }

 private:
  QPointer<QObject> delegate_;
};
