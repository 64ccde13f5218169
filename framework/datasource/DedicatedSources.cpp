#include "framework/datasource/DedicatedSources.h"

#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "platform/foundation/UserDefaults.h"

DedicatedSources::DedicatedSources(QString defaultsKey, QString rawRoot, QString dedicatedRoot)
    : defaultsKey_(std::move(defaultsKey)),
      rawRoot_(std::move(rawRoot)),
      dedicatedRoot_(std::move(dedicatedRoot)) {}

QVariantMap DedicatedSources::dictionary() const {
  std::lock_guard<std::mutex> lock(mutex_);
  QVariantMap out;
  for (auto it = table_.cbegin(); it != table_.cend(); ++it) out.insert(it.key(), it.value());
  return out;
}

void DedicatedSources::setDictionary(const QVariantMap& dictionary) {
  QHash<QString, QString> table;
  for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
    if (it.value().typeId() == QMetaType::QString && !it.value().toString().isEmpty())
      table.insert(it.key(), it.value().toString());
  }
  std::lock_guard<std::mutex> lock(mutex_);
  table_ = std::move(table);
  empty_.store(table_.isEmpty());
}

QString DedicatedSources::dedicatedNameFor(const QString& rawName) const {
  if (empty_.load(std::memory_order_acquire)) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  return table_.value(rawName);
}

bool DedicatedSources::isEmpty() const { return empty_.load(std::memory_order_acquire); }

void DedicatedSources::saveToDefaults() const {
  const QVariantMap table = dictionary();
  UserDefaults& defaults = UserDefaults::standard();
  defaults.registerDefaults({{defaultsKey_, table}});
  defaults.setValue(defaultsKey_, table);
  defaults.synchronize();
}

void DedicatedSources::loadFromDefaults(DataSourceController* dsc) {
  if (!dsc) return;
  // Undo what the table holds now and what the last load applied: an entry
  // the preferences removed from the table still has its node moved back.
  QVariantMap undo = applied_;
  undo.insert(dictionary());
  for (auto it = undo.cbegin(); it != undo.cend(); ++it) {
    if (dsc->dataSourceForKeyArray({dedicatedRoot_, it.value().toString()}))
      dsc->changeNameFrom({dedicatedRoot_, it.value().toString()}, {rawRoot_, it.key()});
  }

  setDictionary(UserDefaults::standard().dictionaryValue(defaultsKey_));
  const QVariantMap loaded = dictionary();
  applied_ = loaded;
  if (loaded.isEmpty()) {
    if (dsc->dataSourceForKeyArray({dedicatedRoot_})) dsc->setDataSource(nullptr, {dedicatedRoot_});
    return;
  }
  if (!dsc->dataSourceForKeyArray({dedicatedRoot_}))
    dsc->setDataSource(DataSourceHolder::createWithName(dedicatedRoot_), {dedicatedRoot_});
  for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
    const QString dedicated = it.value().toString();
    if (dsc->dataSourceForKeyArray({rawRoot_, it.key()}))
      dsc->changeNameFrom({rawRoot_, it.key()}, {dedicatedRoot_, dedicated});
    else
      dsc->setDataSource(DSFloatInfrequent::createWithName(dedicated), {dedicatedRoot_, dedicated});
  }
}
