#include "framework/render/QCUtils.h"

#include "framework/render/QKQCComposition.h"
#include "framework/render/TheApplication.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

const QString QCUtils::kEffectsFolder = QStringLiteral("qcFX");
const QString QCUtils::kCompModesFolder = QStringLiteral("qcCompModes");
const QString QCUtils::kPluginsFolder = QStringLiteral("plugins");
const QString QCUtils::kDefaultCompMode =
    QStringLiteral("Crossfade.") + QLatin1String(composition::kCompositionExtension);

// What one kind of composition must publish, and where it may lie without.
struct QCUtils::Kind {
  QString folder;
  bool (*accepts)(const QStringList& inputKeys);
  QString missingInputs;  // for the warning about a file accepted without them
  bool logUnreadable;
};

namespace {

bool hasImageInput(const QStringList& keys) {
  return std::any_of(keys.begin(), keys.end(),
                     [](const QString& key) { return QCUtils::imageInputKeys().contains(key); });
}

bool hasCompModeInputs(const QStringList& keys) {
  return std::all_of(QCUtils::compModeInputKeys().begin(), QCUtils::compModeInputKeys().end(),
                     [&](const QString& key) { return keys.contains(key); });
}

// Whether the file lies directly in one of the folders.
bool liesDirectlyIn(const QString& file, const QStringList& folders) {
  const QString parent = QFileInfo(file).absoluteDir().canonicalPath();
  return !parent.isEmpty() && std::any_of(folders.begin(), folders.end(), [&](const QString& f) {
    return QDir(f).canonicalPath() == parent;
  });
}

}  // namespace

const QStringList& QCUtils::imageInputKeys() {
  static const QStringList keys = {
      QStringLiteral("inputImage"),         QStringLiteral("InputImage"),
      QStringLiteral("inputimage"),         QStringLiteral("input image"),
      QStringLiteral("Input Image"),        QStringLiteral("input_image"),
      QStringLiteral("Input_Image"),        QStringLiteral("_protocolInput_Image"),
      QStringLiteral("protocolInput_Image")};
  return keys;
}

const QStringList& QCUtils::compModeInputKeys() {
  static const QStringList keys = {QStringLiteral("foreground"), QStringLiteral("background"),
                                   QStringLiteral("opacity")};
  return keys;
}

bool QCUtils::isValidQCFXAtPath(const QString& path) {
  static const Kind kind{kEffectsFolder, hasImageInput, QStringLiteral("a supported image input"),
                         false};
  return isValidAtPath(path, kind);
}

bool QCUtils::isValidQCCompModeAtPath(const QString& path) {
  static const Kind kind{kCompModesFolder, hasCompModeInputs,
                         QStringLiteral("the foreground, background and opacity inputs"), true};
  return isValidAtPath(path, kind);
}

bool QCUtils::isValidAtPath(const QString& path, const Kind& kind) {
  if (path.isEmpty()) return false;
  const QStringList folders = Paths::namedFolderSearchList(kind.folder);
  QString readPath = path;
  std::optional<QVariantMap> file = QKQCComposition::readFile(path);
  if (!file && kind.logUnreadable) Log::line(QStringLiteral("\t\terr: no qcComp at: %1").arg(path));
  for (int i = 0; !file && i < folders.size(); ++i) {
    readPath = folders[i] + QLatin1Char('/') + path;
    file = QKQCComposition::readFile(readPath);
  }
  if (!file || file->value(QStringLiteral("rootPatch")).typeId() != QMetaType::QVariantMap)
    return false;
  const QStringList keys =
      QKQCComposition::publishedKeys(QKQCComposition::rootState(*file).value_or(QVariantMap()),
                                     QStringLiteral("publishedInputPorts"));
  if (kind.accepts(keys)) return true;
  if (!liesDirectlyIn(readPath, folders)) return false;
  Log::line(QStringLiteral("err: %1 was found in %2 folder, but may not work properly when loaded "
                           "because it did not have %3")
                .arg(QFileInfo(readPath).fileName(), kind.folder, kind.missingInputs));
  return true;
}

QString QCUtils::categoryForQCFXAtPath(const QString& path) {
  const std::optional<QVariantMap> file = QKQCComposition::readFile(path);
  if (!file) return {};
  const QVariant category = file->value(QStringLiteral("category"));
  return category.typeId() == QMetaType::QString ? category.toString() : QString();
}

QStringList QCUtils::searchFolders(const QString& folderName) {
  QStringList folders;
  for (const QString& folder : Paths::namedFolderSearchList(folderName))
    folders << folder + QLatin1Char('/');
  const QString custom = TheApplication::pathToCustomUserFolder();
  if (!custom.isEmpty()) folders << custom + QLatin1Char('/') + folderName + QLatin1Char('/');
  return folders;
}

QString QCUtils::pathNamed(const QString& name, const QString& folderName) {
  if (name.isEmpty()) return {};
  for (const QString& folder : searchFolders(folderName)) {
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    if (entries.contains(name)) return folder + name;
  }
  return {};
}

QString QCUtils::pathForQCFXNamed(const QString& name) { return pathNamed(name, kEffectsFolder); }

QString QCUtils::pathForQCCompModeNamed(const QString& name) {
  return pathNamed(name, kCompModesFolder);
}

QString QCUtils::pathForQCPluginNamed(const QString& name) {
  return pathNamed(name, kPluginsFolder);
}

QString QCUtils::defaultQCCompModePath() {
  const auto valid = [](const QString& name) {
    const QString path = pathForQCCompModeNamed(name);
    return !path.isEmpty() && isValidQCCompModeAtPath(path);
  };
  if (valid(kDefaultCompMode)) return kDefaultCompMode;
  QStringList names;
  for (const QString& folder : Paths::namedFolderSearchList(kCompModesFolder))
    names << QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
  names.removeDuplicates();
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  for (const QString& name : names)
    if (valid(name)) return name;
  return {};
}
