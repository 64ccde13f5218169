#include "app/plugins/manager/PluginBundle.h"

#include "app/plugins/manager/PluginBundleABI.h"
#include "framework/toolkit/QKPlugin.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

const QString kBundleSuffix = QStringLiteral(".bundle");

void* symbol(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

}  // namespace

QString PluginBundle::keyForEntry(const QString& entryName) {
  QString key = entryName;
  return key.remove(kBundleSuffix);
}

bool PluginBundle::isBundleFolder(const QString& path) {
  const QFileInfo info(path);
  return info.isDir() && info.fileName().endsWith(kBundleSuffix);
}

std::optional<PluginClass> PluginBundle::load(const QString& path, const QString& key,
                                              QString* why) {
  const auto fail = [why](const QString& reason) -> std::optional<PluginClass> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (!isBundleFolder(path)) return fail(QStringLiteral("not a bundle folder"));
  const QString object = path + QLatin1Char('/') + key + QStringLiteral(".so");
  if (!QFileInfo(object).isFile()) return fail(QStringLiteral("no %1 in it").arg(object));
  void* handle = dlopen(QFile::encodeName(object).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return fail(QString::fromLocal8Bit(dlerror()));
  const auto* version = static_cast<const int*>(symbol(handle, kZaphPluginAbiVersionSymbol));
  if (!version) return fail(QStringLiteral("it exports no %1").arg(kZaphPluginAbiVersionSymbol));
  if (*version != kZaphPluginAbiVersion)
    return fail(QStringLiteral("its ABI version is %1, ZAPH's is %2")
                    .arg(*version)
                    .arg(kZaphPluginAbiVersion));
  const auto create =
      reinterpret_cast<ZaphPluginCreateFunction>(symbol(handle, kZaphPluginCreateSymbol));
  const auto window =
      reinterpret_cast<ZaphPluginWindowFunction>(symbol(handle, kZaphPluginWindowSymbol));
  if (!create || !window)
    return fail(
        QStringLiteral("it lacks %1 or %2").arg(kZaphPluginCreateSymbol, kZaphPluginWindowSymbol));
  PluginClass loaded;
  loaded.create = [create](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::unique_ptr<QKPlugin>(create(&type, &name, uniqueID));
  };
  loaded.layout = [window](QObject* owner) { return std::unique_ptr<QWidget>(window(owner)); };
  return loaded;
}
