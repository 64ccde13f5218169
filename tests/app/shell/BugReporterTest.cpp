// The bug reporter against a loopback HTTP server the test starts: the form
// parts, the size limits, the field guards and the panel's outcome.

#include "app/shell/BugReportForm.h"
#include "app/shell/BugReporterDescriptionField.h"
#include "app/shell/BugReporterEmailField.h"
#include "app/shell/QKBugReporter.h"
#include "app/shell/QKBugReporterHost.h"
#include "framework/toolkit/DataAdditions.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/Screenshot.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class FakeBugReporterHost : public QKBugReporterHost {
 public:
  bool readyToCreateProjectDictionary() override {
    ++readyAsked;
    return ready;
  }
  std::optional<QVariantMap> createProjectFileDictionary() override { return project; }
  std::optional<QString> consoleLogString() override { return console; }
  std::optional<QVariantMap> systemProfilerDict() override { return profile; }
  QString bundleVersion() override { return QStringLiteral("5.0alt2"); }

  bool ready = true;
  int readyAsked = 0;
  std::optional<QVariantMap> project = QVariantMap{{"presets", QVariantList{"one", 2}}};
  std::optional<QString> console = QStringLiteral("a console line\n");
  std::optional<QVariantMap> profile = QVariantMap{{"hardware", "HW;"},
                                                   {"software", "Linux 6;"},
                                                   {"graphics", "GPU;"},
                                                   {"memory", "8 GB;"},
                                                   {"firewire", ";"}};
};

struct FormPart {
  QByteArray name;
  QByteArray fileName;
  QByteArray contentType;
  QByteArray data;
};

QByteArray headerParam(const QByteArray& headers, const QByteArray& key) {
  const qsizetype at = headers.indexOf(key + "=\"");
  if (at < 0) return {};
  const qsizetype start = at + key.size() + 2;
  return headers.mid(start, headers.indexOf('"', start) - start);
}

// The parts of a multipart/form-data body, in order.
std::vector<FormPart> formParts(const LoopbackHttpServer::Request& request) {
  const qsizetype at = request.headers.indexOf("boundary=");
  if (at < 0) return {};
  const QByteArray boundary =
      "--" + request.headers.mid(at + 9, request.headers.indexOf("\r\n", at) - at - 9).trimmed();
  std::vector<FormPart> parts;
  qsizetype pos = request.body.indexOf(boundary);
  while (pos >= 0) {
    const qsizetype start = pos + boundary.size();
    if (request.body.mid(start, 2) == "--") break;
    const qsizetype headersEnd = request.body.indexOf("\r\n\r\n", start);
    const qsizetype next = request.body.indexOf("\r\n" + boundary, headersEnd);
    if (headersEnd < 0 || next < 0) break;
    const QByteArray headers = request.body.mid(start, headersEnd - start);
    FormPart part{headerParam(headers, "name"),
                  headerParam(headers, "filename"),
                  {},
                  request.body.mid(headersEnd + 4, next - headersEnd - 4)};
    const qsizetype type = headers.indexOf("Content-Type: ");
    if (type >= 0)
      part.contentType = headers.mid(type + 14, headers.indexOf("\r\n", type) - type - 14);
    parts.push_back(part);
    pos = next + 2;
  }
  return parts;
}

QByteArrayList namesOf(const std::vector<FormPart>& parts) {
  QByteArrayList names;
  for (const FormPart& part : parts) names << part.name;
  return names;
}

const FormPart* partNamed(const std::vector<FormPart>& parts, const QByteArray& name) {
  for (const FormPart& part : parts)
    if (part.name == name) return &part;
  return nullptr;
}

void makeFileOfSize(const QString& path, qint64 size) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(file.resize(size));
}

class BugReporterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    Alert::clearRecorded();
    UserDefaults::standard().setValue(QKBugReporter::kAddressKey, server.url(QString()));
    reporter.setTimeouts(2.0, 5.0);
  }
  void TearDown() override {
    Alert::clearScriptedAnswers();
    UserDefaults::standard().remove(QKBugReporter::kAddressKey);
    UserDefaults::standard().remove(QKBugReporter::kEmailKey);
  }

  // Opens the panel, fills it and sends; answers once the send has ended.
  void send(const QString& email = QStringLiteral("me@example.org")) {
    reporter.beginBugReport();
    reporter.bugEmailField()->setText(email);
    reporter.bugDescriptionField()->setPlainText(QStringLiteral("It stopped when I pressed é."));
    reporter.submitBugReportClicked();
    EXPECT_TRUE(MainThread::processUntil([this] { return !reporter.sending(); }, 20.0));
  }
  std::vector<FormPart> lastForm() const {
    const auto requests = server.requests();
    return requests.isEmpty() ? std::vector<FormPart>() : formParts(requests.last());
  }
  bool panelOpen() const { return reporter.bugReporterWindow()->isVisible(); }

  QTemporaryDir dir;
  LoopbackHttpServer server;
  FakeBugReporterHost host;
  QKBugReporter reporter{&host};
};

TEST_F(BugReporterTest, SendsThePartsInOrder) {
  send();
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/manualBugReporter.php");
  EXPECT_FALSE(requests[0].headers.toLower().contains("100-continue"));
  const auto parts = formParts(requests[0]);
  EXPECT_EQ(namesOf(parts), (QByteArrayList{"email", "description", "console", "zaph", "uploadFile",
                                            "os", "systemData"}));
  EXPECT_EQ(partNamed(parts, "email")->data, "me@example.org");
  EXPECT_EQ(QString::fromUtf8(partNamed(parts, "description")->data),
            QStringLiteral("It stopped when I pressed é."));
  EXPECT_EQ(partNamed(parts, "console")->data, "a console line\n");
  EXPECT_EQ(partNamed(parts, "zaph")->data, "5.0alt2");
  EXPECT_EQ(partNamed(parts, "os")->data, "Linux 6;");
  for (const char* name : {"email", "description", "console", "zaph", "os"}) {
    EXPECT_TRUE(partNamed(parts, name)->fileName.isEmpty()) << name;
    EXPECT_TRUE(partNamed(parts, name)->contentType.isEmpty()) << name;
  }
  for (const char* name : {"uploadFile", "systemData"}) {
    EXPECT_EQ(partNamed(parts, name)->fileName, QByteArray(name));
    EXPECT_EQ(partNamed(parts, name)->contentType, "application/zip");
  }
  const auto project = DataAdditions::gzipInflate(partNamed(parts, "uploadFile")->data);
  ASSERT_TRUE(project);
  EXPECT_EQ(PropertyList::parse(*project).value, PropertyList::normalized(*host.project));
  // Present texts only, in the fixed order, without separators.
  EXPECT_EQ(DataAdditions::gzipInflate(partNamed(parts, "systemData")->data),
            QByteArray("HW;Linux 6;;GPU;8 GB;"));
  EXPECT_FALSE(panelOpen()) << "a 2xx answer closes the panel";
  EXPECT_EQ(UserDefaults::standard().stringValue(QKBugReporter::kEmailKey), "me@example.org");
}

TEST_F(BugReporterTest, PartsFollowWhatThereIs) {
  host.console.reset();
  host.profile = QVariantMap{{"hardware", "HW"}};
  reporter.beginBugReport();
  reporter.includeProjectFileButton()->click();  // off
  EXPECT_FALSE(reporter.projectFileBrowseButton()->isEnabled());
  reporter.submitBugReportClicked();
  ASSERT_TRUE(MainThread::processUntil([this] { return !reporter.sending(); }, 20.0));
  EXPECT_EQ(namesOf(lastForm()), (QByteArrayList{"email", "description", "zaph", "systemData"}));
  EXPECT_EQ(partNamed(lastForm(), "email")->data, "") << "an empty address is still sent";
  EXPECT_EQ(host.readyAsked, 0);

  host.profile.reset();
  send();
  EXPECT_EQ(namesOf(lastForm()), (QByteArrayList{"email", "description", "zaph", "uploadFile"}));
}

TEST_F(BugReporterTest, PresetManagerRefusalStopsTheSend) {
  host.ready = false;
  send();
  EXPECT_TRUE(server.requests().isEmpty());
  EXPECT_TRUE(panelOpen());
}

// A failure keeps the panel open with the text and says why.
TEST_F(BugReporterTest, FailedUploadsKeepThePanelOpen) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 refusedPort = closed.serverPort();
  closed.close();
  const struct {
    const char* what;
    std::function<void()> arrange;
  } cases[] = {
      {"HTTP 500", [&] { server.answer(500, "oops"); }},
      {"refused",
       [&] {
         UserDefaults::standard().setValue(QKBugReporter::kAddressKey,
                                           QStringLiteral("http://127.0.0.1:%1").arg(refusedPort));
       }},
      {"silent",
       [&] {
         server.neverAnswer();
         reporter.setTimeouts(1.0, 1.5);
       }},
  };
  for (const auto& c : cases) {
    c.arrange();
    send();
    EXPECT_TRUE(panelOpen()) << c.what;
    EXPECT_TRUE(reporter.statusField()->text().startsWith("The report was not sent")) << c.what;
    EXPECT_EQ(reporter.bugDescriptionField()->toPlainText(), "It stopped when I pressed é.")
        << c.what;
    reporter.cancelBugReportClicked();
    EXPECT_FALSE(panelOpen());
  }
}

TEST_F(BugReporterTest, NoAddressConfigured) {
  UserDefaults::standard().remove(QKBugReporter::kAddressKey);
  send();
  EXPECT_TRUE(server.requests().isEmpty());
  EXPECT_TRUE(panelOpen());
  EXPECT_TRUE(reporter.statusField()->text().contains("No bug-report address"));
  UserDefaults::standard().setValue(QKBugReporter::kAddressKey, QStringLiteral("ftp://x"));
  EXPECT_EQ(QKBugReporter::reportAddress(), QString());
  UserDefaults::standard().setValue(QKBugReporter::kAddressKey,
                                    QStringLiteral("http://h/reports/in.php"));
  EXPECT_EQ(QKBugReporter::reportAddress(), "http://h/reports/in.php");
}

// Chosen files up to the limit are taken; data sent must stay below it.
TEST_F(BugReporterTest, ProjectSizeLimits) {
  const struct {
    qint64 size;
    bool acceptedWhenChosen;
    bool sentWithoutAsking;
  } cases[] = {
      {20971519, true, true},
      {20971520, true, false},
      {20971521, false, false},
  };
  for (const auto& c : cases) {
    const QString path = dir.filePath(QStringLiteral("p%1.zaph").arg(c.size));
    makeFileOfSize(path, c.size);
    reporter.beginBugReport();
    Alert::clearRecorded();
    reporter.browseBugReportProjectEnded(QDialog::Accepted, {path});
    EXPECT_EQ(reporter.bugReportProjectFile().isEmpty(), !c.acceptedWhenChosen) << c.size;
    EXPECT_EQ(reporter.projectFilePathField()->text(),
              c.acceptedWhenChosen ? path : QKBugReporter::kCurrentProject)
        << c.size;
    if (!c.acceptedWhenChosen) {
      ASSERT_EQ(Alert::recorded().size(), 1u);
      EXPECT_EQ(Alert::recorded()[0].title, "The project you selected was too large to upload.");
      continue;
    }
    const qsizetype before = server.requests().size();
    Alert::clearScriptedAnswers();
    Alert::scriptAnswers({QStringLiteral("Cancel")});
    reporter.submitBugReportClicked();
    ASSERT_TRUE(MainThread::processUntil([this] { return !reporter.sending(); }, 30.0));
    if (c.sentWithoutAsking) {
      ASSERT_EQ(server.requests().size(), before + 1) << c.size;
      EXPECT_EQ(DataAdditions::gzipInflate(partNamed(lastForm(), "uploadFile")->data)->size(),
                c.size);
      continue;
    }
    EXPECT_EQ(server.requests().size(), before) << "Cancel sends nothing";
    EXPECT_TRUE(panelOpen());
    reporter.beginBugReport();
    reporter.browseBugReportProjectEnded(QDialog::Accepted, {path});
    Alert::clearScriptedAnswers();
    Alert::scriptAnswers({QStringLiteral("Send Bug Report Anyway")});
    reporter.submitBugReportClicked();
    ASSERT_TRUE(MainThread::processUntil([this] { return !reporter.sending(); }, 30.0));
    ASSERT_EQ(server.requests().size(), before + 1);
    EXPECT_EQ(partNamed(lastForm(), "uploadFile"), nullptr) << "sent without the project";
  }
}

TEST_F(BugReporterTest, MissingChosenFileSendsNoProject) {
  const QString path = dir.filePath(QStringLiteral("gone.zaph"));
  makeFileOfSize(path, 10);
  reporter.beginBugReport();
  reporter.browseBugReportProjectEnded(QDialog::Accepted, {path});
  QFile::remove(path);
  reporter.submitBugReportClicked();
  ASSERT_TRUE(MainThread::processUntil([this] { return !reporter.sending(); }, 20.0));
  EXPECT_EQ(partNamed(lastForm(), "uploadFile"), nullptr);
  EXPECT_EQ(host.readyAsked, 0) << "the open project is not sent instead";
}

TEST_F(BugReporterTest, OpeningOffersTheLastAddress) {
  reporter.bugEmailField()->setText(QStringLiteral("typed before"));
  reporter.beginBugReport();
  EXPECT_EQ(reporter.bugEmailField()->text(), "typed before") << "unset: the field keeps its text";
  UserDefaults::standard().setValue(QKBugReporter::kEmailKey, QStringLiteral("last@example.org"));
  reporter.browseBugReportProjectEnded(QDialog::Accepted, {});
  reporter.beginBugReport();
  EXPECT_EQ(reporter.bugEmailField()->text(), "last@example.org");
  EXPECT_TRUE(reporter.includeProjectFileButton()->isChecked());
  EXPECT_EQ(reporter.projectFilePathField()->text(), QKBugReporter::kCurrentProject);
  EXPECT_TRUE(reporter.bugReportProjectFile().isEmpty());
}

TEST_F(BugReporterTest, FieldGuards) {
  BugReporterDescriptionField* description = reporter.bugDescriptionField();
  for (const int length : {550, 551}) {
    description->clear();
    Alert::clearRecorded();
    QGuiApplication::clipboard()->setText(QString(length, QLatin1Char('x')));
    description->paste();
    EXPECT_EQ(description->toPlainText().size(), length == 550 ? 550 : 0) << length;
    EXPECT_EQ(Alert::recorded().size(), length == 550 ? 0u : 1u) << length;
  }
  description->clear();
  auto* htmlOnly = new QMimeData;
  htmlOnly->setHtml(QStringLiteral("<b>bold</b>"));
  QGuiApplication::clipboard()->setMimeData(htmlOnly);
  description->paste();
  EXPECT_EQ(description->toPlainText(), "") << "only plain text is pasted";
  EXPECT_FALSE(description->acceptDrops());
  EXPECT_FALSE(description->viewport()->acceptDrops());

  Alert::clearRecorded();
  reporter.bugEmailField()->setText(QString(550, QLatin1Char('a')));
  EXPECT_EQ(reporter.bugEmailField()->text().size(), 550);
  reporter.bugEmailField()->insert(QStringLiteral("b"));
  EXPECT_EQ(reporter.bugEmailField()->text(), "");
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, "Hang on a second....");
}

TEST_F(BugReporterTest, PanelOnScreen) {
  reporter.beginBugReport();
  reporter.bugEmailField()->setText(QStringLiteral("performer@example.org"));
  reporter.bugDescriptionField()->setPlainText(
      QStringLiteral("The output froze when I switched the second layer to a movie."));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(reporter.bugReporterWindow()));
  saveScreenshot(reporter.bugReporterWindow()->grab().toImage(), QStringLiteral("bug-reporter"));
}

}  // namespace
