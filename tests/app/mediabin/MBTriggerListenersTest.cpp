#include "app/mediabin/MBTriggerListener.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/InputNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/app/mediabin/ListenerFixture.h"
#include "tests/support/DetectPosts.h"
#include "tests/support/NotificationCounter.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <thread>

namespace {

// --- Triggering ---------------------------------------------------------------------------

TEST(MBTriggerListeners, ACellMapsToItsFileOrToNone) {
  struct Case {
    const char* name;
    int listener;
    int transpose;
    bool filesOnly;
    int expectedCell;  // on "ab_cx"; -1: nothing
  };
  const Case cases[] = {
      {"first cell", 0, 0, false, 0},
      {"a blank", 2, 0, false, -1},
      {"files only skips the blank", 2, 0, true, 3},
      {"transposed", 1, 2, false, 3},
      {"a missing file", 4, 0, false, -1},
      {"past the page", 5, 0, false, -1},
      {"files only, a missing file", 3, 0, true, -1},
      {"files only, past the files", 4, 0, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerFixture f;
    f.addListeners(6);
    f.controller->setFilesOnly(c.filesOnly);
    f.controller->justSetTranspose(c.transpose);
    auto listener = f.controller->listenerAt(c.listener);
    listener->setIntValue(1, false);
    f.controller->triggerCell(*listener);
    const std::vector<long> expected =
        c.expectedCell < 0 ? std::vector<long>{} : std::vector<long>{f.fileId(0, c.expectedCell)};
    EXPECT_EQ(f.queue.triggered, expected);
    EXPECT_EQ(listener->lastTriggeredUniqueId(), expected.empty() ? -1 : expected[0]);
  }
}

TEST(MBTriggerListeners, NoCurrentPageOrDetectionTriggersNothing) {
  ListenerFixture f;
  f.addListeners(1);
  auto listener = f.controller->listenerAt(0);
  listener->setIntValue(1, false);
  f.bin.current = 999;  // a page that is gone: kept, addresses nothing
  f.controller->triggerCell(*listener);
  f.bin.current = f.pageId(0);
  f.controller->doContinuousDetect(true);
  f.controller->triggerCell(*listener);
  EXPECT_TRUE(f.queue.triggered.empty());
}

TEST(MBTriggerListeners, AReleaseEjectsOrForgetsItsFile) {
  struct Case {
    const char* name;
    int eject;
    bool typeZeroSource;
    bool pressedBefore;
    std::vector<long> ejected;  // cell indexes; -1 as itself
    int triggersAfterRelease;
  };
  const Case cases[] = {
      {"eject on: the pressed file goes", 1, false, true, {0}, 0},
      {"eject on, no press: asks to eject -1", 1, false, false, {-1}, 0},
      {"eject off: nothing", 0, false, true, {}, 0},
      {"mixed: forgotten, not ejected", -1, false, true, {}, 0},
      {"type-0 source, eject off: a bang triggers", 0, true, true, {}, 1},
      {"type-0 source, eject on: the bang ejects", 1, true, true, {0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerFixture f;
    if (c.typeZeroSource)
      f.dsc.setDataSource(DSFloatInfrequent::createWithName("pad", DSType::Plain), {"ZAPH", "pad"});
    f.controller->addListenerWithSyncArray(c.typeZeroSource ? KeyPath{"ZAPH", "pad"}
                                                            : KeyPath{"MIDI", "note [60] ch. 1"});
    f.controller->setEjectOnNoteOff(c.eject);
    auto listener = f.controller->listenerAt(0);
    if (c.pressedBefore) {
      listener->setIntValue(1, false);
      f.controller->triggerCell(*listener);
    }
    const size_t before = f.queue.triggered.size();
    listener->setIntValue(0, false);
    f.controller->triggerCell(*listener);
    std::vector<long> ejected;
    for (long cell : c.ejected) ejected.push_back(cell < 0 ? -1 : f.fileId(0, int(cell)));
    EXPECT_EQ(f.queue.ejected, ejected);
    EXPECT_EQ(int(f.queue.triggered.size() - before), c.triggersAfterRelease);
  }
}

// --- The bank over the pages ----------------------------------------------------------------

QString cells(int n) { return QString(n, QLatin1Char('f')); }

TEST(MBTriggerListeners, RowDownStepsThroughThePageThenToTheNext) {
  ListenerFixture f({cells(20), cells(20)});
  f.addListeners(8);
  f.controller->rowDownButtonUsed();
  EXPECT_EQ(f.controller->transpose(), 8);
  f.controller->rowDownButtonUsed();
  EXPECT_EQ(f.controller->transpose(), 16);
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  f.controller->rowDownButtonUsed();
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(1));
  EXPECT_EQ(f.controller->transpose(), 0);
  EXPECT_EQ(posts.count(), 1);
  f.controller->rowDownButtonUsed();
  f.controller->rowDownButtonUsed();
  EXPECT_EQ(f.controller->transpose(), 16);
  f.controller->rowDownButtonUsed();  // the last page: stays
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(1));
  EXPECT_EQ(f.controller->transpose(), 16);
}

TEST(MBTriggerListeners, RowUpEndsTheBankAtTheEndOfThePreviousPage) {
  struct Case {
    const char* name;
    int startPage;
    int transpose;
    int columns;
    bool filesOnly;
    int page;
    int expected;
  };
  const Case cases[] = {
      {"previous page, last row", 1, 0, 5, false, 0, 12},
      {"first page stays", 0, 0, 5, false, 0, 12},
      {"part of a bank back", 0, 3, 5, false, 0, 0},
      {"files only: the file count", 1, 0, 5, true, 0, 3},
      {"no columns", 1, 0, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Page 0: 20 cells, 11 files.
    ListenerFixture f({cells(10) + QString(9, QLatin1Char('_')) + QStringLiteral("f"), cells(20)});
    f.addListeners(8);
    f.bin.current = f.pageId(c.startPage);
    f.controller->setGridColumns(c.columns);
    f.controller->setFilesOnly(c.filesOnly);
    f.controller->justSetTranspose(c.transpose);
    f.controller->rowUpButtonUsed();
    EXPECT_EQ(f.bin.currentPageId(), f.pageId(c.page));
    EXPECT_EQ(f.controller->transpose(), c.expected);
  }
}

TEST(MBTriggerListeners, PageStepsFollowTheVisiblePages) {
  ListenerFixture f({cells(3), cells(3), cells(3)});
  f.bin.current = 999;
  f.controller->nextPageButtonUsed();  // not found: the first
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(0));
  f.controller->nextPageButtonUsed();
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(1));
  EXPECT_TRUE(f.bin.pageExpanded(f.pageId(1)));
  f.controller->prevPageButtonUsed();
  f.controller->prevPageButtonUsed();  // the first stays
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(0));
}

// --- Play previous, next, random --------------------------------------------------------------

TEST(MBTriggerListeners, PlayNextAndPreviousTakeTheFirstFreeFile) {
  struct Case {
    const char* name;
    bool next;
    int playingOnDeck;  // cell index playing on the on-deck layer, -1 none
    std::vector<int> busy;
    int expected;  // cell, -1 nothing
  };
  // Page "a_bcd": files a(0) b(2) c(3) d(4).
  const Case cases[] = {
      {"next from nothing: the first", true, -1, {}, 0},
      {"previous from nothing: the last", false, -1, {}, 4},
      {"next from the playing file: itself is busy", true, 2, {}, 3},
      {"previous wraps", false, 0, {}, 4},
      {"next wraps past busy files", true, 3, {4}, 0},
      {"all busy: nothing", true, -1, {0, 2, 3, 4}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerFixture f({QStringLiteral("a_bcd")});
    if (c.playingOnDeck >= 0) f.queue.playing.insert(f.fileId(0, c.playingOnDeck), "L");
    for (int cell : c.busy) f.queue.waiting.insert(f.fileId(0, cell), "M");
    if (c.next)
      f.controller->playNextButtonUsed();
    else
      f.controller->playPrevButtonUsed();
    const std::vector<long> expected =
        c.expected < 0 ? std::vector<long>{} : std::vector<long>{f.fileId(0, c.expected)};
    EXPECT_EQ(f.queue.triggered, expected);
  }
}

TEST(MBTriggerListeners, PlayRandomDrawsAmongTheFreeFiles) {
  struct Case {
    long draw;
    int expected;
  };
  // Free files of "abcd" with b busy: a, c, d.
  const Case cases[] = {{0, 0}, {1L << 30, 2}, {(1L << 31) - 1, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.draw);
    ListenerFixture f({QStringLiteral("abcd")});
    f.queue.playing.insert(f.fileId(0, 1), "M");
    f.controller->setRandomGenerator([&] { return c.draw; });
    f.controller->playRandButtonUsed();
    EXPECT_EQ(f.queue.triggered, std::vector<long>{f.fileId(0, c.expected)});
  }
  ListenerFixture none({QStringLiteral("a")});
  none.queue.waiting.insert(none.fileId(0, 0), "M");
  none.controller->playRandButtonUsed();
  EXPECT_TRUE(none.queue.triggered.empty());
}

// --- Names and snapshots --------------------------------------------------------------------

TEST(MBTriggerListeners, NamesAndTableTexts) {
  struct Case {
    const char* name;
    KeyPath path;
    int naturalNames;  // -1: default absent
    QString listenerName;
    QString tableText;
  };
  const Case cases[] = {
      {"note, natural names", {"MIDI", "note [60] ch. 1"}, -1, "C3", "C3"},
      {"note, numbers", {"MIDI", "note [60] ch. 1"}, 0, "n60", "n60"},
      {"controller", {"MIDI", "ctrl [7] ch. 1"}, -1, "CC7", "CC7"},
      {"pitch wheel", {"MIDI", "ptch.whl. ch. 2"}, -1, "PB", "PB"},
      {"OSC address", {"OSC", "/pad/3"}, -1, "3", "OSC//pad/3"},
      {"key", {"Key", "q"}, -1, "q", "Key/q"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerFixture f;
    if (c.naturalNames >= 0)
      UserDefaults::standard().setValue("QKMIDIUseNaturalNoteNamesFlag", c.naturalNames);
    f.controller->addListenerWithSyncArray(c.path);
    EXPECT_EQ(f.controller->listenerAt(0)->humanReadableName(), c.listenerName);
    EXPECT_EQ(f.controller->data(f.controller->index(0, 1)).toString(), c.tableText);
    EXPECT_EQ(f.controller->data(f.controller->index(0, 0)).toInt(), 1);
  }
  ListenerFixture f;
  f.addListeners(1);
  EXPECT_EQ(f.controller->data(f.controller->index(0, 1)).toString(), "None");
}

TEST(MBTriggerListeners, SnapshotRoundTripAndBadEntries) {
  ListenerFixture f;
  f.controller->addListenerWithSyncArray(KeyPath{"MIDI", "note [60] ch. 1"});
  f.controller->addListenerWithSyncArray(KeyPath{"Key", "q"});
  f.addListeners(1);
  f.controller->setEjectOnNoteOff(1);
  f.controller->justSetTranspose(4);
  const QVariantMap snap = f.controller->createSnapshot();
  EXPECT_FALSE(snap.value("itemArray").toList()[2].toMap().contains("syncArray") &&
               snap.value("itemArray").toList()[2].toMap().value("syncFlag").toBool());

  ListenerFixture g;
  QVariantMap loaded = snap;
  QVariantList items = loaded.value("itemArray").toList();
  items << QVariantMap{{"syncArray", QVariantList{"MIDI", 7}}, {"syncFlag", true}}
        << QVariantMap{{"QKMBTriggerCell-syncGen", "MIDI"},
                       {"QKMBTriggerCell-syncSpec", "note [61] ch. 1"}};
  loaded.insert("itemArray", items);
  g.controller->loadSnapshot(loaded);
  ASSERT_EQ(g.controller->count(), 5);
  EXPECT_EQ(g.controller->listenerAt(0)->syncArray(), (KeyPath{"MIDI", "note [60] ch. 1"}));
  EXPECT_TRUE(g.controller->listenerAt(1)->syncFlag());
  EXPECT_FALSE(g.controller->listenerAt(3)->syncFlag());  // not strings: unbound
  EXPECT_EQ(g.controller->listenerAt(4)->syncArray(), (KeyPath{"MIDI", "note [61] ch. 1"}));
  EXPECT_TRUE(g.controller->listenerAt(4)->syncFlag());
  EXPECT_EQ(g.controller->ejectOnNoteOff(), 1);
  EXPECT_EQ(g.controller->transpose(), 4);

  g.controller->loadSnapshot({});  // no "itemArray": no listeners
  EXPECT_EQ(g.controller->count(), 0);
}

// --- Learning -------------------------------------------------------------------------------

TEST(MBTriggerListeners, ContinuousDetectionAddsEachNewSourceOnce) {
  auto oscNode = DSFloatInfrequent::createWithName("/fader");
  auto button = DSFloatInfrequent::createWithName("pad", DSType::Plain);
  struct Case {
    const char* name;
    std::function<void(DataSource*, DataSource*)> post;
    int listeners;
  };
  const Case cases[] = {
      {"A, A",
       [](auto*, auto*) {
         postKeyDetect("a");
         postKeyDetect("a");
       },
       1},
      {"A, B, A",
       [](auto*, auto*) {
         postKeyDetect("a");
         postMIDIDetect(0x90, 60, 100);
         postKeyDetect("a");
       },
       3},
      {"note-off", [](auto*, auto*) { postMIDIDetect(0x80, 60, 0); }, 0},
      {"note-on velocity 0", [](auto*, auto*) { postMIDIDetect(0x90, 60, 0); }, 0},
      {"controller", [](auto*, auto*) { postMIDIDetect(0xB0, 7, 100); }, 0},
      {"auto-repeat", [](auto*, auto*) { postKeyDetect("a", true); }, 0},
      {"key release",
       [](auto*, auto*) { postKeyDetect("a", false, Qt::Key_A, QEvent::KeyRelease); }, 0},
      {"backspace", [](auto*, auto*) { postKeyDetect("\b", false, Qt::Key_Backspace); }, 0},
      {"button at 0.5",
       [](auto*, DataSource* b) {
         b->setValue(0.5f);
         NotificationCenter::defaultCenter().post(
             QString::fromLatin1(DataSourceNotifications::ButtonDetect), b);
       },
       0},
      {"button at 1",
       [](auto*, DataSource* b) {
         b->setValue(1.0f);
         NotificationCenter::defaultCenter().post(
             QString::fromLatin1(DataSourceNotifications::ButtonDetect), b);
       },
       1},
      {"OSC at 0",
       [](DataSource* o, auto*) {
         o->setValue(0.0f);
         NotificationCenter::defaultCenter().post(
             QString::fromLatin1(InputNotifications::OSCDetect), nullptr,
             {{QString::fromLatin1(InputNotifications::DataSourceKey),
               QVariant::fromValue(std::shared_ptr<DataSource>(o, [](DataSource*) {}))}});
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerFixture f;
    f.controller->continuousDetectButtonUsed(1);
    EXPECT_EQ(f.controller->instructions(), "waiting for keys or notes");
    c.post(oscNode.get(), button.get());
    f.settle();
    EXPECT_EQ(f.controller->count(), c.listeners);
    f.controller->continuousDetectButtonUsed(0);
    EXPECT_FALSE(f.controller->continuousDetectSetup());
    EXPECT_EQ(f.controller->instructions(), " ");
  }
}

TEST(MBTriggerListeners, DetectionOnAMIDIThreadChangesTheListOnTheMainThread) {
  ListenerFixture f;
  f.controller->doContinuousDetect(true);
  std::thread midi([] { postMIDIDetect(0x90, 62, 90, 3); });
  midi.join();
  EXPECT_EQ(f.controller->count(), 0);  // not yet: queued for the main thread
  f.settle();
  ASSERT_EQ(f.controller->count(), 1);
  EXPECT_EQ(f.controller->listenerAt(0)->syncArray(), (KeyPath{"MIDI", "note [62] ch. 3"}));
  EXPECT_EQ(f.controller->lastDetectedSource(), "MIDI/note [62] ch. 3");
}

TEST(MBTriggerListeners, RangeSetupMakesOneListenerPerNote) {
  struct Case {
    const char* name;
    int first, last;
    std::vector<int> notes;
  };
  const Case cases[] = {
      {"up", 60, 64, {60, 61, 62, 63, 64}},
      {"down", 64, 60, {64, 63, 62, 61, 60}},
      {"one note", 60, 60, {60}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerFixture f;
    f.addListeners(3);
    f.controller->autoMidiRangeSetupButtonUsed();
    EXPECT_EQ(f.controller->count(), 0);  // starting clears the list
    EXPECT_TRUE(f.controller->rangeFieldsShown());
    postMIDIDetect(0x90, c.first, 100);
    f.settle();
    postMIDIDetect(0x90, c.last, 0);  // a release of the first key (velocity 0): no last note
    postMIDIDetect(0x80, c.last, 0);
    f.settle();
    EXPECT_EQ(f.controller->autoMidiSetupStage(), 2);
    postMIDIDetect(0x90, c.last, 100);
    f.settle();
    ASSERT_EQ(f.controller->count(), int(c.notes.size()));
    for (size_t i = 0; i < c.notes.size(); ++i)
      EXPECT_EQ(f.controller->listenerAt(int(i))->syncArray(),
                (KeyPath{"MIDI", QStringLiteral("note [%1] ch. 1").arg(c.notes[i])}));
    EXPECT_EQ(f.controller->autoMidiSetupStage(), 0);
    EXPECT_FALSE(f.controller->rangeFieldsShown());
  }
}

TEST(MBTriggerListeners, ATypedRangeIsCheckedBeforeUse) {
  ListenerFixture f;
  f.controller->autoMidiRangeSetupButtonUsed();
  EXPECT_FALSE(f.controller->midiRangeTextFieldUsed("200", "1"));
  EXPECT_FALSE(f.controller->midiRangeTextFieldUsed("36", "0"));
  EXPECT_FALSE(f.controller->midiRangeTextFieldUsed("36", "x"));
  EXPECT_EQ(f.controller->count(), 0);
  EXPECT_TRUE(f.controller->midiRangeTextFieldUsed("36", "2"));
  EXPECT_EQ(f.controller->listenerAt(0)->syncArray(), (KeyPath{"MIDI", "note [36] ch. 2"}));
  EXPECT_FALSE(f.controller->midiRangeTextFieldUsed("100000", "2"));
  EXPECT_EQ(f.controller->count(), 1);
  EXPECT_EQ(f.controller->autoMidiSetupStage(), 2);
}

TEST(MBTriggerListeners, LearningModesEndEachOther) {
  ListenerFixture f;
  f.controller->continuousDetectButtonUsed(1);
  f.controller->autoMidiRangeSetupButtonUsed();
  EXPECT_FALSE(f.controller->continuousDetectSetup());
  EXPECT_EQ(f.controller->autoMidiSetupStage(), 1);
  f.controller->continuousDetectButtonUsed(1);
  EXPECT_EQ(f.controller->autoMidiSetupStage(), 0);
  EXPECT_TRUE(f.controller->continuousDetectSetup());
  f.addListeners(2);
  f.controller->removeItemsAtIndexes({0});
  EXPECT_EQ(f.controller->count(), 1);
  f.controller->clearAllShortcuts();  // detection goes on
  EXPECT_EQ(f.controller->count(), 0);
  EXPECT_TRUE(f.controller->continuousDetectSetup());
}

TEST(MBTriggerListeners, HardwareLearnSelectsAndDeselects) {
  ListenerFixture f;
  f.controller->select();  // not in learn mode: nothing starts
  EXPECT_FALSE(f.controller->continuousDetectSetup());
  f.controller->deselect();
  f.controller->hardwareLearnModeUpdated(true);
  EXPECT_FALSE(f.controller->continuousDetectSetup());
  f.dsc.selectThisAltUIItem(f.controller.get());
  EXPECT_TRUE(f.controller->selected());
  EXPECT_TRUE(f.controller->continuousDetectSetup());
  f.dsc.deselectAllAltUIItems();
  EXPECT_FALSE(f.controller->continuousDetectSetup());
  f.dsc.selectThisAltUIItem(f.controller.get());
  f.controller->hardwareLearnModeUpdated(false);
  EXPECT_FALSE(f.controller->continuousDetectSetup());
}

// --- Threads --------------------------------------------------------------------------------

// Notes on a MIDI thread trigger cells while the main thread moves files,
// removes listeners and switches pages (run under ThreadSanitizer too).
TEST(MBTriggerListeners, TriggersOnAMIDIThreadMeetMainThreadEdits) {
  ListenerFixture f({cells(16), cells(16)});
  for (int n = 0; n < 8; ++n)
    f.controller->addListenerWithSyncArray(
        KeyPath{"MIDI", QStringLiteral("note [%1] ch. 1").arg(60 + n)});
  std::atomic<bool> stop{false};
  std::thread midi([&] {
    int n = 0;
    while (!stop.load()) {
      const int note = 60 + (n++ % 8);
      f.dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, std::uint8_t(note), 100));
      f.dsc.midiMsgReceived(QKMIDIMessage(0x80, 1, std::uint8_t(note), 0));
    }
  });
  QKPageController* pages = f.bin.pageController();
  for (int round = 0; round < 40; ++round) {
    const auto from = pages->pages()[size_t(round % 2)];
    const auto to = pages->pages()[1 - size_t(round % 2)];
    pages->moveFilesWithIds({from->filesOnlyContents().front()->uniqueFileId()}, to, 3, true);
    f.bin.setCurrentPageId(f.pageId(round % 2));
    if (round % 10 == 9) f.controller->removeItemsAtIndexes({0});
    MainThread::processUntil([] { return false; }, 0.002);
  }
  stop = true;
  midi.join();
  EXPECT_FALSE(f.queue.triggeredSoFar().empty());
  EXPECT_EQ(f.controller->count(), 4);
}

}  // namespace
