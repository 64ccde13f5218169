#include "app/compositor/CompModeLists.h"

#include "platform/foundation/Log.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QSet>

const QString CompModeLists::kDivider = QStringLiteral("divider");
const QString CompModeLists::kFilterKind = QStringLiteral("CoreImage comp. mode");
const QString CompModeLists::kBlendKind = QStringLiteral("OpenGL blend mode");
const QString CompModeLists::kQCKind = QStringLiteral("QC Comp. mode");
const QString CompModeLists::kAddTitle = QStringLiteral("OpenGL Add");
const QString CompModeLists::kOverTitle = QStringLiteral("OpenGL Over");

namespace {
constexpr long kSrcAlpha = 770;          // GL_SRC_ALPHA
constexpr long kOneMinusSrcAlpha = 771;  // GL_ONE_MINUS_SRC_ALPHA
constexpr long kDstAlpha = 772;          // GL_DST_ALPHA
}  // namespace

void CompModeLists::append(const QString& title, const QString& name, const QString& tag) {
  humanNames << title;
  names << name;
  tags << tag;
}

QString CompModeLists::blendIdentifier(long source, long destination) {
  return QStringLiteral("%1:%2").arg(source).arg(destination);
}

bool CompModeLists::hasCompositionExtension(const QString& fileName) {
  const QString extension = QFileInfo(fileName).suffix();
  return extension == QLatin1String("qtz") || extension == QLatin1String("QTZ");
}

QStringList CompModeLists::compositionNames(const QStringList& folders, const ValidCheck& isValid) {
  QStringList accepted;
  QSet<QString> seen;
  for (const QString& folder : folders) {
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& entry : entries) {
      if (!hasCompositionExtension(entry)) continue;
      const QString path = folder + entry;
      if (seen.contains(entry)) {
        Log::line(QStringLiteral("\t\terr: ignoring duplicate qcCompMode at:%1").arg(path));
        continue;
      }
      if (!isValid(path)) continue;
      seen.insert(entry);
      accepted << entry;
    }
  }
  return accepted;
}

CompModeLists CompModeLists::build(const QStringList& filterNames, const Localizer& localized,
                                   const QStringList& folders, const ValidCheck& isValid) {
  CompModeLists lists;
  for (const QString& name : filterNames) lists.append(localized(name), name, kFilterKind);
  lists.appendDivider();
  lists.append(kAddTitle, blendIdentifier(kSrcAlpha, kDstAlpha), kBlendKind);
  lists.append(kOverTitle, blendIdentifier(kSrcAlpha, kOneMinusSrcAlpha), kBlendKind);
  lists.appendDivider();
  QStringList compositions = compositionNames(folders, isValid);
  compositions.sort(Qt::CaseInsensitive);
  for (const QString& name : compositions) lists.append(name, name, kQCKind);
  return lists;
}

std::unique_ptr<QMenu> CompModeLists::makeMenu() const {
  auto menu = std::make_unique<QMenu>();
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(9);
  const auto count = std::min(humanNames.size(), tags.size());
  for (qsizetype i = 0; i < count; ++i) {
    if (humanNames[i] == kDivider) {
      menu->addSeparator();
      continue;
    }
    QAction* item = menu->addAction(humanNames[i]);
    item->setToolTip(tags[i]);
    item->setFont(font);
    item->setData(QStringList{names.value(i), tags[i]});
  }
  return menu;
}

void CompModeLists::fillPopUp(QComboBox& box) const {
  for (qsizetype i = 0; i < humanNames.size(); ++i) {
    if (humanNames[i] == kDivider)
      box.insertSeparator(box.count());
    else
      box.addItem(humanNames[i], int(i));
  }
}
