#include "app/plugins/output/OutputPlugin.h"

#include "app/plugins/output/OutputTableModel.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

const QString OutputPlugin::kNone = QStringLiteral("<none>");

namespace {
QKButton* makeButton(const QString& title, int type, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setFixedHeight(16);
  return button;
}
}  // namespace

OutputPlugin::OutputPlugin(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID), model_(std::make_unique<OutputTableModel>(this)) {}

OutputPlugin::~OutputPlugin() = default;

std::unique_ptr<QWidget> OutputPlugin::buildOutputWindow(QObject* owner, const QRectF& frame) {
  auto window = std::make_unique<QKWindow>(frame);
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  auto* self = qobject_cast<OutputPlugin*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  self->destinationButton_ = new QKNSPopUpButton(body);
  self->destinationButton_->setFixedHeight(16);
  column->addWidget(self->destinationButton_);
  self->table_ = new ActiveDeleteTableView(body);
  self->table_->setModel(self->model_.get());
  self->table_->setItemDelegateForColumn(0, new OutputSourceDelegate(self, self->table_));
  self->table_->verticalHeader()->hide();
  self->table_->horizontalHeader()->setStretchLastSection(true);
  self->table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  self->table_->setSelectionMode(QAbstractItemView::SingleSelection);
  self->table_->setDeleteDelegate(self);
  column->addWidget(self->table_, 1);
  auto* buttons = new QHBoxLayout;
  self->soloToggle_ = makeButton(QStringLiteral("solo"), 1, body);
  self->newOutputButton_ = makeButton(QStringLiteral("+"), 0, body);
  buttons->addWidget(self->soloToggle_);
  buttons->addStretch(1);
  buttons->addWidget(self->newOutputButton_);
  column->addLayout(buttons);
  return window;
}

void OutputPlugin::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!table_) return;
  table_->setColumnWidth(0, 100);
  for (int column = 1; column < model_->columnCount(); ++column) table_->setColumnWidth(column, 40);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { tableViewSelectionDidChange(); });
  connect(destinationButton_, &QKNSPopUpButton::activated, this,
          [this] { destinationChosen(destinationButton_->titleOfSelectedItem()); });
  soloToggle_->setTarget(alive_);
  soloToggle_->setAction([this](QKButtonCell& sender) { soloToggleUsed(sender.intValue()); });
  newOutputButton_->setTarget(alive_);
  newOutputButton_->setAction([this](QKButtonCell&) { createItem(); });
  dataSourcesChangedNotification();
  observers_.observe(QString::fromLatin1(DataSourceNotifications::ReloadContextualMenus), nullptr,
                     [this](const Notification&) {
                       MainThread::run([self = QPointer<OutputPlugin>(this)] {
                         if (self && !self->deleted()) self->dataSourcesChangedNotification();
                       });
                     });
}

void OutputPlugin::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  alive_.reset();
  if (soloToggle_) soloToggle_->prepareToBeDeleted();
  if (newOutputButton_) newOutputButton_->prepareToBeDeleted();
  deleteAllItems();
  QKPlugin::prepareToBeDeleted();
}

// --- Rows ----------------------------------------------------------------------------------

void OutputPlugin::appendItem(const std::shared_ptr<OutputItem>& item) {
  item->setChangedCallback([self = QPointer<OutputPlugin>(this)] {
    MainThread::coalesce(self.data(), [self] {
      if (self) self->reloadTable();
    });
  });
  // The controller tells the row when a source stands at its path again.
  if (DataSourceController* dsc = dataSourceController()) dsc->addToExternalSynchArray(item);
  items_.push_back(item);
  reloadTable();
}

void OutputPlugin::loadRows(
    const QVariant& rows,
    const std::function<std::shared_ptr<OutputItem>(const QVariantMap&)>& make) {
  const QVariantList list = rows.toList();
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (list.at(i).typeId() != QMetaType::QVariantMap) {
      Log::line(QStringLiteral("\t\terr: %1 skipped output row %2: not a dictionary")
                    .arg(windowTitle())
                    .arg(i));
      continue;
    }
    appendItem(make(list.at(i).toMap()));
  }
  tableViewSelectionDidChange();
}

void OutputPlugin::removeItemAt(std::size_t index) {
  const std::shared_ptr<OutputItem> item = items_[index];
  if (selectedItem_.load() == item.get()) selectedItem_.store(nullptr);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  item->setChangedCallback({});
  item->prepareToBeDeleted();
  if (DataSourceController* dsc = dataSourceController())
    dsc->removeFromExternalSynchArray(item.get());
}

void OutputPlugin::deleteKeyPressed() {
  const OutputItem* selected = selectedItem_.load();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() != selected) continue;
    removeItemAt(i);
    break;
  }
  reloadTable();
}

void OutputPlugin::deleteAllItems() {
  while (!items_.empty()) removeItemAt(items_.size() - 1);
  reloadTable();
}

void OutputPlugin::outputItemToldToUseDSAtIndex(int row, int index) {
  if (row < 0 || row >= static_cast<int>(items_.size())) return;
  if (index < 0 || index >= static_cast<int>(sourceItems_.size())) return;
  const KeyPath path = sourceItems_[index].keyPath;
  if (path.isEmpty()) return;
  items_[row]->setSource(path);
  items_[row]->setSyncFlag(true);
  reloadTable();
}

int OutputPlugin::dataSourceIndexOfRow(int row) const {
  if (row < 0 || row >= static_cast<int>(items_.size())) return -1;
  const KeyPath path = items_[row]->syncArray();
  if (path.isEmpty()) return -1;
  const auto found =
      std::find_if(sourceItems_.begin(), sourceItems_.end(),
                   [&](const DataSourceMenuItem& item) { return item.keyPath == path; });
  return found == sourceItems_.end() ? -1 : static_cast<int>(found - sourceItems_.begin());
}

void OutputPlugin::dataSourcesChangedNotification() {
  if (DataSourceController* dsc = dataSourceController())
    sourceItems_ = dsc->getDataSourceMenuItemArray();
  reloadTable();
}

void OutputPlugin::reloadTable() {
  model_->update();
  if (!table_) return;
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == selectedItem_.load()) table_->selectRow(static_cast<int>(i));
}

// --- Selection and solo --------------------------------------------------------------------

void OutputPlugin::tableViewSelectionDidChange() {
  if (!table_) return;
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  const int row = rows.isEmpty() ? -1 : rows.front().row();
  selectedItem_.store(row >= 0 && row < static_cast<int>(items_.size()) ? items_[row].get()
                                                                        : nullptr);
}

void OutputPlugin::selectRow(int row) {
  if (table_) {
    if (row < 0)
      table_->clearSelection();
    else
      table_->selectRow(row);
    tableViewSelectionDidChange();
    return;
  }
  selectedItem_.store(row >= 0 && row < static_cast<int>(items_.size()) ? items_[row].get()
                                                                        : nullptr);
}

void OutputPlugin::soloToggleUsed(int value) { soloFlag_.store(value == 1); }

// --- Destination pop-up --------------------------------------------------------------------

QString OutputPlugin::fillDestinations(const QStringList& names, const QString& chosen) {
  if (!destinationButton_) return names.contains(chosen) ? chosen : kNone;
  destinationButton_->removeAllItems();
  destinationButton_->addItemWithTitle(kNone);
  for (const QString& name : names) destinationButton_->addItemWithTitle(name);
  destinationButton_->selectItemWithTitle(chosen.isEmpty() ? kNone : chosen);
  if (!destinationButton_->selectedItem()) destinationButton_->selectItemAtIndex(0);
  return destinationButton_->titleOfSelectedItem();
}

std::optional<long long> OutputPlugin::wholeNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
      const double number = value.toDouble();
      if (!std::isfinite(number)) return std::nullopt;
      return static_cast<long long>(std::clamp(number, -1e15, 1e15));
    }
    case QMetaType::QString: {
      bool ok = false;
      const long long number = value.toString().trimmed().toLongLong(&ok);
      return ok ? std::optional<long long>(number) : std::nullopt;
    }
    default:
      return std::nullopt;
  }
}
