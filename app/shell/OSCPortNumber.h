#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// A port number typed into an OSC port table: a whole number from 1 to
// 65535 (surrounding spaces allowed). Anything else is refused with the
// reason, in words for the pane, so that no port silently becomes another.
namespace OSCPortNumber {

std::optional<int> parse(const QVariant& value, QString* reason = nullptr);

}  // namespace OSCPortNumber
