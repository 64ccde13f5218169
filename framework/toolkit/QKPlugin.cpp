#include "framework/toolkit/QKPlugin.h"

#include "framework/datasource/DataSourceNotifications.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

const QString QKPlugin::kName = QStringLiteral("name");
const QString QKPlugin::kUniqueID = QStringLiteral("uniqueID");
const QString QKPlugin::kWindowTitle = QStringLiteral("windowTitle");
const QString QKPlugin::kWindowSnap = QStringLiteral("windowSnap");
const QString QKPlugin::kSuperSnap = QStringLiteral("superSnap");

namespace {
namespace N = PaletteNotifications;
NotificationCenter& center() { return NotificationCenter::defaultCenter(); }
}  // namespace

QKPlugin::QKPlugin(const QString& name, const QString& windowTitle, std::int32_t uniqueID)
    : name_(name), windowTitle_(windowTitle), uniqueID_(uniqueID) {
  center().post(QString::fromLatin1(DataSourceNotifications::ControllerFinder),
                static_cast<DataSourceControllerClient*>(this));
  center().post(QString::fromLatin1(N::NewPlugin), this);
}

QKPlugin::~QKPlugin() {
  if (!deleted_) {
    Log::line(QStringLiteral("\t\terr: plug-in \"%1\" went without prepareToBeDeleted")
                  .arg(windowTitle_));
    detach();
  }
}

QKWindow* QKPlugin::window() {
  if (!windowLoaded_) loadWindow();
  return window_.get();
}

void QKPlugin::loadWindow() {
  windowLoaded_ = true;
  const LayoutRegistry* registry = LayoutRegistry::shared();
  std::unique_ptr<QWidget> built = registry ? registry->build(name_, this) : nullptr;
  if (auto* window = dynamic_cast<QKWindow*>(built.get())) {
    built.release();
    window_.reset(window);
    window_->awakeFromNib();
    awakeFromNib();
    return;
  }
  Log::line(QStringLiteral("\t\terr: no window layout for the plug-in type \"%1\"").arg(name_));
}

void QKPlugin::awakeFromNib() {
  if (!window_) return;
  window_->setTitle(windowTitle_);
  center().post(QString::fromLatin1(N::AddPluginWindow), window_.get());
}

void QKPlugin::setPluginName(const QString& name) {
  const QString old = windowTitle_;
  windowTitle_ = name;
  if (window_) window_->setTitle(name);
  if (!old.isEmpty() && !name.isEmpty())
    center().post(QString::fromLatin1(N::PluginRenamed), this,
                  {{QStringLiteral("oldName"), old}, {QStringLiteral("newName"), name}});
  center().post(QString::fromLatin1(N::ReloadMenu));
}

int QKPlugin::sortByPluginName(const QKPlugin& other) const {
  const int byName = QString::compare(name_, other.name_, Qt::CaseSensitive);
  const int order =
      byName != 0 ? byName : QString::compare(windowTitle_, other.windowTitle_, Qt::CaseSensitive);
  return (order > 0) - (order < 0);
}

QVariantMap QKPlugin::createSnapshot() const {
  QVariantMap snapshot{
      {kName, name_}, {kUniqueID, static_cast<qint64>(uniqueID_)}, {kWindowTitle, windowTitle_}};
  if (window_ && window_->contentView())
    snapshot.insert(kWindowSnap, window_->contentView()->createSnapshot());
  return snapshot;
}

void QKPlugin::loadSnapshot(const QVariantMap& snapshot) {
  QKWindow* w = window();
  if (!w || !w->contentView()) return;
  const QVariant frame = snapshot.value(kWindowSnap);
  w->contentView()->loadSnapshot(frame.isValid() ? frame.toMap() : snapshot);
}

void QKPlugin::prepareToBeDeleted() { detach(); }

void QKPlugin::detach() {
  deleted_ = true;
  if (window_) window_->prepareToBeDeleted();
}
