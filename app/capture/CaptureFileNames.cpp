#include "app/capture/CaptureFileNames.h"

#include <QDir>

QString CaptureFileNames::folder(const QString& userFolder, const QString& mediaFolder) {
  if (userFolder.isEmpty()) return QDir::cleanPath(mediaFolder);
  if (userFolder == QStringLiteral("~")) return QDir::homePath();
  if (userFolder.startsWith(QStringLiteral("~/")))
    return QDir::cleanPath(QDir::homePath() + userFolder.mid(1));
  return QDir::cleanPath(userFolder);
}

QString CaptureFileNames::timeStamp(const QDateTime& when) {
  return when.toLocalTime().toString(QStringLiteral("MM.dd-HH.mm.ss"));
}

QString CaptureFileNames::fileName(const QString& folder, const QString& tapName,
                                   const QDateTime& when,
                                   const std::function<bool(const QString&)>& exists) {
  const QString stem = QStringLiteral("%1/%2_%3").arg(folder, tapName, timeStamp(when));
  QString name = stem + QStringLiteral(".mov");
  for (long counter = 2; exists(name); ++counter)
    name = QStringLiteral("%1.%2.mov").arg(stem).arg(counter);
  return name;
}
