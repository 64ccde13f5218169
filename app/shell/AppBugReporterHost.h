#pragma once

#include "app/shell/QKBugReporterHost.h"

class AppController;

// The bug reporter's view of ZAPH: the preset manager's project and the
// crash reporter's console log and machine profile.
class AppBugReporterHost : public QKBugReporterHost {
 public:
  explicit AppBugReporterHost(AppController& app) : app_(app) {}

  bool readyToCreateProjectDictionary() override;
  std::optional<QVariantMap> createProjectFileDictionary() override;
  std::optional<QString> consoleLogString() override;
  std::optional<QVariantMap> systemProfilerDict() override;
  QString bundleVersion() override;

 private:
  AppController& app_;
};
