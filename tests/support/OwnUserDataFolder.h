#pragma once

#include "platform/foundation/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <QString>

// Gives the test an empty user data folder of its own for the life of the
// object, so files it writes there (themes, chain files, presets) are not
// read by the tests that run after it in the same process.
class OwnUserDataFolder {
 public:
  OwnUserDataFolder() : path_(TestEnvironment::makeTempDir(QStringLiteral("data"))) {
    Paths::setUserDataDirOverride(path_);
  }
  ~OwnUserDataFolder() { Paths::setUserDataDirOverride(QString()); }
  OwnUserDataFolder(const OwnUserDataFolder&) = delete;
  OwnUserDataFolder& operator=(const OwnUserDataFolder&) = delete;

  const QString& path() const { return path_; }

 private:
  QString path_;
};
