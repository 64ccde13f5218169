// Reading and writing a large property list (about 50 MB of XML, a show's
// worth of entries of every kind) through our reader and writer beside
// libplist's own parse and serialisation of the same bytes or tree:
//
//   build/bin/bench_plist
//
// Each iteration runs both sides, in alternating order, so that both meet
// the same load of the machine; the counters give each side's mean time,
// "ours_vs_libplist", and each side's peak memory above what the fixture
// holds (measured once, outside the timing). Both sides build their whole
// tree and free it inside the timing.
#include "bench/SideBySide.h"
#include "platform/foundation/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>

namespace {

// A list like a large show file: entries of names, numbers, dates, small
// data, flags and nested lists and dictionaries.
QVariantList makeList(int entries) {
  QVariantList list;
  list.reserve(entries);
  const QDateTime start(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
  QByteArray thumbnail(48, '\0');
  for (int i = 0; i < entries; ++i) {
    for (int b = 0; b < thumbnail.size(); ++b) thumbnail[b] = static_cast<char>(i * 31 + b);
    const QString name = QStringLiteral("Layer %1 – clip “%2”").arg(i).arg(i % 97);
    list.append(QVariantMap{
        {QStringLiteral("name"), name},
        {QStringLiteral("path"), QStringLiteral("/home/show/media/clip-%1.mov").arg(i)},
        {QStringLiteral("index"), QVariant::fromValue<qint64>(i)},
        {QStringLiteral("opacity"), 1.0 / (1 + i % 13)},
        {QStringLiteral("enabled"), i % 3 != 0},
        {QStringLiteral("created"), start.addSecs(i * 61)},
        {QStringLiteral("thumbnail"), thumbnail},
        {QStringLiteral("tags"),
         QVariantList{QStringLiteral("loop"), QStringLiteral("bank %1").arg(i % 8),
                      QVariant::fromValue<qint64>(i * 7)}},
        {QStringLiteral("frame"), QVariantMap{{QStringLiteral("x"), i % 1920},
                                              {QStringLiteral("y"), i % 1080},
                                              {QStringLiteral("w"), 640.5},
                                              {QStringLiteral("h"), 360.25}}},
    });
  }
  return list;
}

struct NodeDeleter {
  void operator()(void* node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

struct Fixture {
  QVariant value;
  QByteArray xml;
  QByteArray binary;
  Node node;

  static const Fixture& get() {
    static const Fixture fixture;
    return fixture;
  }

 private:
  Fixture() {
    const int entries = std::atoi(qgetenv("PLIST_BENCH_ENTRIES").constData());
    value = makeList(entries > 0 ? entries : 66000);
    xml = PropertyList::toXml(value);
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    node.reset(root);
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    binary = QByteArray(bin, static_cast<qsizetype>(length));
    plist_to_bin_free(bin);
  }
};

// Peak resident memory of one call above the resident memory before it, in
// MB (the kernel's high-water mark is reset first).
double peakMegabytes(const std::function<void()>& call) {
  const auto kilobytes = [](const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0.0;
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith(field))
        return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toDouble();
    return 0.0;
  };
  malloc_trim(0);  // what earlier calls freed is not counted as ours
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
  clear.close();
  const double before = kilobytes("VmRSS:");
  call();
  return (kilobytes("VmHWM:") - before) / 1024.0;
}

void sideBySide(benchmark::State& state, const std::function<void()>& ours,
                const std::function<void()>& theirs, double bytes) {
  const auto [o, t] = bench::sideBySide(state, ours, theirs);
  const double n = double(state.iterations());
  state.counters["ours_ms"] = 1000 * o / n;
  state.counters["libplist_ms"] = 1000 * t / n;
  state.counters["ours_vs_libplist"] = o / t;
  state.counters["file_MB"] = bytes / 1e6;
  state.counters["ours_peak_MB"] = peakMegabytes(ours);
  state.counters["libplist_peak_MB"] = peakMegabytes(theirs);
}

void BM_ReadXml(benchmark::State& state) {
  const Fixture& f = Fixture::get();
  sideBySide(
      state,
      [&] {
        const PropertyList::Result result = PropertyList::parse(f.xml);
        if (!result.ok()) state.SkipWithError(result.error.toStdString().c_str());
      },
      [&] {
        plist_t root = nullptr;
        plist_from_xml(f.xml.constData(), static_cast<uint32_t>(f.xml.size()), &root);
        if (!root) state.SkipWithError("libplist could not read the XML");
        plist_free(root);
      },
      double(f.xml.size()));
}

void BM_WriteXml(benchmark::State& state) {
  const Fixture& f = Fixture::get();
  sideBySide(
      state,
      [&] {
        const QByteArray xml = PropertyList::toXml(f.value);
        benchmark::DoNotOptimize(xml.constData());
      },
      [&] {
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(f.node.get(), &xml, &length);
        benchmark::DoNotOptimize(xml);
        plist_to_xml_free(xml);
      },
      double(f.xml.size()));
}

void BM_ReadBinary(benchmark::State& state) {
  const Fixture& f = Fixture::get();
  sideBySide(
      state,
      [&] {
        const PropertyList::Result result = PropertyList::parse(f.binary);
        if (!result.ok()) state.SkipWithError(result.error.toStdString().c_str());
      },
      [&] {
        plist_t root = nullptr;
        plist_from_bin(f.binary.constData(), static_cast<uint32_t>(f.binary.size()), &root);
        if (!root) state.SkipWithError("libplist could not read the binary list");
        plist_free(root);
      },
      double(f.binary.size()));
}

}  // namespace

BENCHMARK(BM_ReadXml)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXml)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinary)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
