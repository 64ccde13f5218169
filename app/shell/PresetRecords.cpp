#include "app/shell/PresetRecords.h"

#include "platform/foundation/Log.h"

#include <algorithm>
#include <numeric>

namespace PresetRecords {

namespace {

constexpr int kMaxGroupDepth = 32;
const QString kPresetNameKey = QStringLiteral("presetName");
const QString kGroupTypeKey = QStringLiteral("type");
const QString kGroupType = QStringLiteral("namedArray");
const QString kGroupArrayKey = QStringLiteral("array");

bool isNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
      return true;
    default:
      return false;
  }
}

bool isString(const QVariant& value) { return value.typeId() == QMetaType::QString; }

// The running index of the older layouts: an element without an index
// takes it, one with an index at or above it moves it past.
class Reader {
 public:
  QVariantList records;

  void readElements(const QVariantList& elements, int depth) {
    for (const QVariant& element : elements) {
      if (element.typeId() != QMetaType::QVariantMap) continue;
      const QVariantMap map = element.toMap();
      if (map.value(kGroupTypeKey).toString() == kGroupType && isString(map.value(kGroupTypeKey))) {
        readGroup(map, depth + 1);
        continue;
      }
      readRecord(map);
    }
  }

 private:
  void readRecord(QVariantMap record) {
    if (!isString(record.value(kNameKey))) record.insert(kNameKey, nameFromOlderKey(record));
    if (!isNumber(record.value(kIndexKey))) {
      record.insert(kIndexKey, tempLoadCount_++);
    } else {
      const qint64 index = record.value(kIndexKey).toLongLong();
      record.insert(kIndexKey, index);
      if (index >= tempLoadCount_) tempLoadCount_ = index + 1;
    }
    if (!isString(record.value(kTypeKey))) record.insert(kTypeKey, kEverything);
    records.append(record);
  }

  // Inside a group only the older leaves count, and keep only their name.
  void readGroup(const QVariantMap& group, int depth) {
    if (depth > kMaxGroupDepth) {
      Log::line(QStringLiteral("\t\terr: preset groups nested deeper than %1; skipped")
                    .arg(kMaxGroupDepth));
      return;
    }
    const QVariant array = group.value(kGroupArrayKey);
    if (array.typeId() != QMetaType::QVariantList) return;
    for (const QVariant& element : array.toList()) {
      if (element.typeId() != QMetaType::QVariantMap) continue;
      const QVariantMap map = element.toMap();
      if (!map.contains(kGroupTypeKey)) {
        records.append(QVariantMap{{kNameKey, nameFromOlderKey(map)},
                                   {kIndexKey, tempLoadCount_++},
                                   {kTypeKey, kEverything}});
      } else if (isString(map.value(kGroupTypeKey)) &&
                 map.value(kGroupTypeKey).toString() == kGroupType) {
        readGroup(map, depth + 1);
      }
    }
  }

  static QString nameFromOlderKey(const QVariantMap& map) {
    const QVariant name = map.value(kPresetNameKey);
    return isString(name) ? name.toString() : QString();
  }

  qint64 tempLoadCount_ = 1;
};

}  // namespace

QStringList snapshotKeys(const QString& kind) {
  if (kind == kEverything)
    return {kCompositorSnapshotKey, kPluginManagerSnapshotKey, kWindowPositionSnapshotKey};
  if (kind == kPlugins) return {kPluginManagerSnapshotKey};
  if (kind == kLayers) return {kCompositorSnapshotKey};
  if (kind == kLayerFX) return {kLayerFXSnapshotKey, kLayerFXShortcutSnapshotKey};
  return {};
}

qint64 indexOf(const QVariant& record) {
  const QVariant index = record.toMap().value(kIndexKey);
  return isNumber(index) ? index.toLongLong() : -1;
}

QString nameOf(const QVariant& record) {
  const QVariant name = record.toMap().value(kNameKey);
  return isString(name) ? name.toString() : QString();
}

QString kindOf(const QVariant& record) {
  const QVariant kind = record.toMap().value(kTypeKey);
  return isString(kind) ? kind.toString() : QString();
}

QVector<int> arrangedOrder(const QVariantList& records) {
  QVector<int> order(records.size());
  std::iota(order.begin(), order.end(), 0);
  QVector<qint64> indices(records.size());
  for (int i = 0; i < records.size(); ++i) indices[i] = indexOf(records[i]);
  std::stable_sort(order.begin(), order.end(),
                   [&indices](int a, int b) { return indices[a] < indices[b]; });
  return order;
}

bool nameExists(const QString& name, const QVariantList& records) {
  return std::any_of(records.begin(), records.end(),
                     [&name](const QVariant& record) { return nameOf(record) == name; });
}

QString uniqueName(const QVariantList& records) {
  for (qint64 n = 1;; ++n) {
    const QString name = QStringLiteral("untitled %1").arg(n);
    if (!nameExists(name, records)) return name;
  }
}

void placeBelowSelectedRow(QVariantList& records, int newPosition, int selectedRow) {
  if (selectedRow < 0) return;
  for (int i = 0; i < records.size(); ++i) {
    QVariantMap record = records[i].toMap();
    if (i == newPosition) {
      record.insert(kIndexKey, qint64(selectedRow) + 1);
    } else if (indexOf(record) > selectedRow) {
      record.insert(kIndexKey, indexOf(record) + 1);
    } else {
      continue;
    }
    records[i] = record;
  }
}

void renumber(QVariantList& records, const QVector<int>& order) {
  for (int row = 0; row < order.size(); ++row) {
    QVariantMap record = records[order[row]].toMap();
    record.insert(kIndexKey, qint64(row));
    records[order[row]] = record;
  }
}

int stepToKind(const QVariantList& records, const QVector<int>& order, int selectedRow,
               const QString& kind, bool forward) {
  const int n = order.size();
  if (selectedRow < 0 || selectedRow >= n) return -1;
  const auto isKind = [&](int row) { return kindOf(records[order[row]]) == kind; };
  if (forward) {
    for (int row = selectedRow + 1; row < n; ++row)
      if (isKind(row)) return row;
    for (int row = 0; row < selectedRow; ++row)
      if (isKind(row)) return row;
  } else {
    for (int row = selectedRow - 1; row >= 0; --row)
      if (isKind(row)) return row;
    for (int row = n - 1; row > selectedRow; --row)
      if (isKind(row)) return row;
  }
  return -1;
}

int stepToAny(int rowCount, int selectedRow, bool forward) {
  if (rowCount < 2 || selectedRow < 0 || selectedRow >= rowCount) return -1;
  if (forward) return selectedRow + 1 < rowCount ? selectedRow + 1 : 0;
  return selectedRow > 0 ? selectedRow - 1 : rowCount - 1;
}

QVariantList readPresets(const QVariantList& elements) {
  Reader reader;
  reader.readElements(elements, 0);
  renumber(reader.records, arrangedOrder(reader.records));
  return reader.records;
}

}  // namespace PresetRecords
