// A media bin in ZAPH's process played from hardware: notes sent through a
// JACK server to "To ZAPH", or OSC messages over loopback, are learnt by the
// bin's listeners; played again, listener k's note gives cell k's clip to a
// real layer, which loads it on the main thread, and with eject on note off
// the release ejects it.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "app/mediabin/MediaBin.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/shell/AppController.h"
#include "app/sources/VidSourceObject.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/JackServer.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

namespace {

// A bin over one layer, two clips in the first two cells of its first page,
// and a record of the layer's loads: which file, and whether on the main
// thread.
class PlayingBin {
 public:
  explicit PlayingBin(AppController& controller) : controller_(controller) {
    layer_ = controller.compositorObject()->createNewLayer();
    bin_ = dynamic_cast<MediaBin*>(
        controller.pluginManager()->instantiatePluginType(MediaBin::kTypeName));
    observers_.observe(
        Layer::kTriggerFileNotification, layer_.get(), [this](const Notification& n) {
          const auto file =
              n.userInfo.value(QStringLiteral("newFile")).value<std::shared_ptr<QKFile>>();
          loadedId_.store(file ? file->uniqueFileId() : -1);
          if (!MainThread::isMainThread()) offMainLoads_.fetch_add(1);
        });
  }
  ~PlayingBin() { close(); }
  // Before the controller terminates.
  void close() {
    if (!layer_) return;
    observers_.clear();
    controller_.pluginManager()->deleteAllPlugins();
    layer_.reset();
    controller_.compositorObject()->deleteAllLayers();
  }

  // Empty, or what went wrong.
  QString loadClips() {
    const QString folder = TestEnvironment::makeTempDir("bin-clips");
    for (const char* name : {"/one.mov", "/two.mov"})
      if (const QString error = TestClip::write(folder + name, TestClipSpec{}); !error.isEmpty())
        return error;
    QKFileLoader* loader = controller_.fileLoaderObject();
    loader->addTheseFilesToQueue({folder + "/one.mov", folder + "/two.mov"}, nullptr, 0, false);
    if (!MainThread::processUntil([&] { return !loader->loading(); }, 30))
      return QStringLiteral("the clips did not load");
    const auto& cells = controller_.pageController()->pages().front()->contents();
    if (cells.size() < 2 || !cells[0] || !cells[1] || !cells[0]->validFile() ||
        !cells[1]->validFile())
      return QStringLiteral("the first page does not hold two valid clips");
    return {};
  }

  MediaBin* bin() const { return bin_; }
  MBTriggerListenersController* listeners() const { return bin_->triggerListenersController(); }
  long clipId(int cell) const {
    return controller_.pageController()->pages().front()->contents()[size_t(cell)]->uniqueFileId();
  }
  std::shared_ptr<QKFile> layerFile() const {
    VidSourceObject* source = layer_->currentSource();
    return source ? source->currentFile() : nullptr;
  }
  long layerFileId() const {
    const auto file = layerFile();
    return file ? file->uniqueFileId() : -1;
  }
  bool layerPlays(long id) const {
    return MainThread::processUntil([&] { return layerFileId() == id; }, 5.0);
  }
  long lastLoadedId() const { return loadedId_.load(); }
  int offMainLoads() const { return offMainLoads_.load(); }

  // Sends `send` until the listeners number `count` (a port connection or
  // an input takes a moment to appear); true once they do.
  bool learnUntil(int count, const std::function<void()>& send) {
    for (int i = 0; i < 75; ++i) {
      send();
      if (MainThread::processUntil([&] { return listeners()->count() >= count; }, 0.2)) return true;
    }
    return false;
  }

 private:
  AppController& controller_;
  std::shared_ptr<Layer> layer_;
  MediaBin* bin_ = nullptr;
  NotificationObservers observers_;
  std::atomic<long> loadedId_{-1};
  std::atomic<int> offMainLoads_{0};
};

void settle() {
  MainThread::processUntil([] { return false; }, 0.2);
}

TEST(MediaBinJack, ALearntNotePlaysItsCellOnALayerAndItsReleaseEjects) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  ScopedEnvironmentVariable midiApi("ZAPH_MIDI_API", "jack");
  UserDefaults::standard().resetForTesting();
  {
    AppController controller;
    PlayingBin playing(controller);
    ASSERT_NE(playing.bin(), nullptr);
    ASSERT_EQ(playing.loadClips(), QString());
    SafeMidiOut out(RtMidi::UNIX_JACK, "keyboard");
    const int toZaph = JackServer::portIndex(out, ":To ZAPH");
    ASSERT_GE(toZaph, 0);
    out.openPort(unsigned(toZaph), "out");
    const auto send = [&out](std::vector<unsigned char> message) { out.sendMessage(&message); };
    const auto press = [&](unsigned char note) {
      send({0x90, note, 100});
      send({0x80, note, 0});
    };

    // Continuous detection learns note 60, then note 62: listeners 0 and 1.
    MBTriggerListenersController* listeners = playing.listeners();
    listeners->continuousDetectButtonUsed(1);
    ASSERT_TRUE(playing.learnUntil(1, [&] { press(60); }));
    ASSERT_TRUE(playing.learnUntil(2, [&] { press(62); }));
    settle();
    listeners->continuousDetectButtonUsed(0);
    ASSERT_EQ(listeners->count(), 2) << "a repeated note is learnt once";
    EXPECT_EQ(listeners->listenerAt(0)->syncArray(), KeyPath({"MIDI", "note [60] ch. 1"}));
    EXPECT_EQ(listeners->listenerAt(1)->syncArray(), KeyPath({"MIDI", "note [62] ch. 1"}));
    EXPECT_EQ(playing.layerFileId(), -1) << "nothing plays while learning";

    // Under load a learning note's release can be lost on its way in, and a
    // note still held and played again is no change: both notes are released,
    // as far as ZAPH can tell, before they are played.
    for (unsigned char number : {60, 62}) {
      const std::shared_ptr<DataSource> note =
          controller.dataSourceController()->dataSourceForKeyArray(
              {"MIDI", QStringLiteral("note [%1] ch. 1").arg(number)});
      ASSERT_TRUE(note) << int(number);
      for (int i = 0; i < 25 && note->value() != 0.0f; ++i) {
        send({0x80, number, 0});
        MainThread::processUntil([&] { return note->value() == 0.0f; }, 0.2);
      }
      ASSERT_EQ(note->value(), 0.0f) << int(number);
    }

    // Played, listener 1's note gives cell 1's clip to the layer.
    listeners->setEjectOnNoteOff(1);
    send({0x90, 62, 100});
    EXPECT_TRUE(playing.layerPlays(playing.clipId(1))) << playing.layerFileId();
    EXPECT_EQ(playing.lastLoadedId(), playing.clipId(1));
    // Its release ejects it.
    send({0x80, 62, 0});
    EXPECT_TRUE(playing.layerPlays(-1)) << playing.layerFileId();
    // A keyboard's note off: a note on at velocity 0 ejects as well.
    send({0x90, 60, 100});
    EXPECT_TRUE(playing.layerPlays(playing.clipId(0))) << playing.layerFileId();
    send({0x90, 60, 0});
    EXPECT_TRUE(playing.layerPlays(-1)) << playing.layerFileId();
    EXPECT_EQ(playing.offMainLoads(), 0) << "the layer loads on the main thread only";

    // Without eject the release leaves the clip playing.
    listeners->setEjectOnNoteOff(0);
    send({0x90, 60, 100});
    ASSERT_TRUE(playing.layerPlays(playing.clipId(0)));
    send({0x80, 60, 0});
    settle();
    EXPECT_EQ(playing.layerFileId(), playing.clipId(0));
    playing.close();
    controller.applicationWillTerminate();
  }
}

TEST(MediaBinOverOSC, ALearntAddressPlaysItsCellOnALayerAndItsZeroEjects) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  UserDefaults::standard().resetForTesting();
  AppController controller;
  PlayingBin playing(controller);
  ASSERT_NE(playing.bin(), nullptr);
  ASSERT_EQ(playing.loadClips(), QString());
  const auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("pads"));
  const auto send = [&out](const char* address, float value) {
    auto message = OSCMessage::createWithAddress(QString::fromLatin1(address));
    message->addFloat(value);
    ASSERT_TRUE(out.sendThisMessage(*message));
  };

  // A pad resting at 0 teaches nothing; struck, it becomes listener 0, and
  // a second pad listener 1.
  MBTriggerListenersController* listeners = playing.listeners();
  listeners->continuousDetectButtonUsed(1);
  send("/pads/1", 0.0f);
  settle();
  EXPECT_EQ(listeners->count(), 0);
  ASSERT_TRUE(playing.learnUntil(1, [&] { send("/pads/1", 1.0f); }));
  ASSERT_TRUE(playing.learnUntil(2, [&] { send("/pads/2", 1.0f); }));
  settle();
  listeners->continuousDetectButtonUsed(0);
  ASSERT_EQ(listeners->count(), 2);
  EXPECT_EQ(listeners->listenerAt(1)->syncArray(), KeyPath({"OSC", "/pads/2"}));

  listeners->setEjectOnNoteOff(1);
  send("/pads/2", 0.0f);
  settle();
  send("/pads/2", 1.0f);
  EXPECT_TRUE(playing.layerPlays(playing.clipId(1))) << playing.layerFileId();
  send("/pads/2", 0.0f);
  EXPECT_TRUE(playing.layerPlays(-1)) << playing.layerFileId();
  send("/pads/1", 0.0f);
  settle();
  send("/pads/1", 1.0f);
  EXPECT_TRUE(playing.layerPlays(playing.clipId(0))) << playing.layerFileId();
  EXPECT_EQ(playing.offMainLoads(), 0) << "the layer loads on the main thread only";
  playing.close();
  controller.applicationWillTerminate();
}

}  // namespace
