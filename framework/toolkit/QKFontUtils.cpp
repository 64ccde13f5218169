#include "framework/toolkit/QKFontUtils.h"

#include "platform/threading/RWTryLock.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>

#include <algorithm>
#include <mutex>

namespace {

struct FontList {
  RWTryLock lock;
  QStringList families;
  bool built = false;
};

FontList& fontList() {
  static FontList list;
  return list;
}

// Once: a change of the font database rebuilds the list (on the main thread,
// where the application emits it).
void followFontChanges() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      QObject::connect(app, &QGuiApplication::fontDatabaseChanged, app,
                       [] { QKFontUtils::populateFontMenu(); });
  });
}

}  // namespace

void QKFontUtils::populateFontMenu() {
  followFontChanges();
  QStringList families = QFontDatabase::families();
  std::stable_sort(families.begin(), families.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  FontList& list = fontList();
  RWTryLock::WriteGuard guard(list.lock);
  if (!guard.ownsLock()) return;
  list.families = std::move(families);
  list.built = true;
}

QStringList QKFontUtils::fontMenuCopy() {
  FontList& list = fontList();
  bool built;
  {
    RWTryLock::ReadGuard guard(list.lock);
    built = list.built;
  }
  if (!built) populateFontMenu();
  RWTryLock::ReadGuard guard(list.lock);
  return list.families;
}

QMenu* QKFontUtils::makeFontMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  for (const QString& family : fontMenuCopy()) menu->addAction(family);
  return menu;
}
