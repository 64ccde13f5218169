#include "app/compositor/CIFilterListController.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/FilterListTableModel.h"
#include "app/compositor/FilterTableView.h"
#include "app/compositor/Layer.h"
#include "app/effects/LayerChainManager.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKQCComposition.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKScroller.h"
#include "framework/toolkit/QKTextImageCell.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/StringAdditions.h"
#include "framework/toolkit/TableViewAdditions.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

const QString CIFilterListController::kPaletteTitle = QStringLiteral("Video FX Palette");
const QString CIFilterListController::kAllFiltersTitle = QStringLiteral("All Filters");
const QString CIFilterListController::kScopeAll = QStringLiteral("All");
const QString CIFilterListController::kScopeName = QStringLiteral("Name");
const QString CIFilterListController::kScopeDescription = QStringLiteral("Description");
const QString CIFilterListController::kNoFilterDescription = QStringLiteral("CoreImage Filter");
const QString CIFilterListController::kNoCompositionDescription =
    QStringLiteral("Quartz Composer FX");
const QString CIFilterListController::kNoCompositionCategory = QStringLiteral("QuartzComposer FX");

namespace {

const QString kAllRealName = QStringLiteral("ALL");
const QString kSearchRealName = QStringLiteral("SearchResults");
const QString kSearchHumanName = QStringLiteral("Search Results");
// The body under the title bar at the default frame (260 x 150).
constexpr int kMargin = 4;
constexpr int kSearchHeight = 20;
constexpr int kCategoryWidth = 100;

// Menu titles treat "&" as a mnemonic mark; layer names are shown as typed.
QString shownTitle(const QString& text) {
  QString escaped = text;
  return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The magnifier of the search field, with the mark of its scope menu.
QIcon searchIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(90, 90, 90), 1.5));
  painter.drawEllipse(QRectF(1.5, 1.5, 7, 7));
  painter.drawLine(QPointF(7.5, 7.5), QPointF(10.5, 10.5));
  QPainterPath triangle;
  triangle.moveTo(10, 12);
  triangle.lineTo(15, 12);
  triangle.lineTo(12.5, 15);
  triangle.closeSubpath();
  painter.fillPath(triangle, QColor(90, 90, 90));
  return QIcon(pixmap);
}

QImage contextualImage() {
  const QString path =
      Paths::resourcePath(QStringLiteral("images/TextFieldCell-Contextual"), QStringLiteral("png"));
  QImage image = path.isEmpty() ? QImage() : QImage(path);
  if (image.isNull()) Log::line("\t\terr: couldn't load 'TextFieldCell-Contextual'");
  return image;
}

}  // namespace

const QStringList& CIFilterListController::filterCategories() {
  using namespace FilterKeys;
  static const QStringList categories = {kCategoryDistortionEffect,
                                         kCategoryGeometryAdjustment,
                                         kCategoryHalftoneEffect,
                                         kCategoryColorAdjustment,
                                         kCategoryColorEffect,
                                         kCategoryTileEffect,
                                         kCategoryStylize,
                                         kCategorySharpen,
                                         kCategoryBlur};
  return categories;
}

const QStringList& CIFilterListController::excludedFilterNames() {
  static const QStringList names = {QStringLiteral("CIAffineTransform"),
                                    QStringLiteral("CIColorMatrix"),
                                    QStringLiteral("CIColorCube"),
                                    QStringLiteral("CIAffineClamp"),
                                    QStringLiteral("CIAffineTile"),
                                    QStringLiteral("CISpotLight"),
                                    QStringLiteral("CILanczosScaleTransform"),
                                    QStringLiteral("QKFilterAlpha"),
                                    QStringLiteral("CIBlendWithMask"),
                                    QStringLiteral("CIMaskToAlpha")};
  return names;
}

const QStringList& CIFilterListController::skippedCompositionNames() {
  static const QStringList names = [] {
    QStringList made = {QStringLiteral("Clouds.qtz"),    QStringLiteral("Color Dots.qtz"),
                        QStringLiteral("Earthrise.qtz"), QStringLiteral("Eiffel Tower.qtz"),
                        QStringLiteral("Fish.qtz"),      QStringLiteral("Rollercoaster.qtz"),
                        QStringLiteral("Yosemite.qtz"),  QStringLiteral("Sunset.qtz")};
    for (int i = 1; i <= 8; ++i) made << QStringLiteral("User Backdrop %1.qtz").arg(i);
    return made;
  }();
  return names;
}

CIFilterListController::CIFilterListController(Compositor* compositor)
    : CIFilterListController(compositor, Sources()) {}

CIFilterListController::CIFilterListController(Compositor* compositor, Sources sources)
    : compositor_(compositor), sources_(std::move(sources)) {
  buildPalette();
}

CIFilterListController::~CIFilterListController() {
  observers_.clear();
  content_->body()->removeEventFilter(this);
  QObject::disconnect(catTable_->selectionModel(), nullptr, this, nullptr);
  QObject::disconnect(searchField_, nullptr, this, nullptr);
  // The tables go before the models they ask.
  window_->prepareToBeDeleted();
  window_.reset();
}

// --- Building -------------------------------------------------------------------------------

void CIFilterListController::buildPalette() {
  window_ = std::make_unique<QKPaletteWindow>();
  content_ = new QKWindowContentView;
  window_->setContentView(content_);
  window_->setTitle(kPaletteTitle);
  window_->setDelegate(this);
  QWidget* body = content_->body();
  body->installEventFilter(this);

  searchField_ = new QLineEdit(body);
  searchField_->setPlaceholderText(QStringLiteral("Search"));
  searchField_->setClearButtonEnabled(true);
  searchFieldCatMenu_ = std::make_unique<QMenu>();
  for (const QString& title : {kScopeAll, kScopeName, kScopeDescription}) {
    QAction* item = searchFieldCatMenu_->addAction(title);
    item->setCheckable(true);
    item->setChecked(title == kScopeAll);
    connect(item, &QAction::triggered, this, [this, title] { searchFieldCatMenuUsed(title); });
  }
  QAction* scope = searchField_->addAction(searchIcon(), QLineEdit::LeadingPosition);
  scope->setToolTip(QStringLiteral("Search in"));
  connect(scope, &QAction::triggered, this, [this] {
    searchFieldCatMenu_->popup(searchField_->mapToGlobal(QPoint(0, searchField_->height())));
  });
  connect(searchField_, &QLineEdit::textChanged, this, [this] { searchFieldUsed(); });

  const auto setUp = [](QKNSTableView* table) {
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setWordWrap(false);
    table->setVerticalScrollBar(new QKScroller(Qt::Vertical));
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  };
  catTable_ = new QKNSTableView(body);
  setUp(catTable_);
  catTable_->setDragEnabled(false);
  catModel_ = std::make_unique<FilterListTableModel>(this, catTable_);
  catTable_->setModel(catModel_.get());
  connect(catTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { categorySelectionChanged(); });

  filterTable_ = new FilterTableView(body);
  setUp(filterTable_);
  filterTable_->setFilterListController(this);
  filterTable_->setDragEnabled(true);
  filterTable_->setDragDropMode(QAbstractItemView::DragOnly);
  filterTable_->setDefaultDropAction(Qt::CopyAction);
  filterModel_ = std::make_unique<FilterListTableModel>(this, filterTable_);
  filterTable_->setModel(filterModel_.get());
  auto* cell = new QKTextImageCell(filterTable_);
  cell->setImage(contextualImage());
  cell->setImageAction([this](const QModelIndex& index, const QMouseEvent& event) {
    TableViewAdditions::selectRowIndex(filterTable_, index.row());
    openContextualMenuOnEvent(filterTable_, event.globalPosition().toPoint());
  });
  filterTable_->setItemDelegate(cell);
  layOut();
}

// The search field across the top; the categories on the left and the
// effects on the right fill the rest.
void CIFilterListController::layOut() {
  const QSize size = content_->body()->size();
  const int width = std::max(size.width(), 2 * kCategoryWidth);
  const int tablesTop = kMargin + kSearchHeight + kMargin;
  const int tablesHeight = std::max(0, size.height() - tablesTop - kMargin);
  searchField_->setGeometry(kMargin, kMargin, width - 2 * kMargin, kSearchHeight);
  catTable_->setGeometry(kMargin, tablesTop, kCategoryWidth, tablesHeight);
  const int effectsLeft = kMargin + kCategoryWidth + kMargin;
  filterTable_->setGeometry(effectsLeft, tablesTop, width - effectsLeft - kMargin, tablesHeight);
}

bool CIFilterListController::eventFilter(QObject* watched, QEvent* event) {
  if (content_ && watched == content_->body() && event->type() == QEvent::Resize) layOut();
  return QObject::eventFilter(watched, event);
}

void CIFilterListController::awakeFromNib() {
  populateFilterDictionary();
  catModel_->reload();
  selectCategoryRow(0);
  populateSearchResultsArray();
  filterModel_->reload();
  observers_.observe(QKTapManager::kReloadSTapListNotification, nullptr,
                     [this](const Notification& n) { reloadTapsNotification(n); });
  if (QKTapManager* taps = compositor_ ? compositor_->tapManager() : nullptr) {
    QKTapManager::Menu items;
    {
      std::lock_guard<std::recursive_mutex> lock(taps->link()->mutex);
      items = taps->sortedLayerSTapMenu();
    }
    reloadLayerMenu(items);
  }
  window_->awakeFromNib();
  layOut();
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
}

// --- The lists ----------------------------------------------------------------------------------

const image::FilterRegistry& CIFilterListController::registry() const {
  return sources_.registry ? *sources_.registry : image::FilterRegistry::shared();
}

QStringList CIFilterListController::compositionFolders() const {
  return sources_.compositionFolders ? sources_.compositionFolders()
                                     : QCUtils::searchFolders(QCUtils::kEffectsFolder);
}

void CIFilterListController::populateFilterDictionary() {
  filters_.clear();
  addFiltersInCategories(filterCategories(), filters_);
  addQCFXToArray(filters_);
  std::stable_sort(filters_.begin(), filters_.end(),
                   [](const FilterCategory& a, const FilterCategory& b) {
                     return a.humanCatName < b.humanCatName;
                   });
  populateAllFiltersArray();
}

// Each filter is made once here (main thread, no GL) to read its attributes.
void CIFilterListController::addFiltersInCategories(
    const QStringList& categories, std::vector<FilterCategory>& destination) const {
  using namespace FilterKeys;
  for (const QString& category : categories) {
    FilterCategory made =
        FilterCategory::named(category, image::FilterRegistry::localizedNameForCategory(category),
                              FilterCategory::kTypeFilter);
    std::vector<QVariantMap> attributes;
    for (const QString& name : registry().filterNamesInCategories({category, kCategoryVideo})) {
      if (excludedFilterNames().contains(name)) continue;
      if (const std::shared_ptr<image::Filter> filter = registry().filterWithName(name))
        attributes.push_back(filter->attributes());
    }
    std::stable_sort(
        attributes.begin(), attributes.end(), [](const QVariantMap& a, const QVariantMap& b) {
          return a.value(kFilterDisplayName).toString() < b.value(kFilterDisplayName).toString();
        });
    for (const QVariantMap& filter : attributes) {
      const QString name = filter.value(kFilterName).toString();
      const QString human = filter.value(kFilterDisplayName).toString();
      if (name.isEmpty() || human.isEmpty()) continue;
      const QString description = filter.value(kDescription).toString();
      made.append(name, human, description.isEmpty() ? kNoFilterDescription : description);
    }
    destination.push_back(std::move(made));
  }
}

void CIFilterListController::addQCFXToArray(std::vector<FilterCategory>& destination) const {
  const QString lower = QLatin1String(composition::kCompositionExtension);
  const QString upper = lower.toUpper();
  QStringList accepted;
  QStringList acceptedNames;
  for (const QString& folder : compositionFolders()) {
    const QStringList entries =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& file : entries) {
      if (skippedCompositionNames().contains(file)) continue;
      const QString extension = QFileInfo(file).suffix();
      if (extension != lower && extension != upper) continue;
      if (acceptedNames.contains(file)) continue;  // an earlier folder holds it
      const QString path = folder + file;
      if (!QCUtils::isValidQCFXAtPath(path)) {
        QString error;
        if (!QKQCComposition::readFile(path, &error))
          Log::line(QStringLiteral("\t\terr: the composition %1 could not be read (%2); it is "
                                   "not listed")
                        .arg(path, error));
        continue;
      }
      accepted << path;
      acceptedNames << file;
    }
  }
  std::stable_sort(accepted.begin(), accepted.end(), [](const QString& a, const QString& b) {
    return StringAdditions::filePathNameSortMethod(a, b) < 0;
  });
  std::vector<FilterCategory> categories;
  for (const QString& path : accepted) {
    const std::shared_ptr<QKQCComposition> composition = QKQCComposition::compositionWithFile(path);
    if (!composition) {
      Log::line(QStringLiteral("\t\terr: the effect composition %1 could not be read").arg(path));
      continue;
    }
    const QString name = composition->category().isEmpty()
                             ? kNoCompositionCategory
                             : QStringLiteral("QC %1").arg(composition->category());
    auto category = std::find_if(categories.begin(), categories.end(),
                                 [&](const FilterCategory& c) { return c.realCatName == name; });
    if (category == categories.end()) {
      categories.push_back(FilterCategory::named(name, name, FilterCategory::kTypeComposition));
      category = categories.end() - 1;
    }
    const QString description = composition->description();
    category->append(path, QFileInfo(path).fileName(),
                     description.isEmpty() ? kNoCompositionDescription : description);
  }
  for (FilterCategory& category : categories) destination.push_back(std::move(category));
}

// Every effect keeps its own name and description, also when another
// effect is shown under the same name.
void CIFilterListController::populateAllFiltersArray() {
  struct Entry {
    QString name, humanName, description;
  };
  std::vector<Entry> entries;
  for (const FilterCategory& category : filters_)
    for (int i = 0; i < category.count(); ++i)
      entries.push_back({category.catFilterNames[i], category.catFilterHumanNames[i],
                         category.catFilterDescriptions[i]});
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.humanName.compare(b.humanName, Qt::CaseInsensitive) < 0;
  });
  FilterCategory all =
      FilterCategory::named(kAllRealName, kAllFiltersTitle, FilterCategory::kTypeAll);
  for (const Entry& entry : entries) all.append(entry.name, entry.humanName, entry.description);
  filtersList_.clear();
  filtersList_.push_back(std::move(all));
  filtersList_.insert(filtersList_.end(), filters_.begin(), filters_.end());
}

void CIFilterListController::refreshQCFXLists() {
  std::erase_if(filters_, [](const FilterCategory& category) {
    return category.catType == FilterCategory::kTypeComposition;
  });
  addQCFXToArray(filters_);
  std::stable_sort(filters_.begin(), filters_.end(),
                   [](const FilterCategory& a, const FilterCategory& b) {
                     return a.humanCatName < b.humanCatName;
                   });
  const int selected = selectedCategoryRow();
  populateAllFiltersArray();
  // The tables forget their selection when reloaded: the category row
  // stays where it was while there still is one.
  reloadTables();
  if (selected >= 0) selectCategoryRow(std::min(selected, int(filtersList_.size()) - 1));
}

void CIFilterListController::reloadTables() {
  const QSignalBlocker quiet(catTable_->selectionModel());
  catModel_->reload();
  filterModel_->reload();
}

QString CIFilterListController::typeForFilterNamed(const QString& name) const {
  if (name.isNull()) return {};
  for (auto category = filters_.rbegin(); category != filters_.rend(); ++category)
    if (category->catFilterNames.lastIndexOf(name) >= 0) return category->catType;
  return {};
}

// --- Searching ------------------------------------------------------------------------------

QAction* CIFilterListController::scopeItem(const QString& title) const {
  for (QAction* item : searchFieldCatMenu_->actions())
    if (item->text() == title) return item;
  return nullptr;
}

QString CIFilterListController::searchScope() const {
  for (QAction* item : searchFieldCatMenu_->actions())
    if (item->isChecked()) return item->text();
  return {};
}

const FilterCategory* CIFilterListController::selectedCategory() const {
  const int row = selectedCategoryRow();
  return row >= 0 && row < int(filtersList_.size()) ? &filtersList_[size_t(row)] : nullptr;
}

void CIFilterListController::populateSearchResultsArray() {
  const QString text = searchField_->text();
  const bool all = scopeItem(kScopeAll)->isChecked();
  const bool names = all || scopeItem(kScopeName)->isChecked();
  const bool descriptions = all || scopeItem(kScopeDescription)->isChecked();
  searchedFiltersDict_ =
      FilterCategory::named(kSearchRealName, kSearchHumanName, FilterCategory::kTypeAll);
  const FilterCategory* category = selectedCategory();
  if (!category) return;
  const auto holds = [&text](const QString& field) {
    return field.size() >= text.size() && field.contains(text, Qt::CaseInsensitive);
  };
  for (int i = 0; i < category->count(); ++i) {
    const bool matches = text.isEmpty() || (names && holds(category->catFilterHumanNames[i])) ||
                         (descriptions && holds(category->catFilterDescriptions[i]));
    if (matches)
      searchedFiltersDict_.append(category->catFilterNames[i], category->catFilterHumanNames[i],
                                  category->catFilterDescriptions[i]);
  }
}

// Nothing found in a category: "All Filters" is searched instead.
void CIFilterListController::searchFieldUsed() {
  populateSearchResultsArray();
  if (searchedFiltersDict_.count() == 0 && selectedCategoryRow() != 0) {
    selectCategoryRow(0);
    populateSearchResultsArray();
  }
  filterModel_->reload();
}

void CIFilterListController::searchFieldCatMenuUsed(const QString& title) {
  const QString chosen = title == kScopeAll || title == kScopeDescription ? title : kScopeName;
  for (QAction* item : searchFieldCatMenu_->actions()) item->setChecked(item->text() == chosen);
  searchFieldUsed();
}

void CIFilterListController::selectCategoryRow(int row) {
  TableViewAdditions::selectRowIndex(catTable_, row);
}

int CIFilterListController::selectedCategoryRow() const {
  const QModelIndexList rows = catTable_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

int CIFilterListController::selectedFilterRow() const {
  const QModelIndexList rows = filterTable_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CIFilterListController::categorySelectionChanged() {
  populateSearchResultsArray();
  filterModel_->reload();
}

// --- Adding to a layer ------------------------------------------------------------------------

// The menu is copied on the posting thread, under the manager's lock, and
// taken into use on the main thread.
void CIFilterListController::reloadTapsNotification(const Notification& notification) {
  if (!notification.object) return;
  auto* manager = static_cast<QKTapManager*>(notification.object);
  QKTapManager::Menu items;
  {
    std::lock_guard<std::recursive_mutex> lock(manager->link()->mutex);
    items = manager->sortedLayerSTapMenu();
  }
  MainThread::run([this, alive = std::weak_ptr<int>(alive_), items = std::move(items)] {
    if (alive.lock()) reloadLayerMenu(items);
  });
}

void CIFilterListController::reloadLayerMenu(const QKTapManager::Menu& items) {
  auto menu = std::make_unique<QMenu>();
  const QFont font = QKTapManager::fontAttribs();
  for (const QKTapMenuItem& item : items) {
    const QString name = item.isNone() ? QKTapManager::kNoneTitle : item.tapName;
    const QString title =
        item.isNone()
            ? name
            : QString(4 * std::max(0, item.indentation), QLatin1Char(' ')) + shownTitle(name);
    QAction* action = menu->addAction(title);
    action->setData(name);
    action->setFont(font);
    connect(action, &QAction::triggered, this, [this, action] { contextualMenuUsed(action); });
  }
  // The old menu may be open or on the stack of its own item's action.
  if (layerMenu_) layerMenu_.release()->deleteLater();
  layerMenu_ = std::move(menu);
}

void CIFilterListController::openContextualMenuOnEvent(QAbstractItemView*,
                                                       const QPoint& globalPoint) {
  if (layerMenu_) layerMenu_->popup(globalPoint);
}

void CIFilterListController::contextualMenuUsed(QAction* item) {
  const QString layerName = item ? item->data().toString() : QString();
  if (layerName.isEmpty() || layerName == QKTapManager::kNoneTitle || !compositor_) return;
  Layer* layer = compositor_->findLayerByName(layerName);
  if (!layer) return;
  const int row = selectedFilterRow();
  if (row < 0 || row >= searchedFiltersDict_.count()) return;
  const QString name = searchedFiltersDict_.catFilterNames[row];
  QString type = searchedFiltersDict_.catType;
  if (type == FilterCategory::kTypeAll) type = typeForFilterNamed(name);
  bool added = false;
  if (type == FilterCategory::kTypeFilter)
    added = layer->addCIFXNamed(name);
  else if (type == FilterCategory::kTypeComposition)
    added = layer->addQCFXFromPath(name);
  else
    return;
  if (!added)
    Log::line(QStringLiteral("\t\terr: %1 could not be added to %2").arg(name, layerName));
}

// --- The tables' data source ------------------------------------------------------------------

int CIFilterListController::numberOfRowsInTableView(const QAbstractItemView* table) const {
  if (table == catTable_) return int(filtersList_.size());
  if (table == filterTable_) return selectedCategory() ? searchedFiltersDict_.count() : 0;
  return 0;
}

QString CIFilterListController::objectValueForRow(const QAbstractItemView* table, int row) const {
  if (table == catTable_ && row >= 0 && row < int(filtersList_.size()))
    return filtersList_[size_t(row)].humanCatName;
  if (table == filterTable_ && row >= 0 && row < searchedFiltersDict_.count())
    return searchedFiltersDict_.catFilterHumanNames[row];
  return {};
}

QString CIFilterListController::toolTipForRow(const QAbstractItemView* table, int row) const {
  if (table == catTable_) return objectValueForRow(table, row);
  if (table == filterTable_ && row >= 0 && row < searchedFiltersDict_.count())
    return searchedFiltersDict_.catFilterDescriptions[row];
  return {};
}

bool CIFilterListController::dragsRowsOf(const QAbstractItemView* table) const {
  return table == filterTable_ && !draggedEffectMimeType().isEmpty();
}

const FXChainManager* CIFilterListController::chainManager() const {
  if (sources_.chainManager) return sources_.chainManager;
  return compositor_ ? compositor_->chainManager() : nullptr;
}

QString CIFilterListController::draggedEffectMimeType() const {
  const FXChainManager* manager = chainManager();
  if (!manager || manager->chainFXPboardType().isEmpty()) return {};
  return FXChainManager::mimeTypeFor(manager->chainFXPboardType());
}

QMimeData* CIFilterListController::writeRows(const QAbstractItemView* table,
                                             const QModelIndexList& rows) {
  if (table != filterTable_ || rows.isEmpty()) return nullptr;
  const QString type = draggedEffectMimeType();
  if (type.isEmpty()) return nullptr;
  int first = rows.first().row();
  for (const QModelIndex& index : rows) first = std::min(first, index.row());
  const QByteArray payload = draggedEffectData(first);
  if (payload.isEmpty()) return nullptr;
  draggingIndex_ = first;
  auto* data = new QMimeData;
  data->setData(type, payload);
  return data;
}

QByteArray CIFilterListController::draggedEffectData(int row) const {
  if (row < 0 || row >= searchedFiltersDict_.count()) return {};
  const QString name = searchedFiltersDict_.catFilterNames[row];
  const QString type = typeForFilterNamed(name);
  if (type.isEmpty()) return {};
  return PropertyList::toXml(
      QVariantMap{{QStringLiteral("filterType"), type}, {QStringLiteral("filterName"), name}});
}
