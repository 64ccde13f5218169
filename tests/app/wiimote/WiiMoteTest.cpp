// The Wii remote plug-in on the fake backend: connection states, the sets
// of sources, input mapping, mouse mode, options, the battery view and the
// snapshot.
#include "app/plugins/wiimote/ColorChangePanel.h"
#include "app/plugins/wiimote/WiiMote.h"
#include "app/plugins/wiimote/WiimoteOptionsController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/display/PointerControl.h"
#include "platform/foundation/MainThread.h"
#include "platform/wiiremote/FakeWiiRemoteBackend.h"
#include "platform/wiiremote/WiiRemote.h"
#include "tests/support/ManualDelayedCalls.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QLineEdit>

#include <linux/input-event-codes.h>

namespace {

FakeWiiRemoteBackend::Remote remoteAt(const QString& address) {
  FakeWiiRemoteBackend::Remote remote;
  remote.address = address;
  return remote;
}

struct FakePointer : PointerControl {
  QSize mainDisplayPixels() const override { return {1000, 500}; }
  QPoint position() const override { return moves.empty() ? QPoint() : moves.back(); }
  bool canMove() const override { return movable; }
  void hide() override {}
  void show() override {}
  bool hidden() const override { return false; }
  bool moveTo(QPoint pixel) override {
    moves.push_back(pixel);
    return movable;
  }
  std::vector<QPoint> moves;
  bool movable = true;
};

class WiiMoteTest : public PluginHost {
 protected:
  WiiMoteTest() { WiiRemote::setSearchSeconds(0.3); }
  ~WiiMoteTest() override {
    manager.reset();
    WiiRemote::setSearchSeconds(30.0);
  }

  WiiMote* makeWii() {
    auto* wii = make<WiiMote>();
    wii->setBackend(backend);
    wii->setDelayedCalls(&delayed);
    auto pointer = std::make_unique<FakePointer>();
    this->pointer = pointer.get();
    wii->setPointerControl(std::move(pointer));
    return wii;
  }
  // Detects, waits for the connection and runs the follow-up.
  void connect(WiiMote* wii) {
    wii->detectButtonUsed();
    ASSERT_TRUE(MainThread::processUntil(
        [wii] { return wii->statusText().startsWith("Connected to WiiRemote"); }, 5.0))
        << wii->statusText().toStdString();
    delayed.advance(0.5);
  }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }
  std::shared_ptr<DataSource> at(const KeyPath& path) { return dsc.dataSourceForKeyArray(path); }
  float value(const KeyPath& path) {
    auto source = at(path);
    return source ? source->value() : -1.0f;
  }

  std::shared_ptr<FakeWiiRemoteBackend> backend = std::make_shared<FakeWiiRemoteBackend>();
  ManualDelayedCalls delayed;
  FakePointer* pointer = nullptr;
};

TEST_F(WiiMoteTest, ANewPluginHasItsRootAndTheBaseSet) {
  WiiMote* wii = makeWii();
  const QString t = wii->windowTitle();
  ASSERT_NE(at({t}), nullptr);
  for (const KeyPath& path :
       {KeyPath{t, "WiiMote", "Accel.", "Z"}, KeyPath{t, "WiiMote", "Orientation", "Yaw"},
        KeyPath{t, "WiiMote", "IR", "X"}, KeyPath{t, "WiiMote", "Hidden", "Home"},
        KeyPath{t, "WiiMote", "Hidden", "2"}})
    EXPECT_NE(at(path), nullptr) << path.join('/').toStdString();
  EXPECT_EQ(at({t, "NunChuk"}), nullptr);
  EXPECT_FALSE(wii->batteryIndicator()->isVisibleTo(wii->window()));
  EXPECT_FALSE(wii->createSnapshot().contains("mote"));
}

TEST_F(WiiMoteTest, DetectConnectsAndTheFollowUpSendsLEDsAndInstallsTheExpansion) {
  FakeWiiRemoteBackend::Remote remote = remoteAt(QStringLiteral("00:19:1D:AA:BB:CC"));
  remote.extension = 1;
  backend->addRemote("r1", remote);
  WiiMote* wii = makeWii();
  wii->led(1)->setChecked(true);
  wii->detectButtonUsed();
  EXPECT_EQ(wii->statusText(), QStringLiteral("Searching for WiiMotes..."));
  ASSERT_TRUE(MainThread::processUntil(
      [wii] { return wii->statusText().startsWith("Connected to WiiRemote"); }, 5.0));
  EXPECT_EQ(wii->statusText(), QStringLiteral("Connected to WiiRemote 00:19:1D:AA:BB:CC"));
  EXPECT_TRUE(wii->batteryIndicator()->isVisibleTo(wii->window()));
  EXPECT_EQ(wii->currentExpPort(), 0);  // not before the follow-up
  delayed.advance(0.49);
  EXPECT_EQ(wii->currentExpPort(), 0);
  delayed.advance(0.01);
  EXPECT_EQ(wii->currentExpPort(), 1);
  EXPECT_NE(at({wii->windowTitle(), "NunChuk", "JoyStick"}), nullptr);
  EXPECT_EQ(backend->remote("r1").leds, (std::array<bool, 4>{false, true, false, false}));
  EXPECT_TRUE(
      MainThread::processUntil([wii] { return wii->batteryIndicator()->val() > 0.79; }, 5.0));
}

TEST_F(WiiMoteTest, DetectingTwiceDropsTheFirstRemoteBeforeTheNewSearch) {
  backend->addRemote("r1", remoteAt(QStringLiteral("a")));
  WiiMote* wii = makeWii();
  connect(wii);
  wii->detectButtonUsed();
  EXPECT_EQ(wii->statusText(), QStringLiteral("Searching for WiiMotes..."));
  EXPECT_TRUE(MainThread::processUntil([this] { return backend->opens() == 2; }, 5.0));
}

TEST_F(WiiMoteTest, ARemoteWithoutAddressIsClosedAtOnce) {
  backend->addRemote("r1", remoteAt(QString()));
  WiiMote* wii = makeWii();
  wii->detectButtonUsed();
  ASSERT_TRUE(MainThread::processUntil([wii] { return wii->mote() == nullptr; }, 5.0));
  EXPECT_EQ(wii->statusText(), QStringLiteral("Connection unstable- try detecting again"));
}

TEST_F(WiiMoteTest, ExpansionsSwapTheirSetsAndALostConnectionKeepsTheSources) {
  backend->addRemote("r1", remoteAt(QStringLiteral("a")));
  WiiMote* wii = makeWii();
  connect(wii);
  const QString t = wii->windowTitle();
  backend->setExtension("r1", 1);
  ASSERT_TRUE(MainThread::processUntil([wii] { return wii->currentExpPort() == 1; }, 5.0));
  EXPECT_NE(at({t, "NunChuk", "Hidden", "Z"}), nullptr);
  backend->setExtension("r1", 2);
  ASSERT_TRUE(MainThread::processUntil([wii] { return wii->currentExpPort() == 2; }, 5.0));
  EXPECT_EQ(at({t, "NunChuk"}), nullptr);
  ASSERT_NE(at({t, "Classic", "Hidden", "classicZL"}), nullptr);

  backend->feed("r1", {{WiiInputEvent::Classic, EV_KEY, BTN_TL2, 1}});
  ASSERT_TRUE(MainThread::processUntil(
      [&] {
        return value({t, "Classic", "Hidden", "classicZL"}) == 1.0f;
      },
      5.0));
  backend->unplug("r1");
  ASSERT_TRUE(MainThread::processUntil([wii] { return wii->mote() == nullptr; }, 5.0));
  EXPECT_EQ(wii->statusText(), QStringLiteral("Lost connection with WiiRemote"));
  EXPECT_FLOAT_EQ(value({t, "Classic", "Hidden", "classicZL"}), 1.0f);  // kept
  EXPECT_EQ(wii->currentExpPort(), 2);
  EXPECT_FALSE(wii->batteryIndicator()->isVisibleTo(wii->window()));
}

TEST_F(WiiMoteTest, DeletingRemovesEverySetAndTheRootAndDisconnects) {
  backend->addRemote("r1", remoteAt(QStringLiteral("a")));
  WiiMote* wii = makeWii();
  connect(wii);
  backend->setExtension("r1", 1);
  ASSERT_TRUE(MainThread::processUntil([wii] { return wii->currentExpPort() == 1; }, 5.0));
  const QString t = wii->windowTitle();
  QStringList removed;
  NotificationObservers watch;
  watch.observe(QStringLiteral("QKDSSourcesChangedNotification"), nullptr,
                [&](const Notification&) {
                  removed << QStringLiteral("%1%2%3")
                                 .arg(at({t, "WiiMote"}) ? "W" : "-")
                                 .arg(at({t, "NunChuk"}) ? "N" : "-")
                                 .arg(at({t}) ? "T" : "-");
                });
  manager->deleteAllPlugins();
  EXPECT_EQ(removed.mid(0, 3), (QStringList{"-NT", "--T", "---"}));
  EXPECT_FALSE(backend->remote("r1").open);
}

TEST_F(WiiMoteTest, RenamingMovesTheTreeAndARootNameIsRefused) {
  WiiMote* wii = makeWii();
  ASSERT_TRUE(manager->renamePlugin(wii, QStringLiteral("Remote")));
  EXPECT_NE(at({"Remote", "WiiMote", "Accel.", "X"}), nullptr);
  EXPECT_FALSE(manager->renamePlugin(wii, QStringLiteral("MIDI")));
  EXPECT_EQ(wii->windowTitle(), QStringLiteral("Remote"));
  EXPECT_NE(at({"Remote", "WiiMote"}), nullptr);
  EXPECT_NE(at({"MIDI"}), nullptr);
  manager->deleteAllPlugins();
  EXPECT_EQ(at({"Remote"}), nullptr);
}

TEST_F(WiiMoteTest, ButtonsSetTheirSourcesAndCodesBeyondTheTableAreIgnored) {
  WiiMote* wii = makeWii();
  const QString t = wii->windowTitle();
  wii->buttonChanged(5, true, nullptr);
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "Hidden", "Home"}), 1.0f);
  wii->buttonChanged(5, false, nullptr);
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "Hidden", "Home"}), 0.0f);
  wii->buttonChanged(11, true, nullptr);  // no nunchuk set: nothing, no crash
  wii->buttonChanged(28, true, nullptr);
  wii->buttonChanged(-1, true, nullptr);
}

TEST_F(WiiMoteTest, IRAndSticksReachThePointHoldersOnTheTick) {
  WiiMote* wii = makeWii();
  const QString t = wii->windowTitle();
  wii->irPointMovedX(0.4f, 0.6f, nullptr);
  wii->irPointMovedX(100.0f, 0.3f, nullptr);
  EXPECT_EQ(wii->irPoint(), QPointF(0.4f, 0.3f));
  wii->irPointMovedX(1.2f, 100.0f, nullptr);
  dsc.threadProc();
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "IR", "X"}), 1.0f);
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "IR", "Y"}), 0.3f);
}

TEST_F(WiiMoteTest, AccelerationsPublishRawAndShapedSmoothedOrientation) {
  WiiMote* wii = makeWii();
  const QString t = wii->windowTitle();
  wii->accelerationChanged(0, 0.5f, 0.5f, 1.0f, nullptr);
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "Accel.", "Z"}), 1.0f);
  EXPECT_NEAR(value({t, "WiiMote", "Orientation", "Pitch"}), 0.249998f, 1e-6);
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "Orientation", "Yaw"}), 0.5f);
  EXPECT_FLOAT_EQ(value({t, "WiiMote", "Orientation", "Roll"}), 0.0f);
  // The remote's yaw smooths: a turn to 0.25 (x left) moves a fifth a report.
  wii->setWiiOption(WiiOrientation::Yaw, {0.0f, 0.0f, 1.0f, false});
  for (int i = 0; i < 4; ++i) wii->accelerationChanged(0, 0.5f, 0.5f, 1.0f, nullptr);
  wii->accelerationChanged(0, 1.0f, 0.5f, 1.0f, nullptr);  // yaw: 180 − 90 = 90 degrees
  EXPECT_NEAR(value({t, "WiiMote", "Orientation", "Yaw"}), 0.5f - 0.25f / 5, 1e-4);
}

TEST_F(WiiMoteTest, MouseModeMovesThePointerFindsSlidersAndEditsThem) {
  backend->addRemote("r1", remoteAt(QStringLiteral("a")));
  WiiMote* wii = makeWii();
  connect(wii);
  auto slider = QKSliderCell::create();
  std::vector<QPointF> asked;
  wii->setSliderFinder([&](QPointF at) {
    asked.push_back(at);
    return slider;
  });
  // 1 then 2 with the toggle off: nothing.
  wii->buttonChanged(2, true, nullptr);
  wii->buttonChanged(3, true, nullptr);
  EXPECT_FALSE(wii->mouseMode());
  wii->buttonChanged(3, false, nullptr);
  wii->enableMouseModeToggle()->setChecked(true);
  wii->buttonChanged(3, true, nullptr);
  EXPECT_TRUE(wii->mouseMode());

  wii->irPointMovedX(1.2f, 0.2f, nullptr);
  ASSERT_EQ(pointer->moves.size(), 1u);
  EXPECT_EQ(pointer->moves.back(), QPoint(1000, 100));  // the right edge
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NEAR(asked.back().x(), 1000, 1e-3);  // from the bottom left
  EXPECT_NEAR(asked.back().y(), 400, 1e-3);
  EXPECT_EQ(wii->lastMouseoverSlider(), slider.get());
  EXPECT_TRUE(wii->forceFeedbackToggle());
  // One rumble per 0.07 s.
  auto other = QKSliderCell::create();
  wii->setSliderFinder([&](QPointF) { return other; });
  wii->irPointMovedX(0.5f, 0.5f, nullptr);
  EXPECT_EQ(wii->lastMouseoverSlider(), other.get());
  delayed.advance(0.07);
  EXPECT_FALSE(wii->forceFeedbackToggle());
  settle();
  EXPECT_EQ(backend->remote("r1").rumble, (std::vector<bool>{true, false}));

  // A, then Minus held while the IR x moves: the lower envelope follows.
  wii->buttonChanged(0, true, nullptr);
  EXPECT_TRUE(wii->editSliderMode());
  wii->buttonChanged(0, false, nullptr);
  wii->buttonChanged(4, true, nullptr);
  const size_t moves = pointer->moves.size();
  for (float x : {0.2f, 0.4f, 0.6f}) {
    wii->irPointMovedX(x, 0.5f, nullptr);
    EXPECT_NEAR(other->minEnv(), x, 1e-6);
  }
  EXPECT_EQ(pointer->moves.size(), moves);  // frozen while editing
  wii->buttonChanged(4, false, nullptr);
  wii->irPointMovedX(0.3f, 0.5f, nullptr);
  EXPECT_NEAR(other->minEnv(), 0.6f, 1e-6);
  wii->buttonChanged(1, true, nullptr);  // B: the pointer follows again
  EXPECT_FALSE(wii->editSliderMode());
  wii->irPointMovedX(0.1f, 0.5f, nullptr);
  EXPECT_EQ(pointer->moves.size(), moves + 1);

  // The hovered slider deleted: mouse mode ends.
  NotificationCenter::defaultCenter().post(QStringLiteral("QKSMDeleteSliderNotification"),
                                           other.get());
  EXPECT_FALSE(wii->mouseMode());
  EXPECT_EQ(wii->lastMouseoverSlider(), nullptr);
  slider->prepareToBeDeleted();
  other->prepareToBeDeleted();
}

TEST_F(WiiMoteTest, WherePointerCannotMoveMouseModeSaysSoOnce) {
  WiiMote* wii = makeWii();
  pointer->movable = false;
  wii->enableMouseModeToggle()->setChecked(true);
  wii->buttonChanged(2, true, nullptr);
  wii->buttonChanged(3, true, nullptr);
  wii->irPointMovedX(0.5f, 0.5f, nullptr);
  const QString status = wii->statusText();
  EXPECT_TRUE(status.contains("Wayland"));
  wii->irPointMovedX(0.6f, 0.5f, nullptr);
  EXPECT_EQ(wii->statusText(), status);
}

TEST_F(WiiMoteTest, TheSnapshotKeepsOptionsAndLEDsAndNeverReconnects) {
  backend->addRemote("r1", remoteAt(QStringLiteral("00:11")));
  WiiMote* wii = makeWii();
  connect(wii);
  wii->setWiiOption(WiiOrientation::Pitch, {0.5f, 0.1f, 0.9f, true});
  wii->setNunOption(WiiOrientation::Roll, {0.25f, 0.0f, 0.5f, false});
  wii->led(2)->setChecked(true);
  const QVariantMap snapshot = wii->createSnapshot();
  EXPECT_EQ(snapshot.value("mote").toMap().value("address"), QStringLiteral("00:11"));
  EXPECT_EQ(snapshot.value("wiiPitchInvert"), QVariant(true));

  WiiMote* copy = makeWii();
  copy->loadSnapshot(snapshot);
  EXPECT_EQ(copy->wiiOptions(), wii->wiiOptions());
  EXPECT_EQ(copy->nunOptions(), wii->nunOptions());
  EXPECT_TRUE(copy->led(2)->isChecked());
  EXPECT_EQ(copy->mote(), nullptr);
  settle();
  EXPECT_EQ(backend->opens(), 1);
  // The sheet shows the loaded options.
  copy->openOptionsPanel();
  auto* invert = static_cast<QCheckBox*>(copy->optionsController()->control(
      false, WiiOrientation::Pitch, WiimoteOptionsController::Invert));
  EXPECT_TRUE(invert->isChecked());
  auto* high = static_cast<QLineEdit*>(copy->optionsController()->control(
      true, WiiOrientation::Roll, WiimoteOptionsController::ClipHigh));
  EXPECT_EQ(high->text(), QStringLiteral("0.5"));

  // Without "leds", or with one that is no dictionary, the boxes stay.
  copy->loadSnapshot({{"leds", QStringLiteral("on")}});
  EXPECT_TRUE(copy->led(2)->isChecked());
  copy->loadSnapshot({{"wiiPitchOffset", QStringLiteral("x")}, {"nunYawClipLow", 0.3}});
  EXPECT_FLOAT_EQ(copy->wiiOptions()[WiiOrientation::Pitch].offset, 0.5f);
  EXPECT_FLOAT_EQ(copy->nunOptions()[WiiOrientation::Yaw].clipLow, 0.3f);
}

TEST_F(WiiMoteTest, ANunchukControlWritesOnlyItsOption) {
  WiiMote* wii = makeWii();
  auto* box = static_cast<QCheckBox*>(wii->optionsController()->control(
      true, WiiOrientation::Roll, WiimoteOptionsController::Invert));
  box->setChecked(true);
  wii->optionsController()->nunElementUsed(box);
  EXPECT_TRUE(wii->nunOptions()[WiiOrientation::Roll].invert);
  EXPECT_EQ(wii->wiiOptions(), WiiOrientation::Options{});
  WiiOrientation::Options expected{};
  expected[WiiOrientation::Roll].invert = true;
  EXPECT_EQ(wii->nunOptions(), expected);
  // A remote control sent to the nunchuk's action matches no outlet there.
  wii->optionsController()->nunElementUsed(wii->optionsController()->control(
      false, WiiOrientation::Roll, WiimoteOptionsController::Invert));
  EXPECT_EQ(wii->wiiOptions(), WiiOrientation::Options{});
  auto* low = static_cast<QLineEdit*>(wii->optionsController()->control(
      false, WiiOrientation::Yaw, WiimoteOptionsController::ClipLow));
  low->setText(QStringLiteral("0.2"));
  wii->optionsController()->wimElementUsed(low);
  EXPECT_FLOAT_EQ(wii->wiiOptions()[WiiOrientation::Yaw].clipLow, 0.2f);
}

TEST(ColorChangePanelTest, TheBatteryGoesFromRedThroughYellowToGreen) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "drawn by a widget";
  const struct {
    double level;
    QColor colour;
    const char* text;
  } cases[] = {{0.0, QColor(255, 0, 0), "0%"},
               {0.25, QColor(255, 128, 0), "25%"},
               {0.5, QColor(255, 255, 0), "50%"},
               {0.999, QColor(1, 255, 0), "99%"}};
  for (const auto& c : cases) {
    ColorChangePanel panel;
    panel.resize(50, 16);
    panel.setVal(c.level);
    const QImage image = panel.grab().toImage();
    const QColor drawn(image.pixel(45, 2));  // right of the text
    EXPECT_NEAR(drawn.red(), c.colour.red(), 2) << c.level;
    EXPECT_NEAR(drawn.green(), c.colour.green(), 2) << c.level;
    EXPECT_NEAR(drawn.blue(), c.colour.blue(), 2) << c.level;
    EXPECT_EQ(ColorChangePanel::text(c.level), QString::fromLatin1(c.text));
    if (c.level == 0.5) saveScreenshot(image, QStringLiteral("wii-battery-half"));
  }
}

TEST_F(WiiMoteTest, TheWindowShowsStatusBatteryLEDsAndTheOptionsSheet) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the window is real";
  backend->addRemote("r1", remoteAt(QStringLiteral("00:19:1D:AA:BB:CC")));
  WiiMote* wii = makeWii();
  connect(wii);
  wii->batteryLevelChanged(0.7f);
  QKWindow* window = wii->window();
  window->show();
  settle();
  saveScreenshot(window->grab().toImage(), QStringLiteral("wiimote-window"));
  wii->openOptionsPanel();
  settle();
  saveScreenshot(window->grab().toImage(), QStringLiteral("wiimote-options"));
  EXPECT_TRUE(wii->optionsPanelOpen());
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreStartNotification"));
  EXPECT_FALSE(wii->optionsPanelOpen());
}

}  // namespace
