#pragma once

#include "app/shell/BugReportForm.h"

#include <QObject>
#include <QFileDialog>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

class BugReporterDescriptionField;
class BugReporterEmailField;
class QCheckBox;
class QDialog;
class QFileDialog;
class QKBugReporterHost;
class QLabel;
class QLineEdit;
class QPushButton;

// The bug-report panel: a description, an e-mail address and, by default,
// the open project (or a project file chosen on disk), sent as one
// multipart form with the console log, the version and a machine profile to
// the address in the user default "bugReportURL".
//
// The form is made and sent on a worker, with time-outs: the interface
// keeps running during a large upload. The panel closes only when the
// service answers 2xx; otherwise it stays open with the text and the
// reason. Cancel during a send aborts it. Main thread only.
class QKBugReporter : public QObject {
  Q_OBJECT
 public:
  static const QString kAddressKey;      // "bugReportURL"
  static const QString kEmailKey;        // "bugReportEmail"
  static const QString kServicePath;     // "/manualBugReporter.php"
  static const QString kCurrentProject;  // "<Current Project>"

  explicit QKBugReporter(QKBugReporterHost* host, QObject* parent = nullptr);
  ~QKBugReporter() override;

  // Start-up: no outside audio plug-in is known to interfere on this system.
  void checkForWiretap() {}
  void beginBugReport();

  void includeBugReportProjectClicked();
  void browseBugReportProjectClicked();
  // The end of the browse sheet: QDialog::Accepted with the chosen paths.
  void browseBugReportProjectEnded(int returnCode, const QStringList& paths);
  void submitBugReportClicked();
  void cancelBugReportClicked();

  // The address a report goes to: the configured site with the service's
  // path (a configured address with a path of its own is taken whole);
  // empty when none is configured.
  static QString reportAddress();
  void setTimeouts(double connectSeconds, double totalSeconds) {
    connectTimeout_ = connectSeconds;
    totalTimeout_ = totalSeconds;
  }

  bool sending() const { return sending_; }
  QString bugReportProjectFile() const { return bugReportProjectFile_; }
  QDialog* bugReporterWindow() const { return panel_.get(); }
  BugReporterEmailField* bugEmailField() const { return emailField_; }
  BugReporterDescriptionField* bugDescriptionField() const { return descriptionField_; }
  QCheckBox* includeProjectFileButton() const { return includeButton_; }
  QLineEdit* projectFilePathField() const { return pathField_; }
  QPushButton* projectFileBrowseButton() const { return browseButton_; }
  QPushButton* sendButton() const { return sendButton_; }
  QLabel* statusField() const { return statusField_; }
  QFileDialog* browsePanel() const { return browsePanel_; }

 private:
  struct Job;
  struct Outcome {
    bool sent = false;
    QString reason;
  };
  void buildWindow();
  void setEnabledWhileSending(bool sending);
  void prepareOnWorker(std::shared_ptr<Job> job);
  void projectTooLarge(std::shared_ptr<Job> job);
  void sendOnWorker(std::shared_ptr<Job> job);
  void finished(const Outcome& outcome);
  void showStatus(const QString& text);
  static Outcome send(const Job& job, const std::atomic<bool>& abort);

  QKBugReporterHost* host_ = nullptr;
  std::unique_ptr<QDialog> panel_;
  BugReporterEmailField* emailField_ = nullptr;
  BugReporterDescriptionField* descriptionField_ = nullptr;
  QCheckBox* includeButton_ = nullptr;
  QLineEdit* pathField_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QPushButton* sendButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QLabel* statusField_ = nullptr;
  QPointer<QFileDialog> browsePanel_;
  QString bugReportProjectFile_;
  bool sending_ = false;
  int generation_ = 0;
  double connectTimeout_ = 10.0;
  double totalTimeout_ = 300.0;
  // Shared with the send under way, which may end after this is gone.
  std::shared_ptr<std::atomic<bool>> abort_ = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
