#include "app/capture/CaptureDestinations.h"

const QString CaptureDestinations::kNoneName = QStringLiteral("<none>");

namespace {
const QString kReasonKey = QStringLiteral("reason");
}

int CaptureDestinations::popUpIndex(const std::vector<QKPageListMenu::Item>& menu,
                                    const Destination& chosen) {
  if (chosen.tag != QKPageListMenu::kFollowMediaBinTag && chosen.tag < 0)
    return menu.empty() ? -1 : 0;
  for (size_t i = 0; i < menu.size(); ++i) {
    const QKPageListMenu::Item& item = menu[i];
    if (item.separator || item.tag != chosen.tag) continue;
    if (chosen.tag >= 0 || item.title.trimmed() == chosen.binName) return int(i);
  }
  return -1;
}

std::optional<CaptureDestinations::Destination> CaptureDestinations::destinationOfItem(
    const QKPageListMenu::Item& item) {
  if (item.separator || item.tag == QKPageListMenu::kInertTag) return std::nullopt;
  return Destination{item.tag, item.title.trimmed()};
}

std::optional<CaptureDestinations::Destination> CaptureDestinations::afterMenuUpdate(
    const Destination& current, const QVariantMap& reason, const QStringList& binTitles) {
  const QString why = reason.value(kReasonKey).toString();
  if (why == QStringLiteral("deleteFolder")) {
    if (current.binName == reason.value(QStringLiteral("deletedFolderName")).toString())
      return Destination{};
  } else if (why == QStringLiteral("deletedPlugin")) {
    if (current.tag == QKPageListMenu::kFollowMediaBinTag && !binTitles.contains(current.binName))
      return Destination{};
  } else if (why == QStringLiteral("changeFolderName") ||
             why == QStringLiteral("changePluginName")) {
    if (current.binName == reason.value(QStringLiteral("oldName")).toString())
      return Destination{current.tag, reason.value(QStringLiteral("newName")).toString()};
  }
  return std::nullopt;
}

QStringList CaptureDestinations::binTitles(const std::vector<QKPageListMenu::Item>& menu) {
  QStringList titles;
  for (const QKPageListMenu::Item& item : menu)
    if (!item.separator && item.tag == QKPageListMenu::kFollowMediaBinTag)
      titles.append(item.title.trimmed());
  return titles;
}
