#include "app/shell/DedicatedSourcesEditor.h"

#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"

#include <algorithm>

namespace {

QString moveRefused(const QString& what) {
  return QStringLiteral("“%1” could not be moved in the source tree; nothing changed.").arg(what);
}

}  // namespace

DedicatedSourcesEditor::DedicatedSourcesEditor(QString rawRoot, QString dedicatedRoot,
                                               DataSourceController* dsc, Manager manager)
    : rawRoot_(std::move(rawRoot)),
      dedicatedRoot_(std::move(dedicatedRoot)),
      dsc_(dsc),
      manager_(std::move(manager)) {}

const DedicatedSourcesEditor::Row* DedicatedSourcesEditor::rowAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<std::size_t>(row)];
}

void DedicatedSourcesEditor::prepTableData() {
  rows_.clear();
  const QVariantMap mapping = manager_.dictionary();
  for (auto it = mapping.cbegin(); it != mapping.cend(); ++it)
    rows_.push_back({it.key(), it.value().toString()});
  std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) {
    return QString::compare(a.publishedName, b.publishedName, Qt::CaseInsensitive) < 0;
  });
}

bool DedicatedSourcesEditor::nodeAt(const QString& root, const QString& name) const {
  return dsc_ && dsc_->dataSourceForKeyArray({root, name}) != nullptr;
}

bool DedicatedSourcesEditor::publishedNameTaken(const QString& name, int exceptRow) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (static_cast<int>(i) != exceptRow && rows_[i].publishedName == name) return true;
  return nodeAt(dedicatedRoot_, name);
}

QString DedicatedSourcesEditor::firstFreeName(const QString& prefix, long first) const {
  for (long n = first;; ++n) {
    const QString name = prefix + QString::number(n);
    if (!publishedNameTaken(name, -1)) return name;
  }
}

bool DedicatedSourcesEditor::ensureDedicatedHolder(bool& made) {
  made = false;
  if (dsc_->dataSourceForKeyArray({dedicatedRoot_})) return true;
  made = dsc_->setDataSource(DataSourceHolder::createWithName(dedicatedRoot_), {dedicatedRoot_});
  return made;
}

void DedicatedSourcesEditor::removeDedicatedHolderIfEmpty() {
  const auto holder =
      std::dynamic_pointer_cast<DataSourceHolder>(dsc_->dataSourceForKeyArray({dedicatedRoot_}));
  if (holder && holder->elementDictCount() == 0) dsc_->setDataSource(nullptr, {dedicatedRoot_});
}

void DedicatedSourcesEditor::commit(const QVariantMap& mapping) {
  manager_.setDictionary(mapping);
  prepTableData();
  manager_.save();
}

DedicatedSourcesEditor::Result DedicatedSourcesEditor::dedicate(const QString& rawName) {
  if (!dsc_ || rawName.isEmpty()) return Result::unchanged();
  QVariantMap mapping = manager_.dictionary();
  if (mapping.contains(rawName)) return Result::unchanged();
  bool madeHolder = false;
  if (!ensureDedicatedHolder(madeHolder))
    return Result::refused(QStringLiteral("“%1” could not be made.").arg(dedicatedRoot_));
  const QString published = manager_.uniqueName();
  const bool taken = published.isEmpty() || publishedNameTaken(published, -1);
  bool placed = false;
  if (!taken) {
    placed = nodeAt(rawRoot_, rawName)
                 ? dsc_->changeNameFrom({rawRoot_, rawName}, {dedicatedRoot_, published})
                 : dsc_->setDataSource(DSFloatInfrequent::createWithName(published),
                                       {dedicatedRoot_, published});
  }
  if (!placed) {
    if (madeHolder) removeDedicatedHolderIfEmpty();
    return Result::refused(taken ? QStringLiteral("“%1” is already in use.").arg(published)
                                 : moveRefused(rawName));
  }
  mapping.insert(rawName, published);
  commit(mapping);
  return Result::changed();
}

DedicatedSourcesEditor::Result DedicatedSourcesEditor::setRawName(int row, const QString& rawName) {
  const Row* entry = rowAt(row);
  if (!dsc_ || !entry || rawName.isEmpty() || rawName == entry->rawName) return Result::unchanged();
  QVariantMap mapping = manager_.dictionary();
  if (mapping.contains(rawName)) return Result::unchanged();  // that input is dedicated already
  const Row old = *entry;
  if (!nodeAt(rawRoot_, rawName) &&
      !dsc_->setDataSource(DSFloatInfrequent::createWithName(rawName), {rawRoot_, rawName}))
    return Result::refused(moveRefused(rawName));
  const KeyPath published{dedicatedRoot_, old.publishedName};
  if (!dsc_->changeNameFrom(published, {rawRoot_, old.rawName}))
    return Result::refused(moveRefused(old.publishedName));
  if (!dsc_->changeNameFrom({rawRoot_, rawName}, published)) {
    dsc_->changeNameFrom({rawRoot_, old.rawName}, published);  // back as it was
    return Result::refused(moveRefused(rawName));
  }
  mapping.insert(rawName, old.publishedName);
  mapping.remove(old.rawName);
  commit(mapping);
  return Result::changed();
}

DedicatedSourcesEditor::Result DedicatedSourcesEditor::setPublishedName(int row,
                                                                        const QString& name) {
  const Row* entry = rowAt(row);
  if (!dsc_ || !entry || name.isEmpty() || name == entry->publishedName) return Result::unchanged();
  if (publishedNameTaken(name, row))
    return Result::refused(
        QStringLiteral("“%1” is already the name of another dedicated source.").arg(name));
  const Row old = *entry;
  if (!dsc_->changeNameFrom({dedicatedRoot_, old.publishedName}, {dedicatedRoot_, name}))
    return Result::refused(moveRefused(old.publishedName));
  QVariantMap mapping = manager_.dictionary();
  mapping.insert(old.rawName, name);
  commit(mapping);
  return Result::changed();
}

DedicatedSourcesEditor::Result DedicatedSourcesEditor::deleteRow(int row) {
  const Row* entry = rowAt(row);
  if (!dsc_ || !entry) return Result::unchanged();
  const Row old = *entry;
  // A dedication whose node has gone has nothing to move back: it is only
  // forgotten.
  if (nodeAt(dedicatedRoot_, old.publishedName) &&
      !dsc_->changeNameFrom({dedicatedRoot_, old.publishedName}, {rawRoot_, old.rawName}))
    return Result::refused(moveRefused(old.publishedName));
  QVariantMap mapping = manager_.dictionary();
  mapping.remove(old.rawName);
  removeDedicatedHolderIfEmpty();
  commit(mapping);
  return Result::changed();
}
