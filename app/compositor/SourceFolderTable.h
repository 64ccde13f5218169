#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The text-source or image-source compositions of the application's folder
// and the user's: file name to full path, a user file taking the place of an
// application file of the same name, and the menu titles sorted ignoring
// case (the image sources begin with "<Built-In Player>").
class SourceFolderTable {
 public:
  struct Kind {
    QString folderName;      // "qcTextSources" / "qcImageSources"
    QString requiredInput;   // "FileInput" / "imageFileInput"
    QString missingMessage;  // logged with the file name
    bool builtInPlayerFirst = false;
  };
  static const Kind& textSources();
  static const Kind& imageSources();
  static const QString kBuiltInPlayer;  // "<Built-In Player>"

  // `folders` in order, each ending in "/"; a later one wins a name.
  static SourceFolderTable scan(const Kind& kind, const QStringList& folders);
  // Whether the composition file publishes an input of that key.
  static bool publishesInput(const QString& path, const QString& key);

  QMap<QString, QString> paths;
  QStringList menuTitles;
};
