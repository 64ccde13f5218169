#include "framework/media/PageMenuChoice.h"

#include "framework/media/QKPageListMenu.h"
#include "framework/toolkit/QKNSPopUpButton.h"

#include <QMenu>

namespace {
QAction* firstItem(const QMenu* menu) {
  for (QAction* action : menu->actions())
    if (!action->isSeparator() && !action->menu()) return action;
  return nullptr;
}

QAction* itemWhere(const QMenu* menu, const std::function<bool(const QAction*)>& matches) {
  for (QAction* action : menu->actions())
    if (!action->isSeparator() && matches(action)) return action;
  return nullptr;
}
}  // namespace

void PageMenuChoice::remember(const QAction* selected, const QVariantMap& reason,
                              bool followsMediaBins) {
  lastSelectedName_.clear();
  if (selected) {
    lastSelectedName_ = selected->text();
    lastSelectedTag_ = QKNSPopUpButton::tag(selected);
  } else {
    lastSelectedTag_ = QKPageListMenu::kNoneTag;
  }
  const QString why = reason.value(QStringLiteral("reason")).toString();
  const auto renamed = [&] {
    if (lastSelectedName_ == reason.value(QStringLiteral("oldName")).toString())
      lastSelectedName_ = reason.value(QStringLiteral("newName")).toString();
  };
  if (why == QLatin1String("deleteFolder")) {
    if (lastSelectedName_ == reason.value(QStringLiteral("deletedFolderName")).toString())
      lastSelectedName_.clear();
  } else if (why == QLatin1String("changeFolderName")) {
    renamed();
  } else if (why == QLatin1String("changePluginName") && followsMediaBins) {
    renamed();
  }
}

QAction* PageMenuChoice::choose(const QMenu* menu) {
  if (!menu) return nullptr;
  QAction* chosen = nullptr;
  if (lastSelectedTag_ == QKPageListMenu::kFollowMediaBinTag && !lastSelectedName_.isEmpty()) {
    chosen = itemWhere(menu, [&](const QAction* a) { return a->text() == lastSelectedName_; });
  } else if (lastSelectedTag_ >= 0) {
    chosen = itemWhere(
        menu, [&](const QAction* a) { return QKNSPopUpButton::tag(a) == lastSelectedTag_; });
  } else {
    return firstItem(menu);
  }
  if (!chosen) {
    lastSelectedName_.clear();
    chosen = firstItem(menu);
  }
  return chosen;
}
