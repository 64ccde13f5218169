#include "app/plugins/manager/PluginRegistry.h"

#include "app/plugins/manager/PluginBundle.h"
#include "app/plugins/manager/QCPluginFile.h"
#include "platform/foundation/Log.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

void PluginRegistry::load(const std::vector<Entry>& builtIns, const QStringList& folders,
                          const PluginClass& compositionClass) {
  classes_.clear();
  order_.clear();
  for (const auto& [type, pluginClass] : builtIns) enter(type, pluginClass);
  for (const QString& folder : folders) loadFolder(folder, compositionClass);
  sorted_ = order_;
  std::stable_sort(sorted_.begin(), sorted_.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
}

const PluginClass* PluginRegistry::classFor(const QString& type) const {
  const auto found = classes_.constFind(type);
  return found == classes_.constEnd() ? nullptr : &found.value();
}

void PluginRegistry::enter(const QString& type, const PluginClass& pluginClass) {
  if (!classes_.contains(type)) order_.append(type);
  classes_.insert(type, pluginClass);
}

void PluginRegistry::loadFolder(const QString& folder, const PluginClass& compositionClass) {
  const QDir dir(folder);
  if (!dir.exists()) return;
  // Listing order: by name, so that a registry is the same on every start.
  const QStringList entries =
      dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& entry : entries) {
    if (entry.startsWith(QLatin1Char('.'))) continue;
    if (classes_.contains(QFileInfo(entry).completeBaseName())) continue;
    if (isFormOfComposition(entries, entry)) continue;
    const QString path = QDir::cleanPath(folder) + QLatin1Char('/') + entry;
    if (QCPluginFile::hasCompositionExtension(entry)) {
      if (QCPluginFile::isValidQCPluginAtPath(path)) enter(entry, compositionClass);
      continue;
    }
    loadBundle(path, entry);
  }
}

bool PluginRegistry::isFormOfComposition(const QStringList& entries, const QString& entry) {
  const QFileInfo file(entry);
  if (file.suffix() != QStringLiteral("ui")) return false;
  const QString base = file.completeBaseName();
  return entries.contains(base + QStringLiteral(".qtz")) ||
         entries.contains(base + QStringLiteral(".QTZ"));
}

void PluginRegistry::loadBundle(const QString& path, const QString& entryName) {
  const QString key = PluginBundle::keyForEntry(entryName);
  QString why;
  std::optional<PluginClass> loaded = PluginBundle::load(path, key, &why);
  if (loaded) {
    enter(key, *loaded);
    return;
  }
  Log::line(QStringLiteral("\t\terror: couldn't find the bundle at %1 (%2)").arg(path, why));
  Log::line(QStringLiteral("\t\terror: couldn't find the class %1 in it's bundle, the principal "
                           "is (null)")
                .arg(key));
}
