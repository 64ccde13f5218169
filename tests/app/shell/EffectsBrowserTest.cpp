#include "app/compositor/CIFilterListController.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/FilterTableView.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/effects/LayerFXObject.h"
#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/fx/FXChainDragDestBox.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList effectNames(Layer& layer) {
  QStringList names;
  auto* adapter = dynamic_cast<LayerFXChainAdapter*>(layer.fxChain());
  if (!adapter) return names;
  for (const FXChain::Element& element : adapter->chain().fxArray())
    names << static_cast<LayerFXObject*>(element.get())->filterName();
  return names;
}

// In ZAPH a performer opens the palette from the Window menu, searches
// "zoom", drops "Zoom (QK)" onto one layer's chain and sends "RGB Trails"
// to another from the effect list's menu.
TEST(EffectsBrowser, APerformerAddsEffectsFromTheVideoFXPalette) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    GTEST_SKIP() << "no OpenGL on the offscreen platform";
  AppController controller;
  Compositor* compositor = controller.compositorObject();
  ASSERT_TRUE(compositor);
  CIFilterListController* browser = compositor->filterListController();
  ASSERT_TRUE(browser);
  auto first = compositor->createNewLayer();
  auto second = compositor->createNewLayer();
  ASSERT_TRUE(first && second);

  QAction* entry = nullptr;
  for (QAction* item : controller.appWindowMenuController()->paletteEntries())
    if (item->text() == CIFilterListController::kPaletteTitle) entry = item;
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_5));
  QKPaletteWindow* palette = browser->window();
  if (palette->isVisible()) entry->trigger();  // shown at start-up: Ctrl+5 hides it
  EXPECT_FALSE(palette->isVisible());
  entry->trigger();
  ASSERT_TRUE(palette->isVisible());
  palette->contentView()->expand();

  browser->searchField()->setText(QStringLiteral("zoom"));
  const int zoom = int(browser->searchedFiltersDict().catFilterHumanNames.indexOf("Zoom (QK)"));
  ASSERT_GE(zoom, 0);
  QAbstractItemModel* model = browser->filterTable()->model();
  std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(zoom, 0)}));
  ASSERT_TRUE(dragged);
  auto* adapter = dynamic_cast<LayerFXChainAdapter*>(first->fxChain());
  ASSERT_TRUE(adapter);
  FXChainDragDestBox* box = adapter->chain().backgroundBox();
  ASSERT_TRUE(box->dragMovedTo(dragged.get(), QPointF(10, 2)));
  EXPECT_TRUE(box->performDrop(dragged.get(), browser->filterTable(), Qt::CopyAction));
  EXPECT_EQ(effectNames(*first), QStringList{"QKZoom"});

  browser->searchField()->setText(QStringLiteral("RGB Trails"));
  ASSERT_EQ(browser->searchedFiltersDict().count(), 1);
  browser->filterTable()->selectRow(0);
  QMenu* layers = browser->layerMenu();
  ASSERT_TRUE(layers);
  QAction* toSecond = nullptr;
  for (QAction* item : layers->actions())
    if (item->data().toString() == second->layerName()) toSecond = item;
  ASSERT_TRUE(toSecond);
  toSecond->trigger();
  EXPECT_EQ(effectNames(*second), QStringList{"RGB_Trails"});
  EXPECT_EQ(effectNames(*first), QStringList{"QKZoom"});

  QTest::qWait(500);
  saveScreenshot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "zaph-effects-browser");
  compositor->deleteAllLayers();
  controller.applicationWillTerminate();
}

}  // namespace
