#include "app/shell/PMMissingFilesOutlineModel.h"

#include "app/shell/MiddleTruncation.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"

#include <QFont>
#include <QGuiApplication>

namespace {

using Item = PMMissingFilesOutlineModel::Item;

std::unique_ptr<Item> makeItem(Item* parent, int row) {
  auto item = std::make_unique<Item>();
  item->parent = parent;
  item->row = row;
  return item;
}

void addPageFiles(Item& pageItem, int viewMode) {
  QKPage::Cells files;
  switch (viewMode) {
    case PMMissingFilesOutlineModel::kAllFiles:
      files = pageItem.page->filesOnlyContents();
      break;
    case PMMissingFilesOutlineModel::kMissingFiles:
      files = pageItem.page->missingFilesArray();
      break;
    case PMMissingFilesOutlineModel::kAvailableFiles:
      files = pageItem.page->availableFilesArray();
      break;
    default:
      return;
  }
  for (const auto& file : files) {
    if (!file) continue;
    auto child = makeItem(&pageItem, int(pageItem.children.size()));
    child->file = file;
    pageItem.children.push_back(std::move(child));
  }
}

QKFolder::Items folderChildren(const QKFolder& folder, int viewMode) {
  switch (viewMode) {
    case PMMissingFilesOutlineModel::kAllFiles:
      return folder.contents();
    case PMMissingFilesOutlineModel::kMissingFiles:
      return folder.missingFilesArray();
    case PMMissingFilesOutlineModel::kAvailableFiles:
      return folder.availableFilesArray();
    default:
      return {};
  }
}

// Folders nest; a folder that (wrongly) holds itself further down is not
// followed again.
void addFolderItems(std::vector<std::unique_ptr<Item>>& into, Item* parent, const QKFolder& folder,
                    int viewMode, int depth) {
  if (depth > 64) return;
  for (const QKFolder::Item& content : folderChildren(folder, viewMode)) {
    auto item = makeItem(parent, int(into.size()));
    item->file = content.file;
    item->folder = content.folder;
    if (content.folder)
      addFolderItems(item->children, item.get(), *content.folder, viewMode, depth + 1);
    into.push_back(std::move(item));
  }
}

}  // namespace

PMMissingFilesOutlineModel::PMMissingFilesOutlineModel(QObject* parent)
    : QAbstractItemModel(parent), metrics_(QGuiApplication::font()) {}

PMMissingFilesOutlineModel::~PMMissingFilesOutlineModel() = default;

void PMMissingFilesOutlineModel::reload(QKPageController* pages, QKFolder* rootFolder, Tree tree,
                                        int viewMode) {
  beginResetModel();
  top_.clear();
  if (tree == Tree::Pages) {
    if (pages) {
      pages->rdlock();
      for (const auto& page : pages->pages()) {
        auto item = makeItem(nullptr, int(top_.size()));
        item->page = page;
        addPageFiles(*item, viewMode);
        top_.push_back(std::move(item));
      }
      pages->unlock();
    }
  } else if (rootFolder) {
    addFolderItems(top_, nullptr, *rootFolder, viewMode, 0);
  }
  endResetModel();
}

const Item* PMMissingFilesOutlineModel::itemAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<const Item*>(index.internalPointer()) : nullptr;
}

QModelIndex PMMissingFilesOutlineModel::indexOfFile(const QKFile* file, int column) const {
  std::vector<const std::vector<std::unique_ptr<Item>>*> levels{&top_};
  while (!levels.empty()) {
    const auto* level = levels.back();
    levels.pop_back();
    for (const auto& item : *level) {
      if (item->file.get() == file) return createIndex(item->row, column, item.get());
      levels.push_back(&item->children);
    }
  }
  return {};
}

const std::vector<std::unique_ptr<Item>>& PMMissingFilesOutlineModel::childrenOf(
    const QModelIndex& parent) const {
  const Item* item = itemAt(parent);
  return item ? item->children : top_;
}

QModelIndex PMMissingFilesOutlineModel::index(int row, int column,
                                              const QModelIndex& parent) const {
  const auto& children = childrenOf(parent);
  if (row < 0 || row >= int(children.size()) || column < 0 || column >= kColumnCount) return {};
  return createIndex(row, column, children[size_t(row)].get());
}

QModelIndex PMMissingFilesOutlineModel::parent(const QModelIndex& child) const {
  const Item* item = itemAt(child);
  if (!item || !item->parent) return {};
  return createIndex(item->parent->row, 0, item->parent);
}

int PMMissingFilesOutlineModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  return int(childrenOf(parent).size());
}

int PMMissingFilesOutlineModel::columnCount(const QModelIndex&) const { return kColumnCount; }

// Pages and folders open, even when they list nothing in this mode.
bool PMMissingFilesOutlineModel::hasChildren(const QModelIndex& parent) const {
  const Item* item = itemAt(parent);
  if (!item) return !top_.empty();
  return item->page || item->folder;
}

QVariant PMMissingFilesOutlineModel::displayValue(const Item& item, int column) const {
  switch (column) {
    case kNameColumn:
      if (item.page) return item.page->name();
      if (item.folder) return item.folder->name();
      return item.file ? item.file->name() : QVariant();
    case kPathColumn:
      if (!item.file) return {};
      return MiddleTruncation::pathToWidth(
          item.file->fullPath(), columnWidth_ ? columnWidth_(kPathColumn) : 1.0e9f, metrics_);
    case kLocateButtonColumn:
      return item.file && item.file->validFile() ? QVariant(QStringLiteral("Found")) : QVariant();
    default:
      return {};
  }
}

QVariant PMMissingFilesOutlineModel::toolTip(const Item& item, int column) const {
  if (!item.file) return {};
  if (column == kNameColumn) return item.file->name();
  if (column == kPathColumn || column == kLocateButtonColumn) return item.file->fullPath();
  return {};
}

QVariant PMMissingFilesOutlineModel::data(const QModelIndex& index, int role) const {
  const Item* item = itemAt(index);
  if (!item) return {};
  if (role == Qt::DisplayRole) return displayValue(*item, index.column());
  if (role == Qt::ToolTipRole) return toolTip(*item, index.column());
  return {};
}

bool PMMissingFilesOutlineModel::setData(const QModelIndex& index, const QVariant&, int role) {
  const Item* item = itemAt(index);
  if (!item || role != Qt::EditRole || index.column() != kLocateButtonColumn) return false;
  if (locateHandler_) locateHandler_(*item);
  return true;
}

QVariant PMMissingFilesOutlineModel::headerData(int section, Qt::Orientation orientation,
                                                int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kNameColumn:
      return QStringLiteral("Name");
    case kPathColumn:
      return QStringLiteral("Path");
    case kLocateButtonColumn:
      return QStringLiteral("Status");
    default:
      return {};
  }
}

Qt::ItemFlags PMMissingFilesOutlineModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
