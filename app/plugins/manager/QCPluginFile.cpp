#include "app/plugins/manager/QCPluginFile.h"

#include "framework/render/QKQCComposition.h"

#include <QFileInfo>

bool QCPluginFile::isValidQCPluginAtPath(const QString& path) {
  return QKQCComposition::readFile(path).has_value();
}

bool QCPluginFile::hasCompositionExtension(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix();
  return suffix == QStringLiteral("qtz") || suffix == QStringLiteral("QTZ");
}
