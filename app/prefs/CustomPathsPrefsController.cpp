#include "app/prefs/CustomPathsPrefsController.h"

#include "app/prefs/PrefsController.h"
#include "app/prefs/PrefsDefaults.h"
#include "app/prefs/PrefsHost.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

const QString CustomPathsPrefsController::kUserFolderKey = QStringLiteral("QCUserDirectoryPath");
const QString CustomPathsPrefsController::kRecordingsFolderKey =
    QStringLiteral("UserVideoCaptureDirectoryPath");
const QString CustomPathsPrefsController::kDefaultUserFolder =
    QStringLiteral("~/.local/share/ZAPH/");
const QString CustomPathsPrefsController::kDefaultRecordingsFolder =
    QStringLiteral("~/Videos/Recordings/");

const QStringList& CustomPathsPrefsController::subfolderNames() {
  static const QStringList names = {QStringLiteral("qcFX"), QStringLiteral("qcTextSources"),
                                    QStringLiteral("plugins"), QStringLiteral("qcCompModes"),
                                    QStringLiteral("qcImageSources")};
  return names;
}

CustomPathsPrefsController::CustomPathsPrefsController(PrefsController* prefsController,
                                                       QWidget* parent)
    : QWidget(parent), prefsController_(prefsController) {
  setObjectName(QStringLiteral("User Paths"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  qcUserDirectoryPathField_ = new QLineEdit(this);
  liveRecordingPathField_ = new QLineEdit(this);
  qcUserDirectoryPathField_->setObjectName(QStringLiteral("qcUserDirectoryPathField"));
  liveRecordingPathField_->setObjectName(QStringLiteral("liveRecordingPathField"));
  form->addRow(QStringLiteral("Compositions"), qcUserDirectoryPathField_);
  form->addRow(QStringLiteral("Recordings"), liveRecordingPathField_);
  layout->addLayout(form);
  auto* rescan = new QPushButton(QStringLiteral("Search All Paths"), this);
  layout->addWidget(rescan, 0, Qt::AlignLeft);
  layout->addStretch(1);
  for (QLineEdit* field : {qcUserDirectoryPathField_, liveRecordingPathField_})
    connect(field, &QLineEdit::editingFinished, this, [this, field] {
      if (field->isModified()) textFieldUsed(field);
      field->setModified(false);
    });
  connect(rescan, &QPushButton::clicked, this, [this] { searchAllPaths(); });
}

QString CustomPathsPrefsController::expandTilde(const QString& path) {
  if (path == QStringLiteral("~")) return QDir::homePath();
  if (path.startsWith(QStringLiteral("~/"))) return QDir::homePath() + path.mid(1);
  return path;
}

bool CustomPathsPrefsController::createFolder(const QString& path) {
  const QFileInfo info(path);
  if (info.isDir()) return true;
  if (!info.exists() && QDir().mkpath(path)) return true;
  Log::line(QStringLiteral("\t\terr: failed to create directory %1").arg(path));
  return false;
}

void CustomPathsPrefsController::awakeFromNib() {
  const QString userFolder = PrefsDefaults::stringOrWritten(kUserFolderKey, kDefaultUserFolder);
  const QString expanded = expandTilde(userFolder);
  if (createFolder(expanded)) {
    for (const QString& name : subfolderNames())
      createFolder(QStringLiteral("%1/%2/").arg(expanded, name));
    qcUserDirectoryPathField_->setText(userFolder);
  }
  const QString recordings =
      PrefsDefaults::stringOrWritten(kRecordingsFolderKey, kDefaultRecordingsFolder);
  createFolder(expandTilde(recordings));
  liveRecordingPathField_->setText(recordings);
}

void CustomPathsPrefsController::textFieldUsed(QObject* sender) {
  if (sender == qcUserDirectoryPathField_) {
    UserDefaults::standard().setValue(kUserFolderKey, qcUserDirectoryPathField_->text());
    searchAllPaths();
  } else if (sender == liveRecordingPathField_) {
    const QString typed = liveRecordingPathField_->text();
    UserDefaults::standard().setValue(kRecordingsFolderKey, typed);
    createFolder(expandTilde(typed));
  }
}

void CustomPathsPrefsController::searchAllPaths() {
  if (PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr) host->rescanAll();
}
