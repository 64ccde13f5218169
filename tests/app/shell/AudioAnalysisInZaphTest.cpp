// The AudioAnalysis plug-in in ZAPH's process under a JACK dummy server:
// made from the Plugin Manager's type list, it analyses the default input,
// and a slider of a Sliders plug-in bound to one of its bands follows a
// tone a test client plays into the analysis stream.
#include "app/plugins/audioanalysis/AudioAnalysis.h"
#include "app/plugins/manager/QKPMPotentialListController.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/sliders/Sliders.h"
#include "app/shell/AppController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/JackServer.h"
#include "tests/support/JackToneClient.h"

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <chrono>

namespace {

AudioAnalysis* makeFromTheTypeList(QKPluginManager& manager) {
  manager.window()->show();
  if (!QTest::qWaitForWindowExposed(manager.window())) return nullptr;
  const int row =
      static_cast<int>(manager.sortedPluginClassKeys().indexOf(AudioAnalysis::kTypeName));
  if (row < 0) return nullptr;
  QKNSTableView* types = manager.potentialPluginsView();
  const QModelIndex index = manager.potentialListController()->index(row);
  types->scrollTo(index);
  const QPoint cell = types->visualRect(index).center();
  QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseDClick(types->viewport(), Qt::LeftButton, {}, cell);
  return static_cast<AudioAnalysis*>(
      manager.findPluginNamed(AudioAnalysis::kTypeName + QStringLiteral(" 1")));
}

// The highest value each slider shows while the events run for `seconds`.
std::vector<float> highestOver(const std::vector<QKSliderControl*>& sliders, double seconds) {
  std::vector<float> most(sliders.size(), 0.0f);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  MainThread::processUntil(
      [&] {
        for (std::size_t i = 0; i < sliders.size(); ++i)
          most[i] = std::max(most[i], sliders[i]->value());
        return std::chrono::steady_clock::now() >= end;
      },
      seconds + 1);
  return most;
}

TEST(AudioAnalysisInZaph, ASliderBoundToABandMovesWithAToneOverJack) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  UserDefaults::standard().resetForTesting();
  {
    AppController controller;
    QKPluginManager* manager = controller.pluginManager();
    AudioAnalysis* analysis = makeFromTheTypeList(*manager);
    ASSERT_NE(analysis, nullptr);
    ASSERT_FALSE(analysis->lastSelectedInputName().isEmpty()) << "no default input";
    analysis->engine().setNormalizeLevels(false);
    analysis->onOffToggle()->setIntValue(1, false);
    analysis->onOffToggleUsed();
    ASSERT_TRUE(analysis->engine().running());

    // The tone's band and one far below it, each on a slider of a bank.
    std::vector<QKSliderControl*> sliders;
    for (int i : {0, 1}) {
      auto* bank = static_cast<Sliders*>(manager->instantiatePluginType(Sliders::kTypeName));
      ASSERT_TRUE(bank && !bank->sliderArray().isEmpty()) << i;
      sliders.push_back(bank->sliderArray().front());
    }
    for (int i : {0, 1}) {
      const QString band = i == 0 ? QStringLiteral("band-2") : QStringLiteral("band-0");
      ASSERT_TRUE(sliders[i]->cell()->useThisSource(KeyPath{analysis->windowTitle(), band}));
      sliders[i]->cell()->setSyncFlag(true);
    }

    JackToneClient tone;
    ASSERT_TRUE(tone.ready());
    ASSERT_GT(tone.connectToOthers(), 0);
    tone.play();
    const std::vector<float> playing = highestOver(sliders, 1.5);
    EXPECT_GT(playing[0], 0.01f);
    EXPECT_GT(playing[0], 4 * playing[1]);

    // Silence brings the tone's slider down, the tone again brings it up.
    tone.silent = true;
    EXPECT_TRUE(
        MainThread::processUntil([&] { return sliders[0]->value() < playing[0] / 10; }, 3.0))
        << sliders[0]->value();
    tone.silent = false;
    EXPECT_TRUE(MainThread::processUntil([&] { return sliders[0]->value() > playing[0] / 2; }, 3.0))
        << sliders[0]->value();

    manager->deleteAllPlugins();
    controller.applicationWillTerminate();
  }
}

}  // namespace
