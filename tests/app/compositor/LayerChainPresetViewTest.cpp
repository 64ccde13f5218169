#include "RestoreFixture.h"

#include "app/compositor/LayerChainPresetView.h"
#include "app/compositor/LayerPanel.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/support/Screenshot.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The layer panel's presets, as a performer uses them: save the chain,
// pick a preset on another layer, learn a note as its shortcut, delete it.
TEST(LayerChainPresetViewTest, APerformerSavesAppliesLearnsAndDeletesPresets) {
  QTemporaryDir data;
  Paths::setUserDataDirOverride(data.path());
  {
    RestoreWorld world;
    world.compositor->setLayerWindowFactory(
        [](Compositor& compositor) { return std::make_unique<LayerPanel>(&compositor); });
    auto first = world.named("A");
    auto second = world.named("B");
    ASSERT_TRUE(first->addCIFXNamed("Bright"));
    auto* panel = dynamic_cast<LayerPanel*>(world.compositor->layerWindowArray().front().get());
    ASSERT_NE(panel, nullptr);
    LayerChainPresetView* view = panel->chainPresetView();

    panel->showLayer(first.get());
    view->nameField()->setText("Glow set");
    QTest::mouseClick(view->saveButton(), Qt::LeftButton);
    EXPECT_EQ(world.manager->fxChainPresetMenu(), QStringList({"Glow set"}));
    EXPECT_TRUE(QFileInfo::exists(data.path() + "/layer chains/Glow set.slc"));
    ASSERT_EQ(view->popUp()->count(), 1);

    panel->showLayer(second.get());
    view->popUp()->setCurrentIndex(0);
    Q_EMIT view->popUp()->activated(0);
    EXPECT_EQ(RestoreWorld::chainOf(second.get()), QStringList({"Bright"}));

    QPushButton* learn = view->learnButton("Glow set");
    ASSERT_NE(learn, nullptr);
    EXPECT_EQ(learn->text(), "Learn");
    QTest::mouseClick(learn, Qt::LeftButton);
    EXPECT_EQ(view->learnButton("Glow set")->text(), "Learning");
    world.dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 60, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(view->table()->item(0, 1)->text(), "MIDI/note [60] ch. 1");
    EXPECT_EQ(view->learnButton("Glow set")->text(), "Clear");

    QTest::qWait(200);
    saveScreenshot(panel->window()->screen()->grabWindow(panel->window()->winId()).toImage(),
                   "layer-panel-chain-presets");

    QTest::mouseClick(view->deleteButton(), Qt::LeftButton);
    EXPECT_TRUE(world.manager->fxChainPresetMenu().isEmpty());
    EXPECT_EQ(view->table()->rowCount(), 0);
    EXPECT_TRUE(second->shortcutStringForFXChainPresetNamed("Glow set").isNull());
    EXPECT_TRUE(QFileInfo::exists(data.path() + "/layer chains/deleted/Glow set.slc"));
    world.compositor->deleteAllLayers();
  }
  Paths::setUserDataDirOverride({});
}

}  // namespace
