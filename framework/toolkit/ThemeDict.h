#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QVariantMap>

// Typed reads of the interface colour dictionaries. A missing or mistyped
// entry answers the fallback (Qt's default when none is given), never throws.
namespace ThemeDict {

QColor color(const QVariantMap& dict, const QString& key, const QColor& fallback = {});
QFont font(const QVariantMap& dict, const QString& key, const QFont& fallback = {});
QVariantMap map(const QVariantMap& dict, const QString& key);

// The application's dictionaries (empty without a TheApplication).
QVariantMap tableColors();
QVariantMap levelViewColors();
QVariantMap popUpColors();
QVariantMap labelColors();
QVariantMap bezierColors();
QVariantMap pluginColors();

}  // namespace ThemeDict
