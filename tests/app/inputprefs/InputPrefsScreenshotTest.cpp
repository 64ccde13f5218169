// The MIDI and OSC panes as a performer sees them, with dedications and
// ports filled in, grabbed to pictures (under Xvfb).
#include "app/shell/DedicatedSourcesSection.h"
#include "app/shell/MIDIPrefsController.h"
#include "app/shell/OSCPrefsController.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/Screenshot.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

// Pixels that differ from the corner's colour: something was drawn.
int drawnPixels(const QImage& image) {
  const QRgb background = image.pixel(1, 1);
  int drawn = 0;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) drawn += image.pixel(x, y) != background;
  return drawn;
}

class InputPrefsScreenshot : public ::testing::Test {
 protected:
  InputPrefsScreenshot() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    dsc.setAppController(&app);
  }
  QImage grab(QWidget& pane, const QString& name) {
    pane.resize(480, 420);
    pane.show();
    MainThread::processUntil([] { return false; }, 0.3);
    const QImage image = pane.grab().toImage();
    EXPECT_FALSE(saveScreenshot(image, name).isEmpty());
    return image;
  }

  FakeInputApp app;
  DataSourceController dsc;
};

TEST_F(InputPrefsScreenshot, MIDIPane) {
  UserDefaults::standard().setValue(
      QStringLiteral("MIDIDedicatedDict"),
      QVariantMap{{QStringLiteral("note [36] ch. 10"), QStringLiteral("Kick")},
                  {QStringLiteral("ctrl [7] ch. 1"), QStringLiteral("Master Fader")}});
  MIDIManager::Options options;
  options.api = RtMidi::UNIX_JACK;
  options.pollIntervalSeconds = 0;
  MIDIManager midi(&app, options);
  app.midi = &midi;
  dsc.awakeFromNib();
  MIDIPrefsController pane;
  pane.awakeFromNib(&midi, &dsc);
  pane.createNewPressed();  // the listening line shows
  const QImage image = grab(pane, QStringLiteral("prefs-midi-pane"));
  EXPECT_GT(drawnPixels(image), 1000);
}

TEST_F(InputPrefsScreenshot, OSCPane) {
  UserDefaults::standard().setValue(
      QStringLiteral("OSCDedicatedDict"),
      QVariantMap{{QStringLiteral("/1/fader1"), QStringLiteral("Wash")}});
  UserDefaults::standard().setValue(
      QStringLiteral("OSCInPortSnapshotArray"),
      QVariantList{QVariantMap{{QStringLiteral("port"), UdpSocket::freePort()}}});
  UserDefaults::standard().setValue(
      QStringLiteral("OSCOutPortArray"),
      QVariantList{QVariantMap{{QStringLiteral("addressString"), QStringLiteral("192.168.1.20")},
                               {QStringLiteral("port"), 7000},
                               {QStringLiteral("portLabel"), QStringLiteral("Lights")}}});
  QKOSCManager osc(&app);
  app.osc = &osc;
  dsc.awakeFromNib();
  OSCPrefsController pane;
  pane.awakeFromNib(&osc, &dsc);
  pane.inPortTableView()->model()->setData(pane.inPortTableView()->model()->index(0, 0),
                                           QStringLiteral("70000"));
  const QImage image = grab(pane, QStringLiteral("prefs-osc-pane"));
  EXPECT_GT(drawnPixels(image), 1000);
}

}  // namespace
