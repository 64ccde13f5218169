// Shortcuts switching from a MIDI thread and the tick pulling while the main
// thread edits the inputs: nothing breaks (run it under ThreadSanitizer),
// and the follower ends on the current input's source.
#include "tests/app/multiplexer/MultiplexerFixture.h"

#include "platform/midi/QKMIDIMessage.h"

#include <atomic>
#include <thread>

namespace {

using M = QKMultiplexerPlugin;

KeyPath note(int number) { return {"MIDI", QStringLiteral("note [%1] ch. 1").arg(number)}; }

TEST_F(MultiplexerTest, ShortcutsAndTheTickRunWhileTheMainThreadEditsTheInputs) {
  for (const char* name : {"a", "b", "c"}) addSource(QString::fromLatin1(name), 0.5f);
  M* m = makeWith({"a", "b", "c"});
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(dsc.inputSourceForKeyArray(note(60 + i)));
    m->inputs()[size_t(i)]->useThisSource(note(60 + i));
    m->inputs()[size_t(i)]->setSyncFlag(true);
  }
  const QVariantMap saved = m->createSnapshot();
  m->dataSourcesChangedNotification();
  int sourceB = -1;
  for (size_t i = 0; i < m->sourceMenuItems().size(); ++i)
    if (m->sourceMenuItems()[i].keyPath == test("b")) sourceB = int(i);
  ASSERT_GE(sourceB, 0);

  std::atomic<bool> stop{false};
  std::thread midi([&] {
    for (int i = 0; !stop.load(); ++i) {
      const auto number = std::uint8_t(60 + i % 3);
      dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, number, 100));
      dsc.midiMsgReceived(QKMIDIMessage(0x80, 1, number, 0));
    }
  });
  std::thread tick([&] {
    while (!stop.load()) dsc.threadProc();
  });
  for (int round = 0; round < 500; ++round) {
    m->addInputWithSliderSyncArray(test("c"));
    m->outputItemToldToUseDSAtIndex(round % 3, sourceB);
    m->deleteInputsAtIndicies({round % 4});
    m->switchToIndex(std::uint32_t(round % 3));
    if (round % 10 == 0) m->loadSnapshot(saved);
    m->createSnapshot();
  }
  stop.store(true);
  midi.join();
  tick.join();
  settle();

  const auto inputs = m->inputs();
  const std::uint32_t index = m->inputIndex();
  ASSERT_LT(index, inputs.size());
  EXPECT_EQ(m->follower()->syncArray(), inputs[index]->sliderSyncArray());
}

}  // namespace
