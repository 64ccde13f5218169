#pragma once

#include "framework/taps/QKTapClient.h"
#include "framework/taps/QKTapManager.h"

#include <QObject>
#include <QPointer>

#include <memory>

class MBFileGridView;
class QAction;
class QMenu;

// The file grid's two right-click menus: one for a click on a file or on
// the selection (`loadedCellMenu`), one for any other cell
// (`emptyCellMenu`). Three of their submenus list what can be put into the
// clicked cell: layer taps ("<none>" first), live inputs, and live inputs
// to record ("<all>" first when there are two or more); they are rebuilt
// from the tap manager's menus at every right click, so a tap made since
// the last one shows at the next. Every item carries the tap name as data
// and calls the grid's matching action. Main thread only.
class MBContextualMenuController : public QObject, public QKTapClient {
  Q_OBJECT
 public:
  static const QString kAllInputsTitle;    // "<all>"
  static const QString kNoInputHintTitle;  // "first add an input in live input manager window"

  explicit MBContextualMenuController(QObject* parent = nullptr);
  ~MBContextualMenuController() override;

  // Lays out the two menus with their fixed items aimed at `grid`,
  // registers with the tap manager and builds the submenus once.
  void awakeFromNib(MBFileGridView* grid);
  void prepareToBeDeleted();

  void setTapManager(QKTapManager* manager) override;
  QKTapManager* tapManager() const override;

  void reloadAvailableTapsMethod();

  QMenu* loadedCellMenu() const { return loadedCellMenu_.get(); }
  QMenu* emptyCellMenu() const { return emptyCellMenu_.get(); }
  QMenu* layerTapMenu() const { return localThumbnailTapMenu_; }
  QMenu* liveInputMenu() const { return localThumbnailLiveMenu_; }
  QMenu* recordInputMenu() const { return localThumbnailRecordMenu_; }

 private:
  QKTapManager::Menu copyOf(QKTapManager::Menu (QKTapManager::*menu)() const) const;
  QMenu* makeSubmenu(const QKTapManager::Menu& items, bool dropFirst, bool record);
  void hang(QAction* carrier, QMenu*& field, QMenu* submenu);

  std::shared_ptr<QKTapManager::Link> link_;
  QPointer<MBFileGridView> grid_;
  std::unique_ptr<QMenu> emptyCellMenu_;
  std::unique_ptr<QMenu> loadedCellMenu_;
  QAction* thumbnailTapMenu_ = nullptr;
  QAction* thumbnailVideoInputMenu_ = nullptr;
  QAction* thumbnailRecordVideoInputMenu_ = nullptr;
  // Owned by the two menus above through their carriers.
  QMenu* localThumbnailTapMenu_ = nullptr;
  QMenu* localThumbnailLiveMenu_ = nullptr;
  QMenu* localThumbnailRecordMenu_ = nullptr;
};
