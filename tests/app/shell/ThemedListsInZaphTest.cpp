// The Preset Manager's preset table and the Layer Manager's layer list in
// ZAPH draw in the interface theme's table colours, as the other lists do,
// and follow a theme change.
#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorWindow.h"
#include "app/compositor/LayerListController.h"
#include "app/compositor/LayerListOutlineView.h"
#include "app/shell/AppController.h"
#include "app/shell/PMTableDelegate.h"
#include "app/shell/PMTableView.h"
#include "app/shell/PresetManager.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"
#include "framework/toolkit/ThemedList.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/framework/toolkit/SavedTheme.h"
#include "tests/support/Screenshot.h"

#include <QAbstractItemView>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The colour of the list's empty area below its rows, as drawn.
QRgb emptyAreaColor(QAbstractItemView* view) {
  const QImage picture = view->viewport()->grab().toImage();
  return picture.pixel(picture.width() - 2, picture.height() - 2);
}

TEST(ThemedListsInZaph, ThePresetTableAndTheLayerListDrawInTheTableTheme) {
  SavedTheme savedTheme;
  AppController controller;
  ASSERT_TRUE(controller.presetManager() && controller.compositorWindow());
  // A row in each, so that the picture shows the text colour too.
  PresetManager* presets = controller.presetManager();
  presets->presetArray() << QVariantMap{
      {QStringLiteral("QKPMNameKey"), QStringLiteral("Intro")},
      {QStringLiteral("QKPMTypeKey"), QStringLiteral("Everything")},
      {QStringLiteral("QKPMIndexKey"), 0}};
  presets->tableDelegate()->rearrange();
  ASSERT_TRUE(controller.compositorObject()->createNewLayer());
  const struct {
    const char* name;
    QAbstractItemView* view;
    QWidget* window;
  } lists[] = {
      {"preset-table", controller.presetManager()->tableView(),
       controller.presetManager()->window()},
      {"layer-list", controller.compositorWindow()->layerList()->outlineView(),
       controller.compositorWindow()->window()},
  };
  const QVariantMap theme = ThemeDict::tableColors();
  const QColor fill = ThemeDict::color(theme, QStringLiteral("fill"));
  const QColor text = ThemeDict::color(theme, QStringLiteral("textColor"));
  ASSERT_TRUE(fill.isValid() && text.isValid());
  ASSERT_NE(fill.rgb(), QColor(Qt::white).rgb()) << "the theme tells from an unthemed list";
  for (const auto& list : lists) {
    SCOPED_TRACE(list.name);
    ASSERT_NE(list.view, nullptr);
    list.window->show();
    if (auto* palette = qobject_cast<QKPaletteWindow*>(list.window))
      palette->contentView()->expand();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.window));
    EXPECT_EQ(list.view->palette().color(QPalette::Base).rgb(), fill.rgb());
    EXPECT_EQ(list.view->palette().color(QPalette::Text).rgb(), text.rgb());
    EXPECT_EQ(emptyAreaColor(list.view), fill.rgb());
    // The screen's pixels: a palette's own grab leaves its frame unpainted.
    saveScreenshot(list.window->screen()->grabWindow(list.window->winId()).toImage(), list.name);
  }

  QVariantMap changed = theme;
  const QColor newFill(30, 40, 90);
  changed.insert(QStringLiteral("fill"), newFill);
  TheApplication::instance()->setTableColorDict(changed);
  NotificationCenter::defaultCenter().post(ThemedList::kRedrawNotification, nullptr);
  for (const auto& list : lists) {
    SCOPED_TRACE(list.name);
    EXPECT_EQ(emptyAreaColor(list.view), newFill.rgb());
  }
}

}  // namespace
