// The MIDI preference pane over a real MIDI manager (no transport: messages
// are handed in as the input thread would) and a real data-source tree.
#include "app/shell/DedicatedSourcesSection.h"
#include "app/shell/MIDIPrefsController.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKNSTableView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/support/JackServer.h"

#include <QCheckBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <thread>

namespace {

const QString kMIDI = QStringLiteral("MIDI");
const QString kDedicated = QStringLiteral("Dedicated MIDI");
const QString kNote60 = QStringLiteral("note [60] ch. 1");
const QString kDedicatedKey = QStringLiteral("MIDIDedicatedDict");

MIDIManager::Options offline() {
  MIDIManager::Options options;
  options.api = RtMidi::UNIX_JACK;  // no server: the manager waits and opens nothing
  options.pollIntervalSeconds = 0;
  return options;
}

class MIDIPrefsPane : public ::testing::Test {
 protected:
  MIDIPrefsPane() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    app.clock = &clock;
    dsc.setAppController(&app);
  }
  void wake(MIDIManager::Options options = offline()) {
    midi = std::make_unique<MIDIManager>(&app, options);
    app.midi = midi.get();
    dsc.awakeFromNib();
    pane = std::make_unique<MIDIPrefsController>();
    pane->awakeFromNib(midi.get(), &dsc);
  }
  void receive(const QKMIDIMessage& message) { midi->receivedMIDI({message}); }
  static QKMIDIMessage noteOn(int note, int channel = 1) {
    return QKMIDIMessage(0x90, channel, std::uint8_t(note), 100);
  }
  // Lets the queued detect handler run.
  bool settle(
      const std::function<bool()>& done = [] { return false; }, double seconds = 0.2) {
    return MainThread::processUntil(done, seconds);
  }
  std::shared_ptr<DataSource> node(const QString& root, const QString& name) {
    return dsc.dataSourceForKeyArray({root, name});
  }
  QAbstractItemModel* dedicatedModel() { return pane->dedicatedSection()->tableView()->model(); }
  QVariantMap storedMapping() { return UserDefaults::standard().dictionaryValue(kDedicatedKey); }

  FakeInputApp app;
  FakeClock clock;
  DataSourceController dsc;
  std::unique_ptr<MIDIManager> midi;
  std::unique_ptr<MIDIPrefsController> pane;
};

TEST_F(MIDIPrefsPane, ANoteAfterCreateDedicatesTheNodeItWasHeardOn) {
  wake();
  receive(noteOn(60));  // heard before: the node and its subscribers exist
  const auto heard = node(kMIDI, kNote60);
  ASSERT_TRUE(heard);
  pane->createNewPressed();
  EXPECT_TRUE(pane->dedicatedSection()->isDetecting());
  EXPECT_FALSE(pane->dedicatedSection()->statusText().isEmpty());
  receive(noteOn(60));
  ASSERT_TRUE(settle([&] { return !storedMapping().isEmpty(); }, 3.0));

  EXPECT_EQ(node(kDedicated, QStringLiteral("Ded. MIDI 1")), heard);
  EXPECT_FALSE(node(kMIDI, kNote60));
  EXPECT_EQ(storedMapping(), (QVariantMap{{kNote60, QStringLiteral("Ded. MIDI 1")}}));
  ASSERT_EQ(dedicatedModel()->rowCount(), 1);
  EXPECT_EQ(dedicatedModel()->index(0, 0).data().toString(), kNote60);
  EXPECT_EQ(dedicatedModel()->index(0, 1).data().toString(), QStringLiteral("Ded. MIDI 1"));
  EXPECT_FALSE(pane->dedicatedSection()->isDetecting());
  EXPECT_TRUE(pane->dedicatedSection()->statusText().isEmpty());

  // The input now plays the dedicated node.
  receive(QKMIDIMessage(0x90, 1, 60, 127));
  EXPECT_FLOAT_EQ(heard->value(), 1.0f);
  EXPECT_FALSE(node(kMIDI, kNote60));
}

TEST_F(MIDIPrefsPane, TheDetectHandlerRunsQueuedOnTheMainThread) {
  wake();
  pane->createNewPressed();
  std::thread input([&] { receive(noteOn(64)); });
  input.join();
  // Only the input thread has run: the tree, the mapping and the defaults
  // are as they were.
  EXPECT_TRUE(node(kMIDI, QStringLiteral("note [64] ch. 1")));
  EXPECT_FALSE(dsc.dataSourceForKeyArray({kDedicated}));
  EXPECT_FALSE(UserDefaults::standard().contains(kDedicatedKey));
  EXPECT_EQ(dedicatedModel()->rowCount(), 0);
  ASSERT_TRUE(settle([&] { return dedicatedModel()->rowCount() == 1; }, 3.0));
  EXPECT_TRUE(node(kDedicated, QStringLiteral("Ded. MIDI 1")));
}

TEST_F(MIDIPrefsPane, ASecondCreatePressAndABurstOfInputMakeOneDedication) {
  wake();
  pane->createNewPressed();
  pane->dedicatedSection()->createButton()->click();
  receive(noteOn(60));
  receive(noteOn(62));
  receive(QKMIDIMessage(0xB0, 2, 7, 64));
  settle();
  EXPECT_EQ(dedicatedModel()->rowCount(), 1);
  EXPECT_EQ(storedMapping(), (QVariantMap{{kNote60, QStringLiteral("Ded. MIDI 1")}}));
  EXPECT_TRUE(node(kMIDI, QStringLiteral("note [62] ch. 1")));
}

TEST_F(MIDIPrefsPane, AProgramChangeEndsListeningAndCreatesNothing) {
  wake();
  pane->createNewPressed();
  receive(QKMIDIMessage(0xC0, 1, 5, 0));
  settle();
  EXPECT_FALSE(pane->dedicatedSection()->isDetecting());
  receive(noteOn(60));  // needs a new press
  settle();
  EXPECT_EQ(dedicatedModel()->rowCount(), 0);
  EXPECT_FALSE(dsc.dataSourceForKeyArray({kDedicated}));
  EXPECT_FALSE(UserDefaults::standard().contains(kDedicatedKey));
}

TEST_F(MIDIPrefsPane, StoppingEndsListeningAlsoForInputAlreadyQueued) {
  wake();
  pane->createNewPressed();
  receive(noteOn(60));  // queued, not yet handled
  pane->stopDetecting();
  receive(noteOn(61));
  settle();
  EXPECT_EQ(dedicatedModel()->rowCount(), 0);
  EXPECT_FALSE(pane->dedicatedSection()->isDetecting());
}

TEST_F(MIDIPrefsPane, ControllersAndPitchWheelsGetTheirRawNames) {
  wake();
  pane->createNewPressed();
  receive(QKMIDIMessage(0xB0, 3, 7, 64));
  settle([&] { return dedicatedModel()->rowCount() == 1; }, 3.0);
  pane->createNewPressed();
  receive(QKMIDIMessage(0xE0, 16, 0, 64));
  settle([&] { return dedicatedModel()->rowCount() == 2; }, 3.0);
  EXPECT_EQ(storedMapping(),
            (QVariantMap{{QStringLiteral("ctrl [7] ch. 3"), QStringLiteral("Ded. MIDI 1")},
                         {QStringLiteral("ptch.whl. ch. 16"), QStringLiteral("Ded. MIDI 2")}}));
}

TEST_F(MIDIPrefsPane, EditsAndDeletionGoThroughTheTableAndShowWhatWasRefused) {
  UserDefaults::standard().setValue(
      kDedicatedKey, QVariantMap{{kNote60, QStringLiteral("Kick")},
                                 {QStringLiteral("ctrl [7] ch. 1"), QStringLiteral("Fader")}});
  wake();  // restored from the defaults at waking
  ASSERT_EQ(dedicatedModel()->rowCount(), 2);
  EXPECT_EQ(dedicatedModel()->index(0, 1).data().toString(), QStringLiteral("Fader"));
  const auto kick = node(kDedicated, QStringLiteral("Kick"));
  ASSERT_TRUE(kick);

  EXPECT_FALSE(dedicatedModel()->setData(dedicatedModel()->index(1, 1), QStringLiteral("Fader")));
  EXPECT_TRUE(pane->dedicatedSection()->statusText().contains(QStringLiteral("Fader")));
  EXPECT_EQ(node(kDedicated, QStringLiteral("Kick")), kick);

  ASSERT_TRUE(dedicatedModel()->setData(dedicatedModel()->index(1, 1), QStringLiteral("Bass")));
  EXPECT_EQ(node(kDedicated, QStringLiteral("Bass")), kick);
  EXPECT_EQ(storedMapping().value(kNote60).toString(), QStringLiteral("Bass"));
  EXPECT_EQ(dedicatedModel()->index(0, 1).data().toString(), QStringLiteral("Bass"));  // sorted

  // Delete with nothing selected does nothing; with a row selected it
  // gives the input its raw name back.
  pane->deleteSelectedPressed();
  EXPECT_EQ(dedicatedModel()->rowCount(), 2);
  pane->dedicatedSection()->tableView()->selectRow(0);
  pane->dedicatedSection()->deleteButton()->click();
  EXPECT_EQ(dedicatedModel()->rowCount(), 1);
  EXPECT_EQ(node(kMIDI, kNote60), kick);
  EXPECT_FALSE(storedMapping().contains(kNote60));
}

TEST_F(MIDIPrefsPane, NoteNamesDefaultToOnAndAnnounceTheirChange) {
  struct Case {
    QVariant stored;
    bool checked;
    QVariant after;
  };
  for (const Case& c : {Case{{}, true, 1}, Case{QStringLiteral("yes"), true, 1}, Case{0, false, 0},
                        Case{1, true, 1}}) {
    UserDefaults::standard().resetForTesting();
    if (c.stored.isValid())
      UserDefaults::standard().setValue(MIDIPrefsController::kNaturalNoteNamesKey, c.stored);
    MIDIPrefsController controller;
    controller.awakeFromNib(nullptr, &dsc);
    EXPECT_EQ(controller.useNaturalNoteNamesButton()->isChecked(), c.checked)
        << c.stored.toString().toStdString();
    EXPECT_EQ(UserDefaults::standard().integerValue(MIDIPrefsController::kNaturalNoteNamesKey),
              c.after.toLongLong());
  }
  wake();
  NotificationCounter changed(MIDIPrefsController::kNaturalNoteNamesNotification);
  pane->useNaturalNoteNamesButton()->click();
  EXPECT_EQ(UserDefaults::standard().integerValue(MIDIPrefsController::kNaturalNoteNamesKey), 0);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.notes()[0].object, pane.get());
}

TEST_F(MIDIPrefsPane, JackSourcesAreListedAndTheirEnableStatesStored) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  wake();
  ASSERT_TRUE(midi->endpointsOpen());
  SafeMidiOut controller(RtMidi::UNIX_JACK, "fakectl");
  controller.openVirtualPort("Knobs");
  ASSERT_TRUE(midi->pollPortsNow());  // announces the new set-up
  QAbstractItemModel* sources = pane->sourcesTableView()->model();
  const QString name = QStringLiteral("fakectl:Knobs");
  auto row = [&] {
    for (int r = 0; r < sources->rowCount(); ++r)
      if (sources->index(r, 0).data().toString() == name) return r;
    return -1;
  };
  ASSERT_TRUE(settle([&] { return row() >= 0; }, 3.0));
  const QModelIndex enabled = sources->index(row(), 1);
  EXPECT_EQ(enabled.data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_FALSE(sources->flags(sources->index(row(), 0)) & Qt::ItemIsEditable);

  ASSERT_TRUE(sources->setData(enabled, Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_FALSE(midi->sourceEnabled(name));
  EXPECT_FALSE(midi->findSourceNodeNamed(name)->isOpen());
  EXPECT_EQ(sources->index(row(), 1).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  const QVariantMap stored =
      UserDefaults::standard().dictionaryValue(QStringLiteral("midiSourcesEnabledDict"));
  ASSERT_TRUE(stored.contains(name));
  EXPECT_FALSE(stored.value(name).toBool());
}

}  // namespace
