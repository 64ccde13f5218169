// The MIDI and OSC panes inside ZAPH's preferences window: they wake at
// start-up (restoring the ports and dedications), and closing the window
// ends their listening.
#include "app/prefs/PrefsController.h"
#include "app/shell/AppController.h"
#include "app/shell/DedicatedSourcesSection.h"
#include "app/shell/MIDIPrefsController.h"
#include "app/shell/OSCPrefsController.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/QKNSTableView.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/Screenshot.h"

#include "platform/foundation/MainThread.h"

#include <lo/lo.h>

#include <gtest/gtest.h>

namespace {

bool arrives(AppController& controller, int port, const char* address, float value) {
  lo_address to = lo_address_new("127.0.0.1", QByteArray::number(port).constData());
  lo_send(to, address, "f", value);
  lo_address_free(to);
  return waitFor([&] {
    const auto node = controller.dataSourceController()->dataSourceForKeyArray(
        {QStringLiteral("OSC"), QString::fromLatin1(address)});
    return node && node->value() == value;
  });
}

TEST(InputPrefsInZaph, AnOSCPortAddedInThePaneReceivesAfterARestart) {
  UserDefaults::standard().resetForTesting();
  const int port = UdpSocket::freePort();
  {
    AppController controller;
    OSCPrefsController* pane = controller.prefsController()->oscPrefs();
    ASSERT_TRUE(pane);
    EXPECT_EQ(controller.prefsController()->paneView(PrefsController::kOSCRow), pane);
    pane->createNewInPortPressed();
    QAbstractItemModel* ports = pane->inPortTableView()->model();
    ASSERT_EQ(ports->rowCount(), 1);
    ASSERT_TRUE(ports->setData(ports->index(0, 0), QString::number(port)));
    EXPECT_TRUE(arrives(controller, port, "/before", 0.5f));
    controller.applicationWillTerminate();
  }
  AppController restarted;
  EXPECT_EQ(restarted.prefsController()->oscPrefs()->inPortTableView()->model()->rowCount(), 1);
  EXPECT_TRUE(arrives(restarted, port, "/after/restart", 0.25f));
  restarted.applicationWillTerminate();
}

TEST(InputPrefsInZaph, DedicationsComeBackAtStartAndClosingTheWindowEndsListening) {
  UserDefaults::standard().resetForTesting();
  UserDefaults::standard().setValue(
      QStringLiteral("MIDIDedicatedDict"),
      QVariantMap{{QStringLiteral("note [36] ch. 10"), QStringLiteral("Kick")}});
  AppController controller;
  EXPECT_TRUE(controller.dataSourceController()->dataSourceForKeyArray(
      {QStringLiteral("Dedicated MIDI"), QStringLiteral("Kick")}));
  EXPECT_EQ(UserDefaults::standard().integerValue(MIDIPrefsController::kNaturalNoteNamesKey), 1);
  MIDIPrefsController* midi = controller.prefsController()->midiPrefs();
  OSCPrefsController* osc = controller.prefsController()->oscPrefs();
  ASSERT_TRUE(midi && osc);
  // The window as a performer opens it on each pane.
  PrefsController* window = controller.prefsController();
  for (const auto& [row, name] : {std::pair{PrefsController::kMIDIRow, "prefs-window-midi"},
                                  std::pair{PrefsController::kOSCRow, "prefs-window-osc"}}) {
    window->showPane(row);
    MainThread::processUntil([] { return false; }, 0.3);
    EXPECT_EQ(window->shownPane(), window->paneView(row));
    EXPECT_FALSE(saveScreenshot(window->grab().toImage(), QString::fromLatin1(name)).isEmpty());
  }
  midi->createNewPressed();
  osc->createNewDedicatedPressed();
  EXPECT_TRUE(controller.prefsController()->windowShouldClose());
  EXPECT_FALSE(midi->dedicatedSection()->isDetecting());
  EXPECT_FALSE(osc->dedicatedSection()->isDetecting());
  controller.applicationWillTerminate();
}

}  // namespace
