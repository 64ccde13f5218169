#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"

#include "app/plugins/manager/SharedSourceGroup.h"
#include "app/plugins/multiplexer/MultiplexerSourceCell.h"
#include "app/plugins/multiplexer/MultiplexerTableModel.h"
#include "app/plugins/multiplexer/QKNSHardwareLearnTableView.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/VariantNumbers.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

const QString QKMultiplexerPlugin::kTypeName = QStringLiteral("Multiplexer");
const QString QKMultiplexerPlugin::kGroupName = QStringLiteral("Multiplexers");
const QString QKMultiplexerPlugin::kDetectingText = QStringLiteral("press note, key, or button");
const QString QKMultiplexerPlugin::kSetShortcutText = QStringLiteral("click to set shortcut");

// The published source's set call: reads only the follower, and hands the
// level meter its value when the main thread is not taking the meter away.
struct MultiplexerTicker : DataSourceTarget {
  std::shared_ptr<QKSliderCell> follower;
  std::mutex viewMutex;
  SimpleLevelView* levelView = nullptr;  // guarded by viewMutex

  void pull(DataSource* source) {
    const float value = follower ? follower->value() : 0.0f;
    if (source) source->setValue(value);
    std::unique_lock lock(viewMutex, std::try_to_lock);
    if (lock.owns_lock() && levelView) levelView->setVal(value);
  }
  void setLevelView(SimpleLevelView* view) {
    std::lock_guard lock(viewMutex);
    levelView = view;
  }
};

namespace {

const QString kSuperSnap = QStringLiteral("superSnap");
const QString kPrevButton = QStringLiteral("prevInputButton");
const QString kNextButton = QStringLiteral("nextInputButton");
const QString kRandButton = QStringLiteral("randInputButton");
const QString kInputIndex = QStringLiteral("inputIndex");
const QString kInputsArray = QStringLiteral("inputsArray");
const QString kNaturalNamesChanged =
    QStringLiteral("QKMIDIUseNaturalNoteNamesFlagChangedNotification");

KeyPath mousePath(const char* axis) { return {QStringLiteral("Mouse"), QString::fromLatin1(axis)}; }

long defaultRandom() {
  static std::mt19937 generator{std::random_device{}()};
  return long(generator() >> 1);
}

// A whole number from 0 up that fits the index, else nothing.
std::optional<std::uint32_t> storedIndex(const QVariant& value) {
  if (!VariantNumbers::isNumber(value)) return std::nullopt;
  const double number = value.toDouble();
  if (!std::isfinite(number) || number < 0 || number != std::floor(number) ||
      number > double(std::numeric_limits<std::uint32_t>::max()))
    return std::nullopt;
  return std::uint32_t(number);
}

}  // namespace

QKMultiplexerPlugin::QKMultiplexerPlugin(const QString& type, const QString& name,
                                         std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      link_(std::make_shared<Link>(this)),
      ticker_(std::make_shared<MultiplexerTicker>()),
      random_(&defaultRandom) {
  inputs_.push_back(makeItem(mousePath("X")));
  inputs_.push_back(makeItem(mousePath("Y")));
  follower_ = QKSliderCell::create();
  follower_->useThisSource(mousePath("X"));
  follower_->setSyncFlag(true);
  ticker_->follower = follower_;
  auto source = DSFloatFrequent::createWithName(name, std::weak_ptr<DataSourceTarget>(ticker_),
                                                [](DataSourceTarget& target, DataSource* s) {
                                                  static_cast<MultiplexerTicker&>(target).pull(s);
                                                });
  SharedSourceGroup::join(dataSourceController(), kGroupName, name, source, DSType::Holder);
  NotificationCenter::defaultCenter().post(QKButtonManager::kManagerFinderNotification,
                                           static_cast<ButtonManagerClient*>(this));
  observeNotifications();
}

QKMultiplexerPlugin::~QKMultiplexerPlugin() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass QKMultiplexerPlugin::pluginClass() {
  PluginClass multiplexer;
  multiplexer.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<QKMultiplexerPlugin>(type, name, uniqueID);
  };
  multiplexer.layout = &QKMultiplexerPlugin::buildWindow;
  return multiplexer;
}

void QKMultiplexerPlugin::observeNotifications() {
  const std::weak_ptr<Link> weak = link_;
  observers_.observe(
      QString::fromLatin1(DataSourceNotifications::HardwareLearnModeChanged), nullptr,
      [weak](const Notification& n) {
        const bool mode =
            n.userInfo.value(QString::fromLatin1(DataSourceNotifications::HardwareLearnModeKey))
                .toBool();
        MainThread::run([weak, mode] {
          if (auto link = weak.lock())
            link->call([mode](QKMultiplexerPlugin& m) { m.hardwareLearnModeUpdated(mode); });
        });
      });
  observers_.observe(kNaturalNamesChanged, nullptr,
                     [this](const Notification&) { requestReload(); });
}

// --- Window ------------------------------------------------------------------------------------

std::unique_ptr<QWidget> QKMultiplexerPlugin::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(360, 320, 300, 190));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  auto* self = qobject_cast<QKMultiplexerPlugin*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(3);
  self->levelView_ = new SimpleLevelView(body);
  self->levelView_->setFixedHeight(8);
  column->addWidget(self->levelView_);

  self->tableView_ = new QKNSHardwareLearnTableView(body);
  self->model_ = new MultiplexerTableModel(self, self);
  self->tableView_->setModel(self->model_);
  self->tableView_->setLearnDelegate(self);
  self->tableView_->setDeleteDelegate(self);
  self->tableView_->setItemDelegateForColumn(SourceColumn,
                                             new MultiplexerSourceCell(self, self->tableView_));
  self->tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  self->tableView_->setEditTriggers(QAbstractItemView::SelectedClicked |
                                    QAbstractItemView::DoubleClicked);
  self->tableView_->verticalHeader()->hide();
  self->tableView_->horizontalHeader()->setSectionResizeMode(ShortcutColumn, QHeaderView::Stretch);
  self->tableView_->setColumnWidth(SourceColumn, 110);
  self->tableView_->setColumnWidth(CurrentColumn, 24);
  column->addWidget(self->tableView_, 1);

  auto* buttons = new QHBoxLayout;
  const auto makeButton = [body, buttons](const QString& title) {
    auto* button = new QKButton(body);
    button->setTitle(title);
    button->setTitle2(title);
    button->setFixedHeight(18);
    buttons->addWidget(button);
    return button;
  };
  self->addInputButton_ = makeButton(QStringLiteral("+"));
  self->deleteInputButton_ = makeButton(QStringLiteral("-"));
  buttons->addStretch(1);
  self->prevInputButton_ = makeButton(QStringLiteral("prev"));
  self->nextInputButton_ = makeButton(QStringLiteral("next"));
  self->randInputButton_ = makeButton(QStringLiteral("rand"));
  column->addLayout(buttons);
  return window;
}

void QKMultiplexerPlugin::awakeFromNib() {
  QKPlugin::awakeFromNib();
  ticker_->setLevelView(levelView_);
  wireButtons();
  dataSourcesChangedNotification();
  observers_.observe(
      QString::fromLatin1(DataSourceNotifications::ReloadContextualMenus), nullptr,
      [weak = std::weak_ptr<Link>(link_)](const Notification&) {
        MainThread::run([weak] {
          if (auto link = weak.lock())
            link->call([](QKMultiplexerPlugin& m) { m.dataSourcesChangedNotification(); });
        });
      });
}

// The buttons act on the main thread.
void QKMultiplexerPlugin::wireButtons() {
  const auto wire = [this](QKButton* button, void (QKMultiplexerPlugin::*action)()) {
    if (!button) return;
    button->setTriggerOnMain(true);
    button->setTarget(link_);
    button->setAction([this, action](QKButtonCell&) { (this->*action)(); });
  };
  wire(addInputButton_, &QKMultiplexerPlugin::addInputButtonUsed);
  wire(deleteInputButton_, &QKMultiplexerPlugin::deleteInputButtonUsed);
  wire(prevInputButton_, &QKMultiplexerPlugin::prevInputButtonUsed);
  wire(nextInputButton_, &QKMultiplexerPlugin::nextInputButtonUsed);
  wire(randInputButton_, &QKMultiplexerPlugin::randInputButtonUsed);
}

// --- Inputs ------------------------------------------------------------------------------------

QKMultiplexerPluginItem::Ptr QKMultiplexerPlugin::makeItem(const std::optional<KeyPath>& path) {
  const std::weak_ptr<Link> weak = link_;
  return QKMultiplexerPluginItem::createWithSliderSyncArray(
      path, link_,
      [weak](QKMultiplexerPluginItem& item) {
        if (auto link = weak.lock())
          link->call([&item](QKMultiplexerPlugin& m) { m.inputArrayShortcutTriggered(item); });
      },
      [weak, key = &reloadKey_] { requestReload(weak, key); });
}

void QKMultiplexerPlugin::addInputWithSliderSyncArray(const std::optional<KeyPath>& path) {
  if (deleted()) return;
  QKMultiplexerPluginItem::Ptr item = makeItem(path);
  {
    std::lock_guard lock(inputsMutex_);
    inputs_.push_back(std::move(item));
  }
  requestReload();
}

void QKMultiplexerPlugin::deleteInputsAtIndicies(const std::set<int>& indexes) {
  std::vector<QKMultiplexerPluginItem::Ptr> gone;
  bool any = false;
  {
    std::lock_guard lock(inputsMutex_);
    const int count = int(inputs_.size());
    QKMultiplexerPluginItem* current =
        inputIndex_ < inputs_.size() && !indexes.count(int(inputIndex_))
            ? inputs_[inputIndex_].get()
            : nullptr;
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
      if (*it < 0 || *it >= count) continue;
      gone.push_back(inputs_[size_t(*it)]);
      inputs_.erase(inputs_.begin() + *it);
    }
    std::uint32_t index = inputIndex_;
    if (current)
      index = std::uint32_t(std::find_if(inputs_.begin(), inputs_.end(),
                                         [current](const auto& p) { return p.get() == current; }) -
                            inputs_.begin());
    if (index >= inputs_.size() && !inputs_.empty()) index = std::uint32_t(inputs_.size() - 1);
    if (!inputs_.empty()) {
      inputIndex_ = index;
      ++switchGeneration_;
      any = true;
    }
  }
  for (const auto& item : gone) item->prepareToBeDeleted();
  if (any) followCurrentInput();
  requestReload();
}

void QKMultiplexerPlugin::switchToIndex(std::uint32_t index) {
  {
    std::lock_guard lock(inputsMutex_);
    if (index >= inputs_.size()) return;
    inputIndex_ = index;
    ++switchGeneration_;
  }
  followCurrentInput();
  requestReload();
}

// Rebinds the follower to the current input's source with no lock held,
// until no other switch came in meanwhile.
void QKMultiplexerPlugin::followCurrentInput() {
  for (;;) {
    std::uint64_t generation = 0;
    std::optional<KeyPath> path;
    {
      std::lock_guard lock(inputsMutex_);
      generation = switchGeneration_;
      if (inputIndex_ < inputs_.size()) path = inputs_[inputIndex_]->sliderSyncArray();
    }
    if (path) follower_->useThisSource(path);
    follower_->setSyncFlag(true);
    std::lock_guard lock(inputsMutex_);
    if (generation == switchGeneration_) return;
  }
}

void QKMultiplexerPlugin::inputArrayShortcutTriggered(QKMultiplexerPluginItem& item) {
  std::optional<std::uint32_t> index;
  {
    std::lock_guard lock(inputsMutex_);
    const auto it = std::find_if(inputs_.begin(), inputs_.end(),
                                 [&item](const auto& p) { return p.get() == &item; });
    if (it != inputs_.end()) index = std::uint32_t(it - inputs_.begin());
  }
  if (index) switchToIndex(*index);
}

void QKMultiplexerPlugin::setDataSourceWithVal(DataSource* source) { ticker_->pull(source); }

std::vector<QKMultiplexerPluginItem::Ptr> QKMultiplexerPlugin::inputs() const {
  std::lock_guard lock(inputsMutex_);
  return inputs_;
}

std::uint32_t QKMultiplexerPlugin::inputIndex() const {
  std::lock_guard lock(inputsMutex_);
  return inputIndex_;
}

// --- Actions -----------------------------------------------------------------------------------

void QKMultiplexerPlugin::addInputButtonUsed() { addInputWithSliderSyncArray(mousePath("X")); }

void QKMultiplexerPlugin::deleteInputButtonUsed() { deleteKeyPressed(); }

void QKMultiplexerPlugin::deleteKeyPressed() {
  if (!tableView_ || !tableView_->selectionModel()) return;
  std::set<int> rows;
  for (const QModelIndex& index : tableView_->selectionModel()->selectedRows())
    rows.insert(index.row());
  if (!rows.empty()) deleteInputsAtIndicies(rows);
}

// An index beyond the list counts as no current input: previous goes to the
// last input, next to the first.
void QKMultiplexerPlugin::prevInputButtonUsed() {
  std::uint32_t target = 0;
  {
    std::lock_guard lock(inputsMutex_);
    const std::uint32_t count = std::uint32_t(inputs_.size());
    if (count == 0) return;
    target = inputIndex_ > 0 && inputIndex_ < count ? inputIndex_ - 1 : count - 1;
  }
  switchToIndex(target);
}

void QKMultiplexerPlugin::nextInputButtonUsed() {
  std::uint32_t target = 0;
  {
    std::lock_guard lock(inputsMutex_);
    const std::uint32_t count = std::uint32_t(inputs_.size());
    if (count == 0) return;
    target = inputIndex_ + 1 < count ? inputIndex_ + 1 : 0;
  }
  switchToIndex(target);
}

void QKMultiplexerPlugin::randInputButtonUsed() {
  std::uint32_t count = 0, current = 0;
  {
    std::lock_guard lock(inputsMutex_);
    count = std::uint32_t(inputs_.size());
    current = inputIndex_;
  }
  if (count < 2 || !random_) return;
  const float unit = float(random_()) * (1.0f / 2147483648.0f);
  std::uint32_t k = std::uint32_t(std::floor((double(count) - 1.001) * double(unit)));
  if (k == current) k = count - 1;
  switchToIndex(k);
}

// --- Table -------------------------------------------------------------------------------------

int QKMultiplexerPlugin::numberOfRows() const {
  std::lock_guard lock(inputsMutex_);
  return int(inputs_.size());
}

QString QKMultiplexerPlugin::shortcutText(const QKMultiplexerPluginItem& item) const {
  const bool active = item.shortcutActive();
  if (item.detecting() && !(hardwareLearnMode() && selected() && active)) return kDetectingText;
  const QString name = active ? item.humanReadableName() : QString();
  return name.isEmpty() ? kSetShortcutText : name;
}

QVariant QKMultiplexerPlugin::objectValue(int row, int column) const {
  QKMultiplexerPluginItem::Ptr item;
  bool current = false;
  {
    std::lock_guard lock(inputsMutex_);
    if (row < 0 || row >= int(inputs_.size())) return {};
    item = inputs_[size_t(row)];
    current = std::uint32_t(row) == inputIndex_;
  }
  switch (column) {
    case SourceColumn: {
      const std::optional<KeyPath> path = item->sliderSyncArray();
      if (!path) return {};
      const auto found = std::find_if(
          sourceItems_.begin(), sourceItems_.end(),
          [&](const DataSourceMenuItem& entry) { return entry.enabled && entry.keyPath == *path; });
      return found == sourceItems_.end() ? kNotFound : int(found - sourceItems_.begin());
    }
    case ShortcutColumn:
      return shortcutText(*item);
    case CurrentColumn:
      return current ? 1 : 0;
    default:
      return {};
  }
}

void QKMultiplexerPlugin::setObjectValue(int row, int column, const QVariant& value) {
  if (row < 0) return;
  if (column == SourceColumn) {
    bool ok = false;
    const int index = value.toInt(&ok);
    if (ok) outputItemToldToUseDSAtIndex(row, index);
    return;
  }
  if (column == CurrentColumn) switchToIndex(std::uint32_t(row));
}

void QKMultiplexerPlugin::outputItemToldToUseDSAtIndex(int row, int index) {
  if (index < 0 || index >= int(sourceItems_.size())) return;
  const DataSourceMenuItem& entry = sourceItems_[size_t(index)];
  if (!entry.enabled || entry.toolTip.isEmpty() || entry.keyPath.isEmpty()) return;
  bool isCurrent = false;
  {
    std::lock_guard lock(inputsMutex_);
    if (row >= int(inputs_.size())) return;
    inputs_[size_t(row)]->setSliderSyncArray(entry.keyPath);
    isCurrent = std::uint32_t(row) == inputIndex_;
  }
  if (isCurrent) switchToIndex(std::uint32_t(row));
  requestReload();
}

void QKMultiplexerPlugin::dataSourcesChangedNotification() {
  if (DataSourceController* dsc = dataSourceController())
    sourceItems_ = dsc->getDataSourceMenuItemArray();
  reloadTable();
}

void QKMultiplexerPlugin::requestReload() { requestReload(link_, &reloadKey_); }

// Safe from any thread, also while the plug-in goes.
void QKMultiplexerPlugin::requestReload(const std::weak_ptr<Link>& weak, const void* key) {
  MainThread::coalesce(key, [weak] {
    if (auto link = weak.lock()) link->call([](QKMultiplexerPlugin& m) { m.reloadTable(); });
  });
}

// The selected rows stay selected across the reload.
void QKMultiplexerPlugin::reloadTable() {
  if (!model_) return;
  QList<int> rows;
  if (tableView_ && tableView_->selectionModel())
    for (const QModelIndex& index : tableView_->selectionModel()->selectedRows())
      rows << index.row();
  model_->reload();
  if (!tableView_) return;
  for (int row : rows)
    if (row < model_->rowCount())
      tableView_->selectionModel()->select(model_->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
  tableView_->viewport()->update();
}

// --- Hardware learn ----------------------------------------------------------------------------

void QKMultiplexerPlugin::refresh() { requestReload(); }

void QKMultiplexerPlugin::detectShortcutForItemAtIndex(int row) {
  const std::vector<QKMultiplexerPluginItem::Ptr> all = inputs();
  if (row >= 0 && row < int(all.size())) {
    for (const auto& item : all) item->stopAllDetect();
    const QKMultiplexerPluginItem::Ptr& item = all[size_t(row)];
    if (item->shortcutActive())
      item->setSyncFlagAndRefresh(false);
    else
      item->startAllDetect();
  }
  requestReload();
}

void QKMultiplexerPlugin::select() {
  if (selected_.exchange(true)) return;
  if (!hardwareLearnMode_.load()) return;
  detectShortcutForItemAtIndex(tableView_ ? tableView_->lastClickedColAndRow().y() : -1);
}

void QKMultiplexerPlugin::deselect() {
  if (!selected_.exchange(false)) return;
  if (!hardwareLearnMode_.load()) return;
  for (const auto& item : inputs()) item->stopAllDetect();
  requestReload();
}

void QKMultiplexerPlugin::hardwareLearnModeUpdated(bool mode) {
  if (hardwareLearnMode_.exchange(mode) == mode) return;
  if (!(mode && selected_.load()))
    for (const auto& item : inputs()) item->stopAllDetect();
  requestReload();
}

void QKMultiplexerPlugin::setButtonManager(QKButtonManager* manager) {
  buttonManager_.store(manager);
  if (manager && manager->hardwareLearnMode()) hardwareLearnMode_.store(true);
}

// --- Snapshot ----------------------------------------------------------------------------------

QVariantMap QKMultiplexerPlugin::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  const auto addButton = [&snapshot](const QString& key, QKButton* button) {
    if (!button) return;
    const QVariantMap stored = button->createSnapshot();
    if (!stored.isEmpty()) snapshot.insert(key, stored);
  };
  addButton(kPrevButton, prevInputButton_);
  addButton(kNextButton, nextInputButton_);
  addButton(kRandButton, randInputButton_);
  QVariantList stored;
  for (const auto& item : inputs()) {
    const QVariantMap input = item->createSnapshot();
    if (!input.isEmpty()) stored.append(input);
  }
  snapshot.insert(kInputIndex, qint64(inputIndex()));
  snapshot.insert(kInputsArray, stored);
  return snapshot;
}

void QKMultiplexerPlugin::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted()) return;
  const QVariant superSnap = snapshot.value(kSuperSnap);
  QKPlugin::loadSnapshot(superSnap.typeId() == QMetaType::QVariantMap ? superSnap.toMap()
                                                                      : QVariantMap());
  const auto loadButton = [&snapshot](const QString& key, QKButton* button) {
    const QVariant stored = snapshot.value(key);
    if (button && stored.typeId() == QMetaType::QVariantMap) button->loadSnapshot(stored.toMap());
  };
  loadButton(kPrevButton, prevInputButton_);
  loadButton(kNextButton, nextInputButton_);
  loadButton(kRandButton, randInputButton_);
  if (snapshot.contains(kInputsArray)) loadInputs(snapshot.value(kInputsArray));
  if (snapshot.contains(kInputIndex)) loadInputIndex(snapshot.value(kInputIndex));
  requestReload();
}

void QKMultiplexerPlugin::loadInputs(const QVariant& stored) {
  if (stored.typeId() != QMetaType::QVariantList) {
    Log::line(QStringLiteral("\t\terr: %1 kept its inputs: the stored inputs are not a list")
                  .arg(windowTitle()));
    return;
  }
  std::vector<QKMultiplexerPluginItem::Ptr> loaded;
  const QVariantList list = stored.toList();
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (list.at(i).typeId() != QMetaType::QVariantMap) {
      Log::line(QStringLiteral("\t\terr: %1 skipped stored input %2: not a dictionary")
                    .arg(windowTitle())
                    .arg(i));
      continue;
    }
    QKMultiplexerPluginItem::Ptr item = makeItem(std::nullopt);
    item->loadSnapshot(list.at(i).toMap());
    loaded.push_back(std::move(item));
  }
  std::vector<QKMultiplexerPluginItem::Ptr> gone;
  {
    std::lock_guard lock(inputsMutex_);
    gone.swap(inputs_);
    inputs_ = std::move(loaded);
  }
  for (const auto& item : gone) item->prepareToBeDeleted();
}

// A stored index beyond the list is kept (and saved back) as "no current
// input"; the follower keeps its source.
void QKMultiplexerPlugin::loadInputIndex(const QVariant& stored) {
  const std::optional<std::uint32_t> index = storedIndex(stored);
  if (!index) {
    Log::line(QStringLiteral("\t\terr: %1 ignored a stored input index that is not a whole "
                             "number from 0 up")
                  .arg(windowTitle()));
    return;
  }
  {
    std::lock_guard lock(inputsMutex_);
    inputIndex_ = *index;
    ++switchGeneration_;
  }
  switchToIndex(*index);
}

// --- Naming and deletion -----------------------------------------------------------------------

void QKMultiplexerPlugin::setPluginName(const QString& name) {
  SharedSourceGroup::rename(dataSourceController(), kGroupName, windowTitle(), name);
  QKPlugin::setPluginName(name);
}

void QKMultiplexerPlugin::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  // Shortcuts firing on other threads and queued main-thread work find the
  // plug-in gone once this returns.
  link_->cut();
  SharedSourceGroup::leave(dataSourceController(), kGroupName, windowTitle());
  ticker_->setLevelView(nullptr);
  for (QKButton* button :
       {prevInputButton_.data(), nextInputButton_.data(), randInputButton_.data(),
        addInputButton_.data(), deleteInputButton_.data()})
    if (button) button->prepareToBeDeleted();
  follower_->prepareToBeDeleted();
  std::vector<QKMultiplexerPluginItem::Ptr> gone;
  {
    std::lock_guard lock(inputsMutex_);
    gone.swap(inputs_);
  }
  for (const auto& item : gone) item->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}
