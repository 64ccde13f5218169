#include "app/shell/QKBugReporter.h"

#include "app/shell/BugReporterDescriptionField.h"
#include "app/shell/BugReporterEmailField.h"
#include "app/shell/InternetCheck.h"
#include "app/shell/QKBugReporterHost.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/WorkerPool.h"
#include "platform/net/QKCURLDL.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

const QString QKBugReporter::kAddressKey = QStringLiteral("bugReportURL");
const QString QKBugReporter::kEmailKey = QStringLiteral("bugReportEmail");
const QString QKBugReporter::kServicePath = QStringLiteral("/manualBugReporter.php");
const QString QKBugReporter::kCurrentProject = QStringLiteral("<Current Project>");

struct QKBugReporter::Job {
  QString address;
  double connectTimeout = 0;
  double totalTimeout = 0;
  BugReportForm::Inputs inputs;
  QString projectFile;                     // a chosen file to read
  std::optional<QVariantMap> projectDict;  // or the open project to write
  std::shared_ptr<std::atomic<bool>> abort;
  int generation = 0;
};

QKBugReporter::QKBugReporter(QKBugReporterHost* host, QObject* parent)
    : QObject(parent), host_(host) {
  buildWindow();
}

QKBugReporter::~QKBugReporter() {
  *alive_ = false;
  abort_->store(true);
  if (browsePanel_) delete browsePanel_.data();
}

void QKBugReporter::buildWindow() {
  panel_ = std::make_unique<QDialog>();
  panel_->setObjectName(QStringLiteral("bugReporterWindow"));
  panel_->setWindowTitle(QStringLiteral("Report a Bug"));
  panel_->setWindowModality(Qt::ApplicationModal);
  panel_->resize(520, 420);
  auto* layout = new QVBoxLayout(panel_.get());
  layout->addWidget(
      new QLabel(QStringLiteral("Tell us what happened and what you were doing when it happened."),
                 panel_.get()));
  auto* form = new QGridLayout;
  form->addWidget(new QLabel(QStringLiteral("Your e-mail address:"), panel_.get()), 0, 0);
  emailField_ = new BugReporterEmailField(panel_.get());
  emailField_->setObjectName(QStringLiteral("bugEmailField"));
  form->addWidget(emailField_, 0, 1);
  layout->addLayout(form);
  layout->addWidget(new QLabel(QStringLiteral("Description:"), panel_.get()));
  descriptionField_ = new BugReporterDescriptionField(panel_.get());
  descriptionField_->setObjectName(QStringLiteral("bugDescriptionField"));
  layout->addWidget(descriptionField_, 1);

  includeButton_ = new QCheckBox(QStringLiteral("Include a project file"), panel_.get());
  layout->addWidget(includeButton_);
  auto* project = new QHBoxLayout;
  pathField_ = new QLineEdit(kCurrentProject, panel_.get());
  pathField_->setReadOnly(true);
  browseButton_ = new QPushButton(QStringLiteral("Browse…"), panel_.get());
  browseButton_->setAutoDefault(false);
  project->addWidget(pathField_, 1);
  project->addWidget(browseButton_);
  layout->addLayout(project);

  statusField_ = new QLabel(panel_.get());
  statusField_->setObjectName(QStringLiteral("bugReportStatus"));
  statusField_->setWordWrap(true);
  layout->addWidget(statusField_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cancelButton_ = new QPushButton(QStringLiteral("Cancel"), panel_.get());
  cancelButton_->setAutoDefault(false);
  sendButton_ = new QPushButton(QStringLiteral("Send Bug Report"), panel_.get());
  sendButton_->setAutoDefault(false);
  buttons->addWidget(cancelButton_);
  buttons->addWidget(sendButton_);
  layout->addLayout(buttons);

  connect(includeButton_, &QCheckBox::clicked, this, [this] { includeBugReportProjectClicked(); });
  connect(browseButton_, &QPushButton::clicked, this, [this] { browseBugReportProjectClicked(); });
  connect(sendButton_, &QPushButton::clicked, this, [this] { submitBugReportClicked(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { cancelBugReportClicked(); });
  connect(panel_.get(), &QDialog::rejected, this, [this] { cancelBugReportClicked(); });
}

QString QKBugReporter::reportAddress() {
  const QString site = InternetCheck::configuredAddress(kAddressKey);
  if (site.isEmpty()) return {};
  const QUrl url(site);
  if (url.path().isEmpty() || url.path() == QStringLiteral("/")) return site + kServicePath;
  return site;
}

void QKBugReporter::beginBugReport() {
  if (!MainThread::isMainThread()) {
    MainThread::runAndWait([this] { beginBugReport(); });
    return;
  }
  includeButton_->setChecked(true);
  pathField_->setEnabled(true);
  browseButton_->setEnabled(true);
  pathField_->setText(kCurrentProject);
  bugReportProjectFile_.clear();
  if (!sending_) showStatus(QString());
  const QString email = UserDefaults::standard().stringValue(kEmailKey);
  if (!email.isEmpty()) {
    emailField_->setText(email);
    descriptionField_->setFocus();
  }
  panel_->show();
  panel_->raise();
  panel_->activateWindow();
}

void QKBugReporter::includeBugReportProjectClicked() {
  const bool on = includeButton_->isChecked();
  pathField_->setEnabled(on);
  browseButton_->setEnabled(on);
}

void QKBugReporter::browseBugReportProjectClicked() {
  if (browsePanel_) delete browsePanel_.data();
  auto* dialog =
      new QFileDialog(panel_.get(), QStringLiteral("Locate the project file you want to send"));
  dialog->setObjectName(QStringLiteral("bugReportBrowsePanel"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontResolveSymlinks);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setNameFilter(QStringLiteral("ZAPH projects (*.zaph)"));
  dialog->setWindowModality(Qt::WindowModal);
  connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
    browseBugReportProjectEnded(result, dialog->selectedFiles());
    dialog->deleteLater();
  });
  browsePanel_ = dialog;
  dialog->open();
}

void QKBugReporter::browseBugReportProjectEnded(int returnCode, const QStringList& paths) {
  if (returnCode != QDialog::Accepted || paths.isEmpty()) return;
  bugReportProjectFile_ = paths.first();
  if (!BugReportForm::chosenFileAccepted(QFileInfo(bugReportProjectFile_).size())) {
    Log::line(QStringLiteral("\t\tselected project too large for upload"));
    bugReportProjectFile_.clear();
    Alert::show(QStringLiteral("The project you selected was too large to upload."),
                QStringLiteral("Please choose a different file to send."),
                {QStringLiteral("Okay")});
    return;
  }
  pathField_->setText(bugReportProjectFile_);
}

void QKBugReporter::submitBugReportClicked() {
  if (sending_) return;
  const QString email = emailField_->text();
  UserDefaults::standard().setValue(kEmailKey, email);
  auto job = std::make_shared<Job>();
  job->address = reportAddress();
  if (job->address.isEmpty()) {
    showStatus(QStringLiteral("No bug-report address is configured (user default \"%1\"): the "
                              "report was not sent.")
                   .arg(kAddressKey));
    return;
  }
  job->connectTimeout = connectTimeout_;
  job->totalTimeout = totalTimeout_;
  job->inputs.email = email;
  job->inputs.description = descriptionField_->toPlainText();
  job->inputs.version = host_->bundleVersion();
  if (includeButton_->isChecked()) {
    if (!bugReportProjectFile_.isEmpty()) {
      if (QFileInfo::exists(bugReportProjectFile_))
        job->projectFile = bugReportProjectFile_;
      else
        Log::line(QStringLiteral("err: specified project file did not exist"));
    } else {
      if (!host_->readyToCreateProjectDictionary()) return;
      job->projectDict = host_->createProjectFileDictionary();
      if (!job->projectDict) Log::line(QStringLiteral("err: the project could not be made"));
    }
  }
  job->inputs.console = host_->consoleLogString();
  job->inputs.profile = host_->systemProfilerDict();
  abort_ = std::make_shared<std::atomic<bool>>(false);
  job->abort = abort_;
  job->generation = ++generation_;
  setEnabledWhileSending(true);
  showStatus(QStringLiteral("Sending the report…"));
  prepareOnWorker(job);
}

void QKBugReporter::prepareOnWorker(std::shared_ptr<Job> job) {
  const bool posted = WorkerPool::shared().post([this, alive = alive_, job] {
    std::optional<QByteArray> data;
    if (!job->projectFile.isEmpty()) {
      QFile file(job->projectFile);
      if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
      else
        Log::line(QStringLiteral("err: could not read the project file %1: %2")
                      .arg(job->projectFile, file.errorString()));
    } else if (job->projectDict) {
      QString error;
      data = BugReportForm::serializeProject(*job->projectDict, &error);
      if (!data) Log::line(QStringLiteral("err: %1").arg(error));
    }
    if (data && !BugReportForm::projectDataSendable(data->size())) {
      Log::line(QStringLiteral("err: Project file too big for upload"));
      MainThread::post([this, alive, job] {
        if (*alive) projectTooLarge(job);
      });
      return;
    }
    job->inputs.projectData = std::move(data);
    const Outcome outcome = send(*job, *job->abort);
    MainThread::post([this, alive, job, outcome] {
      if (*alive && job->generation == generation_) finished(outcome);
    });
  });
  if (!posted) finished({false, QStringLiteral("the program is busy or quitting")});
}

void QKBugReporter::projectTooLarge(std::shared_ptr<Job> job) {
  if (job->generation != generation_) return;
  const int answer =
      Alert::show(QStringLiteral("The project included was too large to upload."),
                  QStringLiteral("Please choose a different file to send."),
                  {QStringLiteral("Send Bug Report Anyway"), QStringLiteral("Cancel")}, 0);
  if (answer != 0) {
    Log::line(QStringLiteral("\t\tuser cancelled bug report because the project was too big"));
    setEnabledWhileSending(false);
    showStatus(QString());
    return;
  }
  Log::line(QStringLiteral("\t\tuser sending bug report without project file"));
  job->projectFile.clear();
  job->projectDict.reset();
  prepareOnWorker(job);
}

QKBugReporter::Outcome QKBugReporter::send(const Job& job, const std::atomic<bool>& abort) {
  QKCURLDL download(job.address);
  download.setConnectTimeout(job.connectTimeout);
  download.setTimeout(job.totalTimeout);
  download.setAbortFlag(&abort);
  if (!BugReportForm::attach(download, BugReportForm::parts(job.inputs)))
    return {false, QStringLiteral("the form could not be made")};
  if (!download.perform())
    return {false, download.errorString().isEmpty() ? QStringLiteral("no answer came back")
                                                    : download.errorString()};
  const long status = download.httpStatus();
  if (status >= 200 && status < 300) return {true, {}};
  return {false, QStringLiteral("the server answered %1").arg(status)};
}

void QKBugReporter::finished(const Outcome& outcome) {
  setEnabledWhileSending(false);
  if (!outcome.sent) {
    Log::line(QStringLiteral("\terr: bug report not sent: %1").arg(outcome.reason));
    showStatus(QStringLiteral("The report was not sent: %1. Your text is kept; try again later.")
                   .arg(outcome.reason));
    return;
  }
  showStatus(QString());
  UserDefaults::standard().synchronize();
  panel_->hide();
}

void QKBugReporter::cancelBugReportClicked() {
  if (sending_) {
    abort_->store(true);
    ++generation_;
    setEnabledWhileSending(false);
  }
  showStatus(QString());
  panel_->hide();
}

void QKBugReporter::setEnabledWhileSending(bool sending) {
  sending_ = sending;
  sendButton_->setEnabled(!sending);
  browseButton_->setEnabled(!sending && includeButton_->isChecked());
  includeButton_->setEnabled(!sending);
}

void QKBugReporter::showStatus(const QString& text) { statusField_->setText(text); }
