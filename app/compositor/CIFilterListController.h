#pragma once

#include "app/compositor/FilterCategory.h"
#include "app/compositor/FilterListMenuHost.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QModelIndexList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class Compositor;
class FXChainManager;
class FilterListTableModel;
class FilterTableView;
class QAction;
class QKNSTableView;
class QKPaletteWindow;
class QKWindowContentView;
class QLineEdit;
class QMenu;
class QMimeData;
namespace image {
class FilterRegistry;
}

// The effects browser, the palette "Video FX Palette": every effect a layer
// can carry, by category. Its categories are the filters of nine registry
// categories that also work on video, and the effect compositions of the
// effect folders grouped by the category written in each file; "All
// Filters" comes first and holds every effect of the others. A search field
// narrows the selected category by name, by description or both. An effect
// goes onto a layer's chain by dragging it there (the drag carries the chain
// manager's element type, as the chains' drop boxes take from tables) or by
// choosing a layer from the effect list's contextual menu.
//
// It is the data source of both tables (FilterListTableModel asks it) and
// the owner of the effect table (FilterTableView). Main thread only.
class CIFilterListController : public QObject, public FilterListMenuHost, public QKWindowDelegate {
  Q_OBJECT
 public:
  static constexpr int kPaletteStackOrder = 4;
  static const QString kPaletteTitle;              // "Video FX Palette"
  static const QString kAllFiltersTitle;           // "All Filters"
  static const QString kScopeAll;                  // "All"
  static const QString kScopeName;                 // "Name"
  static const QString kScopeDescription;          // "Description"
  static const QString kNoFilterDescription;       // "CoreImage Filter"
  static const QString kNoCompositionDescription;  // "Quartz Composer FX"
  static const QString kNoCompositionCategory;     // "QuartzComposer FX"
  // The registry categories listed, in the order they are read.
  static const QStringList& filterCategories();
  // Filters never listed, whatever their category.
  static const QStringList& excludedFilterNames();
  // Composition file names never listed (the system's sample backdrops).
  static const QStringList& skippedCompositionNames();

  // Where the lists come from; tests give their own.
  struct Sources {
    const image::FilterRegistry* registry = nullptr;  // null: the shared registry
    // The effect folders in search order, each ending in "/" (null: the
    // program's effect folders).
    std::function<QStringList()> compositionFolders;
    // The element type the drag carries (null: the compositor's chain manager's).
    const FXChainManager* chainManager = nullptr;
  };

  explicit CIFilterListController(Compositor* compositor);
  CIFilterListController(Compositor* compositor, Sources sources);
  ~CIFilterListController() override;
  CIFilterListController(const CIFilterListController&) = delete;
  CIFilterListController& operator=(const CIFilterListController&) = delete;

  // Builds the lists, selects "All Filters", takes the layer menu from the
  // compositor's tap manager and announces the palette to the Window menu.
  void awakeFromNib();

  // --- The lists ------------------------------------------------------------------
  void populateFilterDictionary();
  // One category per name, also when it holds no filter.
  void addFiltersInCategories(const QStringList& categories,
                              std::vector<FilterCategory>& destination) const;
  void addQCFXToArray(std::vector<FilterCategory>& destination) const;
  void populateAllFiltersArray();
  // The effect folders may have changed: the composition categories are
  // read again.
  void refreshQCFXLists();
  const std::vector<FilterCategory>& filters() const { return filters_; }
  // The category table's rows: "All Filters", then `filters`.
  const std::vector<FilterCategory>& filtersList() const { return filtersList_; }
  // What the effect table shows.
  const FilterCategory& searchedFiltersDict() const { return searchedFiltersDict_; }
  // "CIFilter", "QTZ" or empty (no category holds the name).
  QString typeForFilterNamed(const QString& name) const;

  // --- Searching ------------------------------------------------------------------
  void populateSearchResultsArray();
  void searchFieldUsed();
  // Turns the chosen scope on ("All", "Description"; any other: "Name").
  void searchFieldCatMenuUsed(const QString& title);
  QString searchScope() const;

  // --- Adding to a layer ------------------------------------------------------------
  void reloadTapsNotification(const Notification& notification);
  // The menu of layers: "<none>" and one item per layer tap.
  void reloadLayerMenu(const QKTapManager::Menu& items);
  QMenu* layerMenu() const { return layerMenu_.get(); }
  void openContextualMenuOnEvent(QAbstractItemView* table, const QPoint& globalPoint) override;
  // Appends the selected effect to the layer the item names.
  void contextualMenuUsed(QAction* item);

  // --- The tables' data source ------------------------------------------------------
  int numberOfRowsInTableView(const QAbstractItemView* table) const;
  QString objectValueForRow(const QAbstractItemView* table, int row) const;
  QString toolTipForRow(const QAbstractItemView* table, int row) const;
  bool dragsRowsOf(const QAbstractItemView* table) const;
  // The dragged effect of the first row, or null (no drag) from the category
  // table or without a chain manager.
  QMimeData* writeRows(const QAbstractItemView* table, const QModelIndexList& rows);
  QString draggedEffectMimeType() const;
  // The dragged-effect property list {"filterType", "filterName"} of a row
  // of the effect list; empty for no such row.
  QByteArray draggedEffectData(int row) const;
  int draggingIndex() const { return draggingIndex_; }

  // --- Widgets ---------------------------------------------------------------------
  std::optional<int> paletteStackOrder() const override { return kPaletteStackOrder; }
  QKPaletteWindow* window() const { return window_.get(); }
  QKNSTableView* catTable() const { return catTable_; }
  FilterTableView* filterTable() const { return filterTable_; }
  QLineEdit* searchField() const { return searchField_; }
  QMenu* searchFieldCatMenu() const { return searchFieldCatMenu_.get(); }
  // Selects a category row (−1: none), as a click would.
  void selectCategoryRow(int row);
  int selectedCategoryRow() const;
  int selectedFilterRow() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPalette();
  void layOut();
  void reloadTables();
  void categorySelectionChanged();
  QStringList compositionFolders() const;
  const image::FilterRegistry& registry() const;
  const FXChainManager* chainManager() const;
  QAction* scopeItem(const QString& title) const;
  const FilterCategory* selectedCategory() const;

  Compositor* compositor_;
  Sources sources_;
  std::unique_ptr<QKPaletteWindow> window_;
  QKWindowContentView* content_ = nullptr;
  QKNSTableView* catTable_ = nullptr;
  FilterTableView* filterTable_ = nullptr;
  std::unique_ptr<FilterListTableModel> catModel_;
  std::unique_ptr<FilterListTableModel> filterModel_;
  QLineEdit* searchField_ = nullptr;
  std::unique_ptr<QMenu> searchFieldCatMenu_;
  std::unique_ptr<QMenu> layerMenu_;

  std::vector<FilterCategory> filters_;
  std::vector<FilterCategory> filtersList_;
  FilterCategory searchedFiltersDict_;
  int draggingIndex_ = -1;
  NotificationObservers observers_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
