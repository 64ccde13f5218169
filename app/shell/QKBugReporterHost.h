#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// What the bug reporter needs of the rest of the program: the project that
// is open (through the preset manager), the console log and machine profile
// (through the crash reporter) and the version. Main thread only.
class QKBugReporterHost {
 public:
  virtual ~QKBugReporterHost() = default;
  // False means stop: the user declined (a project without presets).
  virtual bool readyToCreateProjectDictionary() = 0;
  virtual std::optional<QVariantMap> createProjectFileDictionary() = 0;
  virtual std::optional<QString> consoleLogString() = 0;
  virtual std::optional<QVariantMap> systemProfilerDict() = 0;
  virtual QString bundleVersion() = 0;
};
