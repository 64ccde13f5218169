#include "framework/datasource/DSColorHolder.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceMenuAdapter.h"
#include "tests/framework/datasource/DataSourceFakes.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kZaph = QStringLiteral("ZAPH");

// "title" for an enabled item, "(title)" for a disabled one, "title>" for a
// submenu.
QStringList shape(const DataSourceMenuItems& items) {
  QStringList lines;
  for (const auto& item : items) {
    const QString name = item.title.trimmed();
    const QString indent = item.title.left(item.title.size() - name.size());
    QString line = item.enabled ? item.title : QStringLiteral("%1(%2)").arg(indent, name);
    if (item.submenu) line += QLatin1Char('>');
    lines.append(line);
  }
  return lines;
}

class DataSourceMenus : public testing::Test {
 protected:
  void holderAt(const KeyPath& path) {
    ASSERT_TRUE(dsc.setDataSource(DataSourceHolder::createWithName(path.last()), path));
  }
  void leafAt(const KeyPath& path, int32_t type = DSType::FloatFrequent) {
    ASSERT_TRUE(dsc.setDataSource(DSFloatInfrequent::createWithName(path.last(), type), path));
  }
  void colorAt(const KeyPath& path) {
    ASSERT_TRUE(dsc.setDataSource(DSColorHolder::createWithName(path.last()), path));
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

TEST_F(DataSourceMenus, TheStartUpTreeShowsOnlyTheMouse) {
  const DataSourceMenu menu = dsc.getDataSourcesMenu();
  EXPECT_EQ(menu.title, "Data Sources");
  EXPECT_EQ(shape(menu.items), (QStringList{"(Mouse)", "    X", "    Y"}));
  EXPECT_EQ(menu.items[1].keyPath, (KeyPath{"Mouse", "X"}));
}

TEST_F(DataSourceMenus, InputRootsPlainAndUnknownTypesNeverShow) {
  leafAt({"MIDI", "note [60] ch. 1"}, DSType::FloatInfrequent);
  leafAt({kZaph, "plain"}, DSType::Plain);
  leafAt({kZaph, "odd"}, 42);
  holderAt({kZaph, "empty"});
  ASSERT_TRUE(dsc.setDataSource(DataSourceHolder::createWithName("Hidden", DSType::InputHolder),
                                {kZaph, "Hidden"}));
  leafAt({kZaph, "Hidden", "x"});
  EXPECT_EQ(shape(dsc.getDataSourcesMenu().items), (QStringList{"(Mouse)", "    X", "    Y"}));
  EXPECT_EQ(shape(dsc.getDataSourceMenuItemArray()),
            (QStringList{"(Mouse)", "    X", "    Y", "(ZAPH)", "    (empty)"}));
}

TEST_F(DataSourceMenus, FirstLevelsFlattenThenHoldersOpenSubmenus) {
  holderAt({kZaph, "a"});
  holderAt({kZaph, "a", "b"});
  leafAt({kZaph, "a", "b", "deep"});
  leafAt({kZaph, "a", "leaf"});
  leafAt({kZaph, "top"}, DSType::ButtonFloat);

  const DataSourceMenu menu = dsc.getDataSourcesMenu();
  EXPECT_EQ(shape(menu.items),
            (QStringList{"(Mouse)", "    X", "    Y", "(ZAPH)", "    a>", "    top"}));
  const auto& a = menu.items[4];
  EXPECT_EQ(a.keyPath, (KeyPath{kZaph, "a"}));
  EXPECT_EQ(a.submenu->title, "a");
  EXPECT_EQ(shape(a.submenu->items), (QStringList{"(b)", "    deep", "leaf"}));
  EXPECT_EQ(a.submenu->items[1].toolTip, "ZAPH/a/b/deep");

  EXPECT_EQ(shape(dsc.getDataSourceMenuWithDepth(3).items),
            (QStringList{"(Mouse)", "    X", "    Y", "(ZAPH)", "    (a)", "        b>",
                         "        leaf", "    top"}));
}

TEST_F(DataSourceMenus, ColourAndPointMenusOfferTheHoldersWhole) {
  holderAt({kZaph, "with"});
  colorAt({kZaph, "with", "swatch"});
  holderAt({kZaph, "without"});
  leafAt({kZaph, "without", "leaf"});
  ASSERT_TRUE(dsc.setDataSource(DSPointHolder::createWithName("pos"), {kZaph, "pos"}));

  const DataSourceMenu colors = dsc.getColorDataSourcesMenu();
  EXPECT_EQ(shape(colors.items), (QStringList{"(ZAPH)", "    with>"}));
  EXPECT_EQ(shape(colors.items[1].submenu->items), QStringList{"swatch"});
  EXPECT_EQ(colors.items[1].submenu->items[0].keyPath, (KeyPath{kZaph, "with", "swatch"}));

  EXPECT_EQ(shape(dsc.getPointDataSourcesMenu().items),
            (QStringList{"Mouse", "(ZAPH)", "    pos"}));
}

TEST_F(DataSourceMenus, ColourComponentsSortByNameButListAsRGB) {
  colorAt({kZaph, "swatch"});
  EXPECT_EQ(shape(dsc.getDataSourceMenuWithDepth(3).items).mid(3),
            (QStringList{"(ZAPH)", "    (swatch)", "        B", "        G", "        R"}));
  EXPECT_EQ(shape(dsc.getDataSourceMenuItemArray()).mid(3),
            (QStringList{"(ZAPH)", "    (swatch)", "        R", "        G", "        B"}));
}

TEST_F(DataSourceMenus, NamesSortCaseSensitivelyAndPathsKeepTheirSlashes) {
  for (const char* name : {"beta", "Zeta", "alpha", "Alpha"}) leafAt({kZaph, name});
  holderAt({kZaph, "osc"});
  leafAt({kZaph, "osc", "/fader/1"});
  const DataSourceMenuItems items = dsc.getDataSourceMenuWithDepth(3).items;
  EXPECT_EQ(shape(items).mid(3), (QStringList{"(ZAPH)", "    Alpha", "    Zeta", "    alpha",
                                              "    beta", "    (osc)", "        /fader/1"}));
  const DataSourceMenuItem& fader = items.back();
  EXPECT_EQ(fader.toolTip, "ZAPH/osc//fader/1");
  EXPECT_EQ(fader.keyPath, (KeyPath{kZaph, "osc", "/fader/1"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray(fader.keyPath)->sourceName(), "/fader/1");
}

TEST_F(DataSourceMenus, FlatHeadingsHaveNoToolTip) {
  holderAt({kZaph, "a"});
  leafAt({kZaph, "a", "b"});
  const DataSourceMenuItems items = dsc.getDataSourceMenuItemArray();
  EXPECT_EQ(shape(items).mid(3), (QStringList{"(ZAPH)", "    (a)", "        b"}));
  EXPECT_TRUE(items[4].toolTip.isEmpty());
  EXPECT_EQ(items[5].toolTip, "ZAPH/a/b");
}

TEST_F(DataSourceMenus, FlatListItemsAllHaveThePlainTitleASDF) {
  holderAt({kZaph, "a"});
  leafAt({kZaph, "a", "b"});
  colorAt({kZaph, "swatch"});
  const DataSourceMenuItems flat = dsc.getDataSourceMenuItemArray();
  ASSERT_EQ(shape(flat).mid(3), (QStringList{"(ZAPH)", "    (a)", "        b", "    (swatch)",
                                             "        R", "        G", "        B"}));
  for (const DataSourceMenuItem& item : flat) EXPECT_EQ(item.plainTitle, "ASDF") << qPrintable(item.title);
  for (const DataSourceMenuItem& item : dsc.getDataSourceMenuWithDepth(3).items)
    EXPECT_TRUE(item.plainTitle.isEmpty()) << qPrintable(item.title);
}

TEST_F(DataSourceMenus, TheWidgetCarriesEachItemsKeyPath) {
  holderAt({kZaph, "a"});
  holderAt({kZaph, "a", "osc"});
  leafAt({kZaph, "a", "osc", "/fader/1"});
  std::unique_ptr<QMenu> menu(DataSourceMenuAdapter::createMenu(dsc.getDataSourcesMenu()));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "Data Sources");
  const QList<QAction*> actions = menu->actions();
  QStringList texts;
  for (const QAction* action : actions) texts.append(action->text());
  EXPECT_EQ(texts, (QStringList{"Mouse", "    X", "    Y", "ZAPH", "    a"}));
  EXPECT_FALSE(actions[0]->isEnabled());
  EXPECT_TRUE(actions[1]->isEnabled());
  EXPECT_EQ(DataSourceMenuAdapter::keyPathForAction(actions[1]), (KeyPath{"Mouse", "X"}));
  EXPECT_EQ(actions[1]->toolTip(), "Mouse/X");
  EXPECT_EQ(actions[1]->font().pointSizeF(), 9.0);

  QMenu* submenu = actions[4]->menu();
  ASSERT_NE(submenu, nullptr);
  const QList<QAction*> inner = submenu->actions();
  ASSERT_EQ(inner.size(), 2);
  EXPECT_EQ(DataSourceMenuAdapter::keyPathForAction(inner[1]),
            (KeyPath{kZaph, "a", "osc", "/fader/1"}));
  EXPECT_TRUE(DataSourceMenuAdapter::keyPathForAction(nullptr).isEmpty());
}

}  // namespace
