#include "framework/params/QCPanelMenus.h"

const QString QCPanelMenus::kSeparator = QStringLiteral("-");

QCPanelMenus::Menu QCPanelMenus::indexMenu(const QVariantMap& description) {
  Menu menu;
  const auto labels = description.constFind(QStringLiteral("indexLabels"));
  if (labels != description.constEnd()) {
    for (const QVariant& label : labels->toList())
      if (label.typeId() == QMetaType::QString) menu.items << label.toString();
  } else {
    const long last = description.value(QStringLiteral("inputMax")).toLongLong();
    for (long index = 0; index <= last; ++index) menu.items << QString::number(index);
  }
  const int wanted = description.value(QStringLiteral("defaultVal")).toInt();
  if (!menu.items.isEmpty()) menu.selected = wanted >= 0 && wanted < menu.items.size() ? wanted : 0;
  return menu;
}

QCPanelMenus::Menu QCPanelMenus::fontMenu(const QStringList& fonts, const QVariantMap& description,
                                          const QString& systemFont) {
  Menu menu{fonts, fonts.isEmpty() ? -1 : 0};
  if (fonts.isEmpty()) return menu;
  const auto wanted = description.constFind(QStringLiteral("defaultVal"));
  int found = wanted != description.constEnd() ? fonts.indexOf(wanted->toString()) : -1;
  if (found < 0) found = fonts.indexOf(systemFont);
  if (found >= 0) menu.selected = found;
  return menu;
}
