// Preparing a bug report with a project of about 20 MB: ours serialises the
// project, gzips it and lays out the form's parts; the bare side serialises
// the same dictionary with the same writer and deflates its bytes with
// zlib. A second benchmark reports the longest gap between ticks of a 10 ms
// main-thread timer while such a report goes to a loopback server that
// keeps it waiting for 2 s.
#include "app/shell/BugReportForm.h"
#include "app/shell/BugReporterDescriptionField.h"
#include "app/shell/QKBugReporter.h"
#include "app/shell/QKBugReporterHost.h"
#include "bench/SideBySide.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <zlib.h>

namespace {

// About 19 MB once written as an XML property list: under the send limit.
const QVariantMap& bigProject() {
  static const QVariantMap project = [] {
    QVariantList presets;
    for (int i = 0; i < 4500; ++i) {
      QVariantList layers;
      for (int layer = 0; layer < 16; ++layer)
        layers << QVariantMap{
            {"layerName", QStringLiteral("Layer %1").arg(layer)},
            {"opacity", 0.5 + layer / 64.0},
            {"file",
             QStringLiteral("/home/me/clips/set %1/clip %2.mov").arg(i % 12).arg(i * 16 + layer)},
            {"time", i * 0.04 + layer}};
      presets << QVariantMap{{"name", QStringLiteral("Preset %1").arg(i)}, {"layers", layers}};
    }
    return QVariantMap{{"presets", presets}, {"version", 2}};
  }();
  return project;
}

QByteArray bareGzip(const QByteArray& bytes) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
  stream.avail_in = uInt(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = uInt(out.size());
  deflate(&stream, Z_FINISH);
  out.truncate(qsizetype(stream.total_out));
  deflateEnd(&stream);
  return out;
}

void BM_PrepareReportAgainstWriterAndDeflate(benchmark::State& state) {
  const QVariantMap& project = bigProject();
  qsizetype projectBytes = 0;
  qsizetype ourForm = 0;
  qsizetype bareOut = 0;
  const bench::SideBySideSeconds t = bench::sideBySide(
      state,
      [&] {
        BugReportForm::Inputs inputs;
        inputs.email = QStringLiteral("me@example.org");
        inputs.description = QStringLiteral("It stopped.");
        inputs.version = QStringLiteral("5.0");
        inputs.projectData = BugReportForm::serializeProject(project, nullptr);
        projectBytes = inputs.projectData ? inputs.projectData->size() : 0;
        ourForm = 0;
        for (const BugReportForm::Part& part : BugReportForm::parts(inputs))
          ourForm += part.data.size();
      },
      [&] { bareOut = bareGzip(PropertyList::toXml(project)).size(); });
  const double n = double(state.iterations());
  state.counters["ours_ms"] = 1000 * t.first / n;
  state.counters["bare_ms"] = 1000 * t.second / n;
  state.counters["ours_vs_bare"] = t.first / t.second;
  state.counters["project_MB"] = double(projectBytes) / 1e6;
  state.counters["form_vs_bare_bytes"] = double(ourForm) / double(bareOut);
}

class Host : public QKBugReporterHost {
 public:
  bool readyToCreateProjectDictionary() override { return true; }
  std::optional<QVariantMap> createProjectFileDictionary() override { return bigProject(); }
  std::optional<QString> consoleLogString() override { return QStringLiteral("a line\n"); }
  std::optional<QVariantMap> systemProfilerDict() override {
    return QVariantMap{{"software", "Linux"}};
  }
  QString bundleVersion() override { return QStringLiteral("5.0"); }
};

void BM_MainThreadGapWhileSending(benchmark::State& state) {
  bigProject();
  double longestMs = 0;
  for (auto _ : state) {
    LoopbackHttpServer server;
    server.neverAnswer();
    UserDefaults::standard().setValue(QKBugReporter::kAddressKey, server.url(QString()));
    UserDefaults::standard().synchronize();  // written now, not while timing
    Host host;
    QKBugReporter reporter(&host);
    reporter.setTimeouts(1.0, 2.0);  // the server keeps the report waiting 2 s
    reporter.beginBugReport();
    reporter.bugDescriptionField()->setPlainText(QStringLiteral("It stopped."));

    QElapsedTimer clock;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    qint64 last = 0;
    qint64 longest = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
    });
    clock.start();
    timer.start(10);
    reporter.submitBugReportClicked();
    MainThread::processUntil([&] { return !reporter.sending(); }, 30.0);
    timer.stop();
    longestMs = std::max(longestMs, double(longest));
    state.counters["sent"] = server.requests().isEmpty() ? 0 : 1;
  }
  UserDefaults::standard().remove(QKBugReporter::kAddressKey);
  state.counters["longest_gap_ms"] = longestMs;
}

BENCHMARK(BM_PrepareReportAgainstWriterAndDeflate)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MainThreadGapWhileSending)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
