#pragma once

#include "framework/media/PageMenuChoice.h"
#include "framework/media/QKFileLoaderClient.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>

class QKFileLoader;
class QKPageListMenu;

// A pop-up of the media bin's pages (a destination for imports or
// recordings): a copy of the file loader's page menu, rebuilt whenever the
// loader rebuilds it, keeping the chosen page by its ID. Main thread only.
class QKNSFolderListPopUpButton : public QKNSPopUpButton, public QKFileLoaderClient {
  Q_OBJECT
 public:
  explicit QKNSFolderListPopUpButton(QWidget* parent = nullptr);
  ~QKNSFolderListPopUpButton() override;

  // Finds the loader (by notification), fills the menu and follows its
  // rebuilds.
  void awakeFromNib();
  void setFileLoader(QKFileLoader* loader) override { fileLoader_ = loader; }
  QKFileLoader* fileLoader() const { return fileLoader_; }
  void folderMenuDidUpdateNotification(const Notification& notification);
  void updateContents();

  QString lastSelectedName() const { return choice_.lastSelectedName(); }
  int lastSelectedTag() const { return choice_.lastSelectedTag(); }

 protected:
  virtual const QKPageListMenu* loaderMenu() const;
  virtual bool followsMediaBins() const { return false; }

 private:
  QKFileLoader* fileLoader_ = nullptr;
  PageMenuChoice choice_;
  NotificationObservers menuObservers_;
};
