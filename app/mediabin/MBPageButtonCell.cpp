#include "app/mediabin/MBPageButtonCell.h"

#include "platform/foundation/VariantNumbers.h"

const QString MBPageButtonCell::kSuperSnapKey = QStringLiteral("superSnap");
const QString MBPageButtonCell::kPageIdKey = QStringLiteral("pageId");

std::shared_ptr<MBPageButtonCell> MBPageButtonCell::create() {
  std::shared_ptr<MBPageButtonCell> cell(new MBPageButtonCell);
  cell->didCreate();
  return cell;
}

QVariantMap MBPageButtonCell::createSnapshot() const {
  return {{kSuperSnapKey, QKButtonCell::createSnapshot()}, {kPageIdKey, qint64(pageId())}};
}

void MBPageButtonCell::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  const QVariant super = snapshot.value(kSuperSnapKey);
  if (super.typeId() == QMetaType::QVariantMap)
    QKButtonCell::loadSnapshot(super.toMap(), andOutput);
  const QVariant id = snapshot.value(kPageIdKey);
  if (VariantNumbers::isNumber(id, true)) setPageId(long(id.toLongLong()));
}
