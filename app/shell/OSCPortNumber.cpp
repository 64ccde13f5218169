#include "app/shell/OSCPortNumber.h"

#include "platform/osc/OSCInPort.h"

namespace OSCPortNumber {

std::optional<int> parse(const QVariant& value, QString* reason) {
  const QString text = value.toString().trimmed();
  bool whole = false;
  const qlonglong number = text.toLongLong(&whole);
  if (whole && OSCInPort::isValidPortNumber(number)) return static_cast<int>(number);
  if (reason)
    *reason = QStringLiteral("“%1” is not a port number: ports run from 1 to 65535.").arg(text);
  return std::nullopt;
}

}  // namespace OSCPortNumber
