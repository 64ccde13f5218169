#pragma once

#include "platform/foundation/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A user data folder and a shipped resources folder of their own, each
// with its "waves" folder, for the life of a test.
class WavesFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(user_.isValid() && shipped_.isValid());
    Paths::setUserDataDirOverride(user_.path());
  }
  void TearDown() override {
    Paths::setUserDataDirOverride({});
    Paths::setResourcesDirOverride({});
  }

  // The shipped folder stands in for the resources (images are then gone).
  void useShippedFolder() {
    QDir(shipped_.path()).mkpath(QStringLiteral("waves"));
    Paths::setResourcesDirOverride(shipped_.path());
  }
  QString userWaves() const { return user_.path() + QStringLiteral("/waves"); }
  QString shippedWaves() const { return shipped_.path() + QStringLiteral("/waves"); }

  static void writeFile(const QString& folder, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  QTemporaryDir user_;
  QTemporaryDir shipped_;
};
