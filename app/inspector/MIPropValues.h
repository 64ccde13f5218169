#pragma once

#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <optional>

// Reading the stored properties of a file the way the inspector does: a
// value of the wrong type reads as absent, a number must be finite.
namespace MIProps {

std::optional<double> number(const QVariantMap& props, const QString& key);
// The integer of a number; 0 when absent or not a number.
int flag(const QVariantMap& props, const QString& key);
bool boolValue(const QVariantMap& props, const QString& key);
std::optional<QVariantMap> map(const QVariantMap& props, const QString& key);
// A size (QSizeF, QSize, or {"width", "height"}); empty when absent.
QSizeF size(const QVariantMap& props, const QString& key);

// Whether the properties may be stored: each known key of its type, finite,
// and not negative where a size, count or duration is meant. The reason
// names the key when not.
bool validate(const QVariantMap& props, QString* reason);

}  // namespace MIProps
