// A layer chain preset's shortcut in ZAPH's process: a MIDI note played
// through a JACK server is learnt as the shortcut, and the same note then
// puts the preset's effects on the layer.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/effects/LayerChainManager.h"
#include "app/shell/AppController.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/support/JackServer.h"
#include "tests/support/OwnUserDataFolder.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

namespace {

QStringList chainOf(Layer& layer) {
  QStringList names;
  for (const QVariant& entry : layer.fxChain()->createSnapshot())
    names << entry.toMap().value("fxNameString").toString();
  return names;
}

// The MIDI API and the user data folder are taken back even when the test
// stops at a failed assertion, so later tests in the process keep theirs.
class ChainPresetShortcutInZaph : public ::testing::Test {
 protected:
  ScopedEnvironmentVariable midiApi_{"ZAPH_MIDI_API", "jack"};
  OwnUserDataFolder data_;
};

TEST_F(ChainPresetShortcutInZaph, ANoteThroughJackIsLearntAndAppliesItsPreset) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  UserDefaults::standard().resetForTesting();
  {
    AppController controller;
    ASSERT_TRUE(controller.layerChainManager()->savePreset(
        "P", QVariantList{QVariantMap{{"fxNameString", "Bright"}}}));
    std::shared_ptr<Layer> layer = controller.compositorObject()->createNewLayer();
    ASSERT_TRUE(layer);

    SafeMidiOut out(RtMidi::UNIX_JACK, "controller");
    int toZaph = -1;
    for (unsigned i = 0; i < out.getPortCount(); ++i)
      if (out.getPortName(i).ends_with(":To ZAPH")) toZaph = static_cast<int>(i);
    ASSERT_GE(toZaph, 0);
    out.openPort(static_cast<unsigned>(toZaph), "out");
    const std::vector<unsigned char> on = {0x90, 64, 100}, off = {0x80, 64, 0};

    // The port connection takes a moment, so the note is sent until learnt.
    layer->startDetectForFXChainShortcutNamed("P");
    bool learnt = false;
    for (int i = 0; i < 75 && !learnt; ++i) {
      out.sendMessage(&on);
      out.sendMessage(&off);
      learnt = MainThread::processUntil(
          [&] { return !layer->shortcutStringForFXChainPresetNamed("P").isNull(); }, 0.2);
    }
    ASSERT_TRUE(learnt);
    EXPECT_EQ(layer->shortcutStringForFXChainPresetNamed("P"), "MIDI/note [64] ch. 1");
    MainThread::processUntil([] { return false; }, 0.2);
    EXPECT_TRUE(chainOf(*layer).isEmpty()) << "learning applies nothing";

    // Under load (a sanitizer's slowdown) the learning note's release can be
    // lost on its way in; a note still held and played again is no change.
    // So the note is released, as far as ZAPH can tell, before it is played.
    const std::shared_ptr<DataSource> note =
        controller.dataSourceController()->dataSourceForKeyArray(
            layer->shortcutStringForFXChainPresetNamed("P").split('/'));
    ASSERT_TRUE(note);
    for (int i = 0; i < 25 && note->value() != 0.0f; ++i) {
      out.sendMessage(&off);
      MainThread::processUntil([&] { return note->value() == 0.0f; }, 0.2);
    }
    ASSERT_EQ(note->value(), 0.0f);

    out.sendMessage(&on);
    EXPECT_TRUE(
        MainThread::processUntil([&] { return chainOf(*layer) == QStringList{"Bright"}; }, 5.0))
        << chainOf(*layer).join(',').toStdString();
    out.sendMessage(&off);
    controller.compositorObject()->deleteAllLayers();
    controller.applicationWillTerminate();
  }
}

}  // namespace
