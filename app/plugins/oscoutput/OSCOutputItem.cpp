#include "app/plugins/oscoutput/OSCOutputItem.h"

#include "app/plugins/oscoutput/OSCOutput.h"
#include "platform/foundation/Log.h"
#include "platform/osc/OSCFloatBundleWriter.h"

const QString OSCOutputItem::kAddress = QStringLiteral("address");

OSCOutputItem::OSCOutputItem(DataSourceController* controller, OSCOutput* output)
    : OutputItem(controller, EmptyPath::WaitsForAPath), output_(output) {}

std::shared_ptr<OSCOutputItem> OSCOutputItem::create(DataSourceController* controller,
                                                     OSCOutput* output) {
  return std::make_shared<OSCOutputItem>(controller, output);
}

bool OSCOutputItem::isValidAddress(const QString& address) {
  if (!address.startsWith(QLatin1Char('/'))) return false;
  static const QString forbidden = QStringLiteral("#*,?[]{}");
  for (const QChar c : address)
    if (c.isSpace() || c.category() == QChar::Other_Control || forbidden.contains(c)) return false;
  return true;
}

QString OSCOutputItem::address() const {
  std::lock_guard<std::mutex> lock(addressMutex_);
  return address_;
}

bool OSCOutputItem::editAddress(const QString& address) {
  if (!isValidAddress(address)) return false;
  setAddress(address);
  return true;
}

void OSCOutputItem::setAddress(const QString& address) {
  const QByteArray encoded =
      isValidAddress(address) ? OSCFloatBundleWriter::encodeAddress(address) : QByteArray();
  std::lock_guard<std::mutex> lock(addressMutex_);
  address_ = address;
  encoded_ = encoded;
  reportedInvalid_.store(false);
}

bool OSCOutputItem::valueChanged(float value) {
  // A muted value is not recorded: after solo the row compares with what
  // it last queued.
  if (!output_ || !output_->soloLets(this)) return false;
  QByteArray encoded;
  {
    std::lock_guard<std::mutex> lock(addressMutex_);
    encoded = encoded_;
  }
  if (encoded.isEmpty()) {
    if (!reportedInvalid_.exchange(true))
      Log::line(QStringLiteral("\t\terr: OSC output row sends nothing: \"%1\" is no OSC address")
                    .arg(address()));
    return false;
  }
  output_->sendThisMessage(encoded, value);
  return true;
}

QVariantMap OSCOutputItem::createSnapshot() const {
  QVariantMap snapshot;
  addSourceToSnapshot(snapshot);
  const QString text = address();
  if (!text.isNull()) snapshot.insert(kAddress, text);
  return snapshot;
}

void OSCOutputItem::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant text = snapshot.value(kAddress);
  if (text.typeId() == QMetaType::QString) setAddress(text.toString());
  loadSourceFromSnapshot(snapshot);
}
