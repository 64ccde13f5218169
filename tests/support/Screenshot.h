#pragma once

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QImage>
#include <QString>

// Saves a picture a test made of a window, so that a person can look at it:
// into $ZAPH_SCREENSHOT_DIR when set, otherwise into the test's temporary
// home. Answers the path, empty when the picture could not be written.
inline QString saveScreenshot(const QImage& image, const QString& name) {
  QString dir = qEnvironmentVariable("ZAPH_SCREENSHOT_DIR");
  if (dir.isEmpty()) dir = TestEnvironment::rootDir();
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
  return image.save(path) ? path : QString();
}
