#include "framework/toolkit/ThemeDict.h"

#include "framework/render/TheApplication.h"

namespace ThemeDict {

QColor color(const QVariantMap& dict, const QString& key, const QColor& fallback) {
  const QVariant value = dict.value(key);
  return value.typeId() == QMetaType::QColor ? value.value<QColor>() : fallback;
}

QFont font(const QVariantMap& dict, const QString& key, const QFont& fallback) {
  const QVariant value = dict.value(key);
  return value.typeId() == QMetaType::QFont ? value.value<QFont>() : fallback;
}

QVariantMap map(const QVariantMap& dict, const QString& key) {
  const QVariant value = dict.value(key);
  return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap{};
}

QVariantMap tableColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->tableColorDict() : QVariantMap{};
}

QVariantMap levelViewColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->levelViewColorDict() : QVariantMap{};
}

QVariantMap bezierColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->bezierColorDict() : QVariantMap{};
}

QVariantMap pluginColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->pluginColorDict() : QVariantMap{};
}

QVariantMap popUpColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->popUpColorDict() : QVariantMap{};
}

QVariantMap labelColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->labelColorDict() : QVariantMap{};
}

}  // namespace ThemeDict
