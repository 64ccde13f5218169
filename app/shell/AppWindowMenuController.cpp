#include "app/shell/AppWindowMenuController.h"

#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/WindowMenuControllerClient.h"
#include "platform/foundation/MainThread.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

namespace {

namespace N = PaletteNotifications;

struct KeyEquivalent {
  const char* title;
  const char* key;
};

constexpr KeyEquivalent kKeyEquivalents[] = {
    {"Preset Manager", "1"},     {"Slider/Button Inspector", "2"},
    {"Behavior Chains", "3"},    {"Layer Manager", "4"},
    {"Video FX Palette", "5"},   {"Media Inspector", "6"},
    {"Plugin Manager", "7"},     {"Clock", "8"},
    {"Live Input Manager", "9"},
};

}  // namespace

AppWindowMenuController::AppWindowMenuController(QMenu* windowMenu, QObject* parent)
    : QObject(parent), menu_(windowMenu) {
  lockItem_ = menu_->addAction(QStringLiteral("Lock Interface"));
  lockAllItem_ = menu_->addAction(QStringLiteral("Lock Interface and Title Bars"));
  for (QAction* item : {lockItem_, lockAllItem_}) item->setCheckable(true);
  connect(lockItem_, &QAction::triggered, this, [this] { lockInterfaceItemUsed(); });
  connect(lockAllItem_, &QAction::triggered, this, [this] { lockAllInterfaceItemUsed(); });
  menu_->addSeparator();
  paletteHeader_ = menu_->addAction(QStringLiteral("Palettes"));
  paletteHeader_->setEnabled(false);
  menu_->addSeparator();
  layerHeader_ = menu_->addAction(QStringLiteral("Layers"));
  layerHeader_->setEnabled(false);
  menu_->addSeparator();
  pluginHeader_ = menu_->addAction(QStringLiteral("Plugins"));
  pluginHeader_->setEnabled(false);
  observeNotifications();
}

AppWindowMenuController::~AppWindowMenuController() { observers_.clear(); }

void AppWindowMenuController::observeNotifications() {
  const auto onMain = [this](const char* name, std::function<void(const Notification&)> handler) {
    observers_.observe(QString::fromLatin1(name), nullptr, [handler](const Notification& n) {
      MainThread::run([handler, n] { handler(n); });
    });
  };
  // Answered at once, on the asking thread: the asker waits for it.
  observers_.observe(
      QString::fromLatin1(N::FindWindowMenuController), nullptr, [this](const Notification& n) {
        if (n.object) static_cast<WindowMenuControllerClient*>(n.object)->setMenuController(this);
      });
  onMain(N::AddPaletteWindow, [this](const Notification& n) {
    addPaletteWindow(static_cast<QKPaletteWindow*>(n.object));
  });
  onMain(N::AddLayerWindow, [this](const Notification& n) {
    addWindow(layerWindows_, static_cast<QKWindow*>(n.object));
  });
  onMain(N::AddPluginWindow, [this](const Notification& n) {
    addWindow(pluginWindows_, static_cast<QKWindow*>(n.object));
  });
  onMain(N::RemoveWindow, [this](const Notification& n) { removeWindow(n.object); });
  onMain(N::ReloadMenu, [this](const Notification&) { reloadMenuContents(); });
}

namespace {

template <typename Window>
bool listed(const std::vector<QPointer<Window>>& list, const void* window) {
  return std::any_of(list.begin(), list.end(), [window](const auto& entry) {
    return static_cast<const void*>(entry.data()) == window;
  });
}

}  // namespace

// A window shown again announces itself again: it keeps its one entry.
void AppWindowMenuController::addPaletteWindow(QKPaletteWindow* window) {
  if (window && !listed(paletteWindows_, window)) paletteWindows_.emplace_back(window);
  reloadMenuContents();
}

void AppWindowMenuController::addWindow(std::vector<QPointer<QKWindow>>& list, QKWindow* window) {
  if (window && !listed(list, window)) list.emplace_back(window);
  reloadMenuContents();
}

// The window may be on its way out: it is compared, never used. It leaves
// the first list that holds it.
void AppWindowMenuController::removeWindow(const void* window) {
  const auto same = [window](const auto& entry) {
    return static_cast<const void*>(entry.data()) == window;
  };
  if (listed(paletteWindows_, window))
    std::erase_if(paletteWindows_, same);
  else if (listed(layerWindows_, window))
    std::erase_if(layerWindows_, same);
  else
    std::erase_if(pluginWindows_, same);
  reloadMenuContents();
}

void AppWindowMenuController::reloadMenuContents() {
  // An entry may be the one being chosen right now: it goes later.
  for (QAction* entry : std::as_const(paletteEntries_) + std::as_const(layerEntries_) +
                            std::as_const(pluginEntries_)) {
    menu_->removeAction(entry);
    entry->deleteLater();
  }
  paletteEntries_.clear();
  layerEntries_.clear();
  pluginEntries_.clear();
  std::erase_if(paletteWindows_, [](const auto& window) { return window.isNull(); });
  std::stable_sort(
      paletteWindows_.begin(), paletteWindows_.end(),
      [](const auto& a, const auto& b) { return a->paletteStackOrder() < b->paletteStackOrder(); });
  // Each section's entries stand above the next header's separator.
  const auto separatorAbove = [this](QAction* header) {
    return menu_->actions().at(menu_->actions().indexOf(header) - 1);
  };
  QAction* beforeLayers = separatorAbove(layerHeader_);
  for (const auto& window : paletteWindows_) {
    QAction* entry = makeEntry(window.data());
    menu_->insertAction(beforeLayers, entry);
    paletteEntries_.append(entry);
  }
  std::erase_if(layerWindows_, [](const auto& window) { return window.isNull(); });
  QAction* beforePlugins = separatorAbove(pluginHeader_);
  for (const auto& window : layerWindows_) {
    QAction* entry = makeWindowEntry(window.data());
    menu_->insertAction(beforePlugins, entry);
    layerEntries_.append(entry);
  }
  std::erase_if(pluginWindows_, [](const auto& window) { return window.isNull(); });
  // QString's < compares code units: upper case before lower case.
  std::stable_sort(pluginWindows_.begin(), pluginWindows_.end(),
                   [](const auto& a, const auto& b) { return a->title() < b->title(); });
  for (const auto& window : pluginWindows_) {
    QAction* entry = makeWindowEntry(window.data());
    menu_->addAction(entry);
    pluginEntries_.append(entry);
  }
}

QAction* AppWindowMenuController::makeWindowEntry(QKWindow* window) {
  auto* entry = new QAction(window->title(), menu_);
  QPointer<QKWindow> target(window);
  connect(entry, &QAction::triggered, this, [target] {
    if (target) target->selectedInWindowMenu();
  });
  return entry;
}

QAction* AppWindowMenuController::makeEntry(QKPaletteWindow* window) {
  auto* entry = new QAction(window->title(), menu_);
  entry->setCheckable(true);
  entry->setChecked(window->isVisible());
  const QString key = keyEquivalentForTitle(window->title());
  if (!key.isEmpty()) {
    entry->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + key));
    // Palettes are windows of their own: the shortcut works from any of them.
    entry->setShortcutContext(Qt::ApplicationShortcut);
  }
  QPointer<QKPaletteWindow> target(window);
  connect(entry, &QAction::triggered, this, [target] {
    if (target) target->selectedInWindowMenu();
  });
  return entry;
}

QString AppWindowMenuController::keyEquivalentForTitle(const QString& title) {
  for (const KeyEquivalent& k : kKeyEquivalents)
    if (title == QLatin1String(k.title)) return QString::fromLatin1(k.key);
  return {};
}

void AppWindowMenuController::lockInterfaceItemUsed() {
  interfaceLock_ = !interfaceLock_;
  if (interfaceLock_) interfaceLockAll_ = false;
  postLockChanged();
}

void AppWindowMenuController::lockAllInterfaceItemUsed() {
  interfaceLockAll_ = !interfaceLockAll_;
  interfaceLock_ = false;
  postLockChanged();
}

void AppWindowMenuController::setLock(bool lock, bool lockAll) {
  if (interfaceLock_ != lock) lockInterfaceItemUsed();
  if (interfaceLockAll_ != lockAll) lockAllInterfaceItemUsed();
}

// The check marks show the flags; palettes learn of the change with the
// controller as the notification's object.
void AppWindowMenuController::postLockChanged() {
  lockItem_->setChecked(interfaceLock_);
  lockAllItem_->setChecked(interfaceLockAll_);
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::LockChanged),
                                           static_cast<WindowMenuControllerInterface*>(this));
}
