#pragma once

#include <QAbstractItemModel>
#include <QFontMetricsF>

#include <functional>
#include <memory>
#include <vector>

class QKFile;
class QKFolder;
class QKPage;
class QKPageController;

// The missing-files window's outline: the media-bin pages (or the legacy
// folder tree) with their files, filtered by the view mode. The tree is
// copied from the pages at `reload`, so rows never point at a page or file
// that went meanwhile. Main thread only.
class PMMissingFilesOutlineModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  enum Column { kNameColumn = 0, kPathColumn, kLocateButtonColumn, kColumnCount };
  enum class Tree { Pages, Folders };
  // The view mode pop-up's items.
  enum ViewMode { kAllFiles = 0, kMissingFiles = 1, kAvailableFiles = 2 };

  struct Item {
    std::shared_ptr<QKPage> page;
    std::shared_ptr<QKFolder> folder;
    std::shared_ptr<QKFile> file;
    Item* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Item>> children;
  };

  explicit PMMissingFilesOutlineModel(QObject* parent = nullptr);
  ~PMMissingFilesOutlineModel() override;

  void reload(QKPageController* pages, QKFolder* rootFolder, Tree tree, int viewMode);

  // The width of a column and the metrics of its font, for the path column's
  // middle truncation.
  void setColumnWidthSource(std::function<float(int column)> width) {
    columnWidth_ = std::move(width);
  }
  void setFontMetrics(const QFontMetricsF& metrics) { metrics_ = metrics; }
  // A value set in the locate column (a click on a row's "Locate").
  void setLocateHandler(std::function<void(const Item&)> handler) {
    locateHandler_ = std::move(handler);
  }

  const Item* itemAt(const QModelIndex& index) const;
  // The row of a file, searched through the whole tree; invalid when absent.
  QModelIndex indexOfFile(const QKFile* file, int column = kNameColumn) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const std::vector<std::unique_ptr<Item>>& childrenOf(const QModelIndex& parent) const;
  QVariant displayValue(const Item& item, int column) const;
  QVariant toolTip(const Item& item, int column) const;

  std::vector<std::unique_ptr<Item>> top_;
  std::function<float(int)> columnWidth_;
  QFontMetricsF metrics_;
  std::function<void(const Item&)> locateHandler_;
};
