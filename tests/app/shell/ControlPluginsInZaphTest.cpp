// The control plug-ins in ZAPH's process: each type is made by a double
// click in the Plugin Manager's type list, an OSC monitor shows a message
// sent over loopback, and a slider bound to a swatch's "R" follows it.
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/colorswatch/ColorSwatch.h"
#include "app/plugins/colorswatch/QKColorWheel.h"
#include "app/plugins/manager/QKPMPotentialListController.h"
#include "app/plugins/monitors/MIDIDisplay.h"
#include "app/plugins/monitors/OSCDisplay.h"
#include "app/plugins/sliders/Sliders.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "app/shell/AppController.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/JackServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>

namespace {

TEST(ControlPluginsInZaph, EachTypeIsMadeFromThePluginManagersTypeList) {
  UserDefaults::standard().resetForTesting();
  AppController controller;
  QKPluginManager* manager = controller.pluginManager();
  manager->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(manager->window()));
  QKNSTableView* types = manager->potentialPluginsView();
  for (const QString& type : {QStringLiteral("AuxDisplay"), QStringLiteral("ColorSwatch"),
                              QStringLiteral("LayerControls"), QStringLiteral("MIDIDisplay"),
                              QStringLiteral("OSCDisplay")}) {
    const int row = static_cast<int>(manager->sortedPluginClassKeys().indexOf(type));
    ASSERT_GE(row, 0) << type.toStdString();
    const QModelIndex index = manager->potentialListController()->index(row);
    types->scrollTo(index);
    const QRect cell = types->visualRect(index);
    QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(types->viewport(), Qt::LeftButton, {}, cell.center());
    QKPlugin* made = manager->findPluginNamed(type + QStringLiteral(" 1"));
    ASSERT_NE(made, nullptr) << type.toStdString();
    EXPECT_EQ(made->name(), type);
  }

  // A slider of a Sliders plug-in bound to the swatch's red follows it.
  auto* swatch =
      static_cast<ColorSwatch*>(manager->findPluginNamed(QStringLiteral("ColorSwatch 1")));
  auto* bank = static_cast<Sliders*>(manager->instantiatePluginType(Sliders::kTypeName));
  ASSERT_TRUE(swatch && bank);
  QKSliderControl* slider = bank->sliderArray().front();
  ASSERT_TRUE(
      slider->cell()->useThisSource(KeyPath{QStringLiteral("ColorSwatch 1"), QStringLiteral("R")}));
  slider->cell()->setSyncFlag(true);
  swatch->colorWheel()->setColorHSV(0.0f, 1.0f, 0.25f);
  EXPECT_TRUE(
      MainThread::processUntil([&] { return std::abs(slider->value() - 0.25f) < 1e-3; }, 5.0))
      << slider->value();
}

TEST(ControlPluginsInZaph, AMessageSentOverLoopbackShowsInTheOSCMonitor) {
  UserDefaults::standard().resetForTesting();
  AppController controller;
  const auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  auto* monitor = static_cast<OSCDisplay*>(
      controller.pluginManager()->instantiatePluginType(OSCDisplay::kTypeName));
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("OSCDisplay 1"));
  monitor->checkBox()->setChecked(true);
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
  auto message = OSCMessage::createWithAddress(QStringLiteral("/monitor/fader"));
  message->addFloat(0.75f);
  ASSERT_TRUE(out.sendThisMessage(*message));
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return monitor->text() == QStringLiteral("/monitor/fader - 0.750000"); }, 5.0))
      << monitor->text().toStdString();
}

TEST(ControlPluginsInZaph, AMIDIMonitorShowsAControllerSentOverJack) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  ScopedEnvironmentVariable midiApi("ZAPH_MIDI_API", "jack");
  UserDefaults::standard().resetForTesting();
  AppController controller;
  auto* monitor = static_cast<MIDIDisplay*>(
      controller.pluginManager()->instantiatePluginType(MIDIDisplay::kTypeName));
  ASSERT_NE(monitor, nullptr);
  monitor->toggleOnState(1);
  SafeMidiOut out(RtMidi::UNIX_JACK, "controller");
  int toZaph = -1;
  for (unsigned i = 0; i < out.getPortCount(); ++i)
    if (out.getPortName(i).ends_with(":To ZAPH")) toZaph = static_cast<int>(i);
  ASSERT_GE(toZaph, 0);
  out.openPort(static_cast<unsigned>(toZaph), "out");
  const std::vector<unsigned char> knob = {0xB2, 21, 100};  // controller 21 on channel 3
  // The port connection takes a moment: send until the monitor shows it.
  bool shown = false;
  for (int i = 0; i < 75 && !shown; ++i) {
    out.sendMessage(&knob);
    shown = MainThread::processUntil(
        [&] { return monitor->typeText() == QStringLiteral("CTL: 21"); }, 0.2);
  }
  EXPECT_TRUE(shown) << monitor->typeText().toStdString();
  EXPECT_EQ(monitor->valueText(), QStringLiteral("Value: 100"));
  EXPECT_EQ(monitor->channelText(), QStringLiteral("Channel: 3"));
  controller.pluginManager()->deleteAllPlugins();
  controller.applicationWillTerminate();
}

}  // namespace
