// The mixer, the waveform and the Wii remote in ZAPH's process: each made
// by a double click in the Plugin Manager's type list, the mixer fading two
// of the compositor's layers, a slider bound to the waveform following the
// clock, and a Wii remote plug-in without a remote saying so.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/plugins/manager/QKPMPotentialListController.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/mixer/TwoChannelMixer.h"
#include "app/plugins/waveform/WaveShapes.h"
#include "app/plugins/waveform/Waveform.h"
#include "app/plugins/wiimote/WiiMote.h"
#include "app/shell/AppController.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/wiiremote/WiiRemote.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

TEST(MixerWaveformWiiInZaph, MadeFromTheTypeListTheyDriveLayersSlidersAndReportNoRemote) {
  UserDefaults::standard().resetForTesting();
  WiiRemote::setSearchSeconds(0.2);
  AppController controller;
  QKPluginManager* manager = controller.pluginManager();
  manager->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(manager->window()));
  QKNSTableView* types = manager->potentialPluginsView();
  for (const QString& type :
       {TwoChannelMixer::kTypeName, Waveform::kTypeName, WiiMote::kTypeName}) {
    const int row = static_cast<int>(manager->sortedPluginClassKeys().indexOf(type));
    ASSERT_GE(row, 0) << type.toStdString();
    const QModelIndex index = manager->potentialListController()->index(row);
    types->scrollTo(index);
    const QRect cell = types->visualRect(index);
    QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(types->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_NE(manager->findPluginNamed(type + QStringLiteral(" 1")), nullptr) << type.toStdString();
  }

  // The mixer finds the application's layers by their taps' names.
  auto* mixer = static_cast<TwoChannelMixer*>(manager->findPluginNamed("TwoChannelMixer 1"));
  Compositor* compositor = controller.compositorObject();
  auto left = compositor->createNewLayer();
  auto right = compositor->createNewLayer();
  mixer->leftMenuController()->setLastSelectedName(left->layerName());
  mixer->leftMenuUsed();
  mixer->rightMenuController()->setLastSelectedName(right->layerName());
  mixer->rightMenuUsed();
  mixer->crossfader()->setValue(0.25f, true);
  EXPECT_NEAR(left->alphaSlider()->value(), 0.75f, 1e-5);
  EXPECT_NEAR(right->alphaSlider()->value(), 0.25f, 1e-5);

  // A slider bound to the waveform moves with the clock.
  auto* wave = static_cast<Waveform*>(manager->findPluginNamed("Waveform 1"));
  wave->buttonUsed(WaveShapes::Saw);
  wave->frequencySlider()->setValueWithRangedValue(16.0f, true);
  auto slider = QKSliderCell::create();
  ASSERT_TRUE(slider->useThisSource(KeyPath{Waveform::kGroupName, QStringLiteral("Waveform 1")}));
  slider->setSyncFlag(true);
  ASSERT_TRUE(slider->syncFlag());
  const float first = slider->value();
  EXPECT_TRUE(
      MainThread::processUntil([&] { return std::abs(slider->value() - first) > 0.01f; }, 5.0));
  slider->prepareToBeDeleted();

  // No remote here: the search ends in the discovery error.
  auto* wii = static_cast<WiiMote*>(manager->findPluginNamed("WiiMote 1"));
  wii->detectButtonUsed();
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return wii->statusText().startsWith(WiiRemote::kNoRemoteFound); }, 5.0))
      << wii->statusText().toStdString();
  EXPECT_NE(controller.dataSourceController()->dataSourceForKeyArray(
                {QStringLiteral("WiiMote 1"), QStringLiteral("WiiMote"), QStringLiteral("IR")}),
            nullptr);
  manager->deleteAllPlugins();
  WiiRemote::setSearchSeconds(30.0);
}

}  // namespace
