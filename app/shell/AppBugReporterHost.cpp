#include "app/shell/AppBugReporterHost.h"

#include "app/shell/AppController.h"
#include "app/shell/PresetManager.h"
#include "platform/net/QKCrashReporter.h"

bool AppBugReporterHost::readyToCreateProjectDictionary() {
  PresetManager* presets = app_.presetManager();
  return presets && presets->readyToCreateProjectDictionary();
}

std::optional<QVariantMap> AppBugReporterHost::createProjectFileDictionary() {
  PresetManager* presets = app_.presetManager();
  return presets ? presets->createProjectFileDictionary() : std::nullopt;
}

std::optional<QString> AppBugReporterHost::consoleLogString() {
  QKCrashReporter* reporter = app_.crashReporter();
  return reporter ? reporter->consoleLogString() : std::nullopt;
}

std::optional<QVariantMap> AppBugReporterHost::systemProfilerDict() {
  QKCrashReporter* reporter = app_.crashReporter();
  return reporter ? reporter->systemProfilerDict() : std::nullopt;
}

QString AppBugReporterHost::bundleVersion() { return QStringLiteral(ZAPH_BUNDLE_VERSION); }
