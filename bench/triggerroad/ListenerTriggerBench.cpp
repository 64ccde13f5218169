// A note-on handed to the MIDI manager, as its input thread does, until a
// trigger listener bound to the note gives the layer queue the file of its
// cell (`triggerThisFile`), beside the same note reaching a plain
// subscriber of its data source in a second, otherwise equal, input tree.
// Each iteration times one note-on on each side; the note-offs between
// them are untimed.
#include "app/mediabin/MBFileTrigger.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "bench/SideBySide.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKPageController.h"
#include "tests/app/mediabin/FakeMediaBin.h"
#include "tests/framework/datasource/InputTestSupport.h"

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>

namespace {

const KeyPath kNote{QStringLiteral("MIDI"), QStringLiteral("note [60] ch. 1")};

// The layer queue reduced to its entry: it counts the files it is given.
class CountingTrigger : public MBFileTrigger {
 public:
  void triggerThisFile(long fileId) override {
    benchmark::DoNotOptimize(fileId);
    triggered.fetch_add(1, std::memory_order_relaxed);
  }
  void ejectThisFile(long) override {}
  QString currentLayer() const override { return QStringLiteral("Layer 1"); }
  QString layerForFileIdInLayerQueueArray(long) const override { return {}; }
  bool fileIsPlaying(const QKFile&, QString*) const override { return false; }
  std::atomic<long> triggered{0};
};

class Subscriber : public DataSourceTarget {
 public:
  void dataSourceUpdated(DataSource* source) {
    benchmark::DoNotOptimize(source->value());
    delivered.fetch_add(1, std::memory_order_relaxed);
  }
  std::atomic<long> delivered{0};
};

// ZAPH's MIDI input as far as the data-source tree: the manager (on a JACK
// API with no server, so with no ports; the path from `receivedMIDI` is the
// same) and the controller that names the messages into the tree.
struct MIDIInput {
  FakeInputApp app;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  MIDIManager midi{&app, MIDIManager::Options{RtMidi::UNIX_JACK, 0}};

  MIDIInput() {
    app.dsc = &dsc;
    app.midi = &midi;
    dsc.setAppController(&app);
    dsc.awakeFromNib();
  }
};

// A bin whose first page holds one clip, and one listener bound to the
// note, in a tree whose button manager binds it.
struct ListeningBin {
  MIDIInput input;
  QKButtonManager buttons;
  FakeMediaBin bin;
  CountingTrigger queue;
  MBTriggerListenersController listeners{&bin, &queue};

  ListeningBin() {
    buttons.setDataSourceController(&input.dsc);
    input.dsc.setButtonManager(&buttons);
    QKPageController* pages = bin.pageController();
    auto clip = QKFile::createWithName(QStringLiteral("clip"), bin.compositor());
    clip->initNonQTFile();
    pages->addObjects({clip}, pages->pages().front(), 0);
    listeners.addListenerWithSyncArray(kNote);
  }
  ~ListeningBin() {
    listeners.prepareToBeDeleted();
    input.dsc.setButtonManager(nullptr);
  }
};

void BM_NoteOnToTriggerThisFile(benchmark::State& state) {
  ListeningBin ours;
  MIDIInput bare;
  auto subscriber = std::make_shared<Subscriber>();
  bare.dsc.subscribeObject(subscriber, &Subscriber::dataSourceUpdated, kNote);
  const QKMIDIMessageArray on{QKMIDIMessage(0x90, 1, 60, 100)};
  const QKMIDIMessageArray off{QKMIDIMessage(0x80, 1, 60, 0)};

  const auto [oursSeconds, bareSeconds] = bench::sideBySide(
      state, [&] { ours.input.midi.receivedMIDI(on); }, [&] { bare.midi.receivedMIDI(on); },
      [&] {
        ours.input.midi.receivedMIDI(off);
        bare.midi.receivedMIDI(off);
      });
  if (ours.queue.triggered.load() != long(state.iterations()))
    state.SkipWithError("a note-on did not reach triggerThisFile");
  if (subscriber->delivered.load() < long(state.iterations()))
    state.SkipWithError("a note-on did not reach the subscriber");
  state.counters["ours_us"] = 1e6 * oursSeconds / double(state.iterations());
  state.counters["bare_us"] = 1e6 * bareSeconds / double(state.iterations());
  state.counters["ours_vs_bare"] = oursSeconds / bareSeconds;
}

}  // namespace

BENCHMARK(BM_NoteOnToTriggerThisFile)
    ->UseManualTime()
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);
