#include "app/compositor/CIFilterListController.h"
#include "app/compositor/FilterTableView.h"
#include "app/compositor/LayerPanel.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/effects/LayerFXObject.h"
#include "framework/fx/FXChainDragDestBox.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/PropertyList.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace FilterKeys;

// A filter that is never run: the browser only reads its attributes.
class IdleFilter : public image::Filter {
 public:
  explicit IdleFilter(const QString& name) : Filter(name, {kInputImage}) {}
  image::Image outputImage() override { return {}; }
};

struct FakeFilter {
  QString name;
  QString displayName;  // empty: none
  QString description;  // empty: none
  QStringList categories;
  bool makes = true;  // false: the registry's constructor gives nothing
};

// A registry of its own and two effect folders, searched in their order.
class BrowserFixture : public ::testing::Test {
 protected:
  void registerFilters(const std::vector<FakeFilter>& filters) {
    for (const FakeFilter& f : filters) {
      QVariantMap attributes{{kFilterCategories, f.categories}};
      if (!f.displayName.isEmpty()) attributes.insert(kFilterDisplayName, f.displayName);
      if (!f.description.isEmpty()) attributes.insert(kDescription, f.description);
      const bool makes = f.makes;
      registry.registerFilterName(
          f.name,
          [makes](const QString& name) -> std::shared_ptr<image::Filter> {
            return makes ? std::make_shared<IdleFilter>(name) : nullptr;
          },
          attributes);
    }
  }
  // An effect composition (an image input unless `image` is false).
  QString writeComposition(const QTemporaryDir& folder, const QString& name,
                           const QString& category = {}, const QString& description = {},
                           bool image = true) {
    const QString key = image ? QStringLiteral("inputImage") : QStringLiteral("amount");
    const QVariantList ports{QVariantMap{{"key", key}, {"node", "split"}, {"port", "input"}}};
    const QVariantList nodes{QVariantMap{
        {"key", "split"},
        {"class", "QCSplitter"},
        {"state", QVariantMap{{"portClass", image ? "QCGLImagePort" : "QCNumberPort"}}}}};
    QVariantMap file{{"rootPatch", QVariantMap{{"state", QVariantMap{{"publishedInputPorts", ports},
                                                                     {"nodes", nodes}}}}}};
    if (!category.isEmpty()) file.insert("category", category);
    if (!description.isEmpty()) file.insert("description", description);
    const QString path = folder.filePath(name);
    EXPECT_EQ(PropertyList::write(file, path), QString());
    return path;
  }
  std::unique_ptr<CIFilterListController> makeBrowser(Compositor* compositor = nullptr) {
    CIFilterListController::Sources sources;
    sources.registry = &registry;
    sources.compositionFolders = [this] {
      return QStringList{first.path() + "/", second.path() + "/"};
    };
    sources.chainManager = &chainManager;
    auto browser = std::make_unique<CIFilterListController>(compositor, sources);
    browser->awakeFromNib();
    return browser;
  }
  static QStringList categoryNames(const CIFilterListController& browser) {
    QStringList names;
    for (const FilterCategory& category : browser.filtersList()) names << category.humanCatName;
    return names;
  }
  static const FilterCategory* category(const CIFilterListController& browser,
                                        const QString& human) {
    for (const FilterCategory& c : browser.filtersList())
      if (c.humanCatName == human) return &c;
    return nullptr;
  }
  static const FilterCategory& all(const CIFilterListController& browser) {
    return browser.filtersList().front();
  }

  image::FilterRegistry registry;
  QTemporaryDir first, second;
  LayerChainManager chainManager;
};

const QStringList kGeometry{kCategoryGeometryAdjustment, kCategoryVideo};
const QStringList kBlur{kCategoryBlur, kCategoryVideo};

TEST_F(BrowserFixture, CategoriesComeInNameOrderUnderAllFiltersWithEmptyOnesListed) {
  registerFilters({{"QKZoom", "Zoom (QK)", "Enlarges", kGeometry},
                   {"Still", "Still Only", "", {kCategoryBlur}},  // not for video
                   {"Box", "Box Blur", "", kBlur}});
  writeComposition(first, "Glow.qtz", "Glitch");
  writeComposition(first, "Plain.qtz");
  auto browser = makeBrowser();
  EXPECT_EQ(categoryNames(*browser),
            QStringList({"All Filters", "Blur", "Color Adjustment", "Color Effect",
                         "Distortion Effect", "Geometry Adjustment", "Halftone Effect", "QC Glitch",
                         "QuartzComposer FX", "Sharpen", "Stylize", "Tile Effect"}));
  const FilterCategory* tile = category(*browser, "Tile Effect");
  ASSERT_TRUE(tile);
  EXPECT_EQ(tile->count(), 0);
  EXPECT_EQ(tile->catType, FilterCategory::kTypeFilter);
  EXPECT_EQ(tile->realCatName, kCategoryTileEffect);
  EXPECT_EQ(category(*browser, "Blur")->catFilterHumanNames, QStringList{"Box Blur"});
  const FilterCategory* plain = category(*browser, "QuartzComposer FX");
  EXPECT_EQ(plain->catType, FilterCategory::kTypeComposition);
  EXPECT_EQ(plain->catFilterDescriptions, QStringList{"Quartz Composer FX"});
  EXPECT_EQ(all(*browser).catFilterHumanNames,
            QStringList({"Box Blur", "Glow.qtz", "Plain.qtz", "Zoom (QK)"}));
  EXPECT_EQ(all(*browser).catType, FilterCategory::kTypeAll);
  // The window opens on "All Filters", showing all of it.
  EXPECT_EQ(browser->selectedCategoryRow(), 0);
  EXPECT_EQ(browser->numberOfRowsInTableView(browser->filterTable()), 4);
  EXPECT_EQ(browser->objectValueForRow(browser->catTable(), 0), "All Filters");
  EXPECT_EQ(browser->toolTipForRow(browser->filterTable(), 3), "Enlarges");
}

TEST_F(BrowserFixture, ExcludedUnmadeAndUnnamedFiltersAreNeverListed) {
  std::vector<FakeFilter> filters;
  for (const QString& name : CIFilterListController::excludedFilterNames())
    filters.push_back({name, name + " shown", "", kGeometry});
  filters.push_back({"Broken", "Broken", "", kGeometry, false});
  filters.push_back({"Nameless", "", "", kGeometry});
  filters.push_back({"Kept", "Kept", "", kGeometry});
  registerFilters(filters);
  auto browser = makeBrowser();
  for (const FilterCategory& category : browser->filtersList())
    EXPECT_EQ(category.catFilterNames, category.humanCatName == "All Filters" ||
                                               category.humanCatName == "Geometry Adjustment"
                                           ? QStringList{"Kept"}
                                           : QStringList())
        << category.humanCatName.toStdString();
  EXPECT_EQ(category(*browser, "Geometry Adjustment")->catFilterDescriptions,
            QStringList{"CoreImage Filter"});
}

TEST_F(BrowserFixture, AFilterInTwoCategoriesIsListedInBothAndTwiceInAllFilters) {
  registerFilters({{"Sharp", "Sharp Blur", "", {kCategoryBlur, kCategorySharpen, kCategoryVideo}},
                   // A category sorts by shown name, case first; "All Filters" ignores case.
                   {"Lower", "bright", "", kBlur},
                   {"Upper", "Cold", "", kBlur}});
  auto browser = makeBrowser();
  EXPECT_EQ(category(*browser, "Blur")->catFilterHumanNames,
            QStringList({"Cold", "Sharp Blur", "bright"}));
  EXPECT_EQ(category(*browser, "Sharpen")->catFilterNames, QStringList{"Sharp"});
  EXPECT_EQ(all(*browser).catFilterNames, QStringList({"Lower", "Upper", "Sharp", "Sharp"}));
}

// Two effects shown under one name each keep their own name and
// description in "All Filters", so each adds itself.
TEST_F(BrowserFixture, EffectsSharingADisplayNameKeepTheirOwnNameAndDescription) {
  registerFilters({{"CITwirl", "Twirl", "Rotates the middle", kGeometry},
                   {"QKTwirl", "Twirl", "Spins the edges", kBlur}});
  auto browser = makeBrowser();
  const FilterCategory& everything = all(*browser);
  ASSERT_EQ(everything.count(), 2);
  EXPECT_EQ(everything.catFilterHumanNames, QStringList({"Twirl", "Twirl"}));
  EXPECT_EQ(everything.catFilterNames, QStringList({"QKTwirl", "CITwirl"}));
  EXPECT_EQ(everything.catFilterDescriptions,
            QStringList({"Spins the edges", "Rotates the middle"}));
  const auto named = [&](int row) {
    return PropertyList::parse(browser->draggedEffectData(row)).value.toMap().value("filterName");
  };
  EXPECT_EQ(named(0), "QKTwirl");
  EXPECT_EQ(named(1), "CITwirl");
}

TEST_F(BrowserFixture, CompositionsFromTheFirstFolderHoldingTheirNameWithExactExtensions) {
  const QString glow = writeComposition(first, "glow.qtz", "Glitch", "Glows");
  writeComposition(second, "glow.qtz", "Other", "Second glow");
  const QString upper = writeComposition(second, "Bend.QTZ", "Glitch");
  writeComposition(first, "Mixed.Qtz", "Glitch");
  writeComposition(first, "Fish.qtz", "Glitch");
  writeComposition(first, "NoImage.qtz", "Glitch", {}, false);
  writeComposition(first, "notes.txt", "Glitch");
  QFile broken(first.filePath("Broken.qtz"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a composition");
  broken.close();
  LogCapture log;
  auto browser = makeBrowser();
  // The unreadable file is named once in the log; the others go quietly.
  const QStringList named = log.lines().filter("Broken.qtz");
  EXPECT_EQ(named.size(), 1) << named.join("\n").toStdString();
  EXPECT_TRUE(log.lines().filter("NoImage.qtz").isEmpty());
  const FilterCategory* glitch = category(*browser, "QC Glitch");
  ASSERT_TRUE(glitch);
  EXPECT_EQ(glitch->catFilterNames, QStringList({upper, glow}));
  EXPECT_EQ(glitch->catFilterHumanNames, QStringList({"Bend.QTZ", "glow.qtz"}));
  EXPECT_EQ(glitch->catFilterDescriptions, QStringList({"Quartz Composer FX", "Glows"}));
  EXPECT_FALSE(category(*browser, "QC Other"));
  EXPECT_EQ(browser->typeForFilterNamed(glow), FilterCategory::kTypeComposition);
  EXPECT_EQ(browser->typeForFilterNamed("Nothing"), QString());
  EXPECT_EQ(browser->typeForFilterNamed(QString()), QString());
}

TEST_F(BrowserFixture, ARefreshReadsTheFoldersAgainAndKeepsTheFilters) {
  registerFilters({{"QKZoom", "Zoom (QK)", "", kGeometry}});
  writeComposition(first, "Old.qtz", "Glitch");
  auto browser = makeBrowser();
  QFile::remove(first.filePath("Old.qtz"));
  writeComposition(second, "New.qtz", "Waves");
  browser->refreshQCFXLists();
  EXPECT_FALSE(category(*browser, "QC Glitch"));
  ASSERT_TRUE(category(*browser, "QC Waves"));
  EXPECT_EQ(all(*browser).catFilterHumanNames, QStringList({"New.qtz", "Zoom (QK)"}));
  EXPECT_EQ(browser->selectedCategoryRow(), 0);
  EXPECT_EQ(browser->numberOfRowsInTableView(browser->filterTable()), 2);
}

TEST_F(BrowserFixture, SearchByScopeIgnoringCaseFallsBackToAllFilters) {
  registerFilters({{"QKZoom", "Zoom (QK)", "Enlarges about a centre", kGeometry},
                   {"XYZoom", "X/Y Zoom (QK)", "Stretches each axis", kGeometry},
                   {"Soft", "Soft Focus", "A ZOOM blur", kBlur}});
  auto browser = makeBrowser();
  const int geometry =
      int(std::find_if(
              browser->filtersList().begin(), browser->filtersList().end(),
              [](const FilterCategory& c) { return c.humanCatName == "Geometry Adjustment"; }) -
          browser->filtersList().begin());
  const int blur = 1;
  ASSERT_EQ(browser->filtersList()[blur].humanCatName, "Blur");
  struct Case {
    const char* scope;
    const char* text;
    int row;  // the category selected before
    QStringList shown;
    int rowAfter;
  };
  const QString longText(200, QLatin1Char('z'));
  const std::vector<Case> cases = {
      {"Name", "zoom", 0, {"X/Y Zoom (QK)", "Zoom (QK)"}, 0},
      {"Name", "ZoOm", 0, {"X/Y Zoom (QK)", "Zoom (QK)"}, 0},
      {"Description", "zoom", 0, {"Soft Focus"}, 0},
      {"All", "ZOOM", 0, {"Soft Focus", "X/Y Zoom (QK)", "Zoom (QK)"}, 0},
      {"Bogus", "focus", 0, {"Soft Focus"}, 0},  // any other title searches names
      {"Name", "", geometry, {"X/Y Zoom (QK)", "Zoom (QK)"}, geometry},
      {"Description", "ENLARGES", geometry, {"Zoom (QK)"}, geometry},
      {"Name", "zoom", blur, {"X/Y Zoom (QK)", "Zoom (QK)"}, 0},  // nothing in Blur
      {"Name", "Soft Focus and more", blur, {}, 0},
      {"Name", "Soft Focus and more", 0, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.scope) + " / " + c.text + " / row " + std::to_string(c.row));
    browser->selectCategoryRow(c.row);
    {
      const QSignalBlocker quiet(browser->searchField());  // the scope's choice searches
      browser->searchField()->setText(QLatin1String(c.text));
    }
    browser->searchFieldCatMenuUsed(QLatin1String(c.scope));
    EXPECT_EQ(browser->searchedFiltersDict().catFilterHumanNames, c.shown);
    EXPECT_EQ(browser->selectedCategoryRow(), c.rowAfter);
    EXPECT_EQ(browser->numberOfRowsInTableView(browser->filterTable()), c.shown.size());
  }
  EXPECT_EQ(browser->searchScope(), "Name");
  const QStringList on = [&] {
    QStringList titles;
    for (QAction* item : browser->searchFieldCatMenu()->actions())
      if (item->isChecked()) titles << item->text();
    return titles;
  }();
  EXPECT_EQ(on, QStringList{"Name"});
  // No category selected: nothing is shown.
  browser->selectCategoryRow(-1);
  browser->populateSearchResultsArray();
  EXPECT_EQ(browser->searchedFiltersDict().count(), 0);
  EXPECT_EQ(browser->numberOfRowsInTableView(browser->filterTable()), 0);
}

TEST_F(BrowserFixture, OnlyEffectRowsAreDraggedAsTheChainsElementType) {
  registerFilters({{"QKZoom", "Zoom (QK)", "", kGeometry}});
  const QString glow = writeComposition(first, "Glow.qtz", "Glitch");
  auto browser = makeBrowser();
  FilterTableView* effects = browser->filterTable();
  QAbstractItemModel* model = effects->model();
  EXPECT_FALSE(browser->catTable()->model()->flags(browser->catTable()->model()->index(0, 0)) &
               Qt::ItemIsDragEnabled);
  EXPECT_FALSE(
      browser->writeRows(browser->catTable(), {browser->catTable()->model()->index(0, 0)}));
  EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsDragEnabled);

  const QString type = FXChainManager::mimeTypeFor(chainManager.chainFXPboardType());
  struct Case {
    int row;
    QString filterType, filterName;
  };
  for (const Case& c : {Case{0, "QTZ", glow}, Case{1, "CIFilter", "QKZoom"}}) {
    std::unique_ptr<QMimeData> data(model->mimeData({model->index(c.row, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(browser->draggingIndex(), c.row);
    EXPECT_EQ(data->formats(), QStringList{type});
    const PropertyList::Result parsed = PropertyList::parse(data->data(type));
    ASSERT_TRUE(parsed.ok()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.value.toMap(),
              (QVariantMap{{"filterType", c.filterType}, {"filterName", c.filterName}}));
  }
}

// --- With layers -----------------------------------------------------------------------------

class BrowserLayerTest : public LayerGLTest {
 protected:
  void SetUp() override {
    LayerGLTest::SetUp();
    if (IsSkipped()) return;
    Compositor::loadCustomFilters();
    world_->compositor->populateCompFilterTypes();
    world_->compositor->setLayerWindowFactory(
        [](Compositor& owner) { return std::make_unique<LayerPanel>(&owner); });
    auto manager = std::make_shared<LayerChainManager>();
    world_->compositor->setChainManager(manager);
    LayerFXChainAdapter::install(*world_->compositor, manager);
  }
  void TearDown() override {
    if (world_) world_->compositor->deleteAllLayers();
    LayerGLTest::TearDown();
  }
  Compositor& compositor() { return *world_->compositor; }
  static LayerFXChain& chainOf(Layer& layer) {
    return static_cast<LayerFXChainAdapter*>(layer.fxChain())->chain();
  }
  static QStringList effectNames(Layer& layer) {
    QStringList names;
    for (const FXChain::Element& element : chainOf(layer).fxArray())
      names << static_cast<LayerFXObject*>(element.get())->filterName();
    return names;
  }
  // Shows the effects whose names hold `text` and selects the first.
  static void findAndSelect(CIFilterListController& browser, const QString& text) {
    browser.searchFieldCatMenuUsed(CIFilterListController::kScopeName);
    browser.searchField()->setText(text);
    ASSERT_GT(browser.searchedFiltersDict().count(), 0) << text.toStdString();
    browser.filterTable()->selectRow(0);
  }
  static QAction* itemNamed(QMenu* menu, const QString& name) {
    for (QAction* item : menu->actions())
      if (item->data().toString() == name) return item;
    return nullptr;
  }
};

TEST_F(BrowserLayerTest, TheLayerMenuSendsTheSelectedEffectToTheChosenLayer) {
  auto plain = world_->solidLayer(QColor(255, 0, 0));
  auto odd = world_->solidLayer(QColor(0, 255, 0));
  ASSERT_TRUE(odd->setLayerName("A & B"));
  CIFilterListController* browser = compositor().makeFilterListController();
  EXPECT_EQ(compositor().makeFilterListController(), browser);
  QTest::qWait(10);  // the menu follows the tap list on the main thread
  QMenu* menu = browser->layerMenu();
  ASSERT_TRUE(menu);
  QStringList titles;
  for (QAction* item : menu->actions()) titles << item->text();
  EXPECT_TRUE(titles.contains("A && B")) << titles.join(", ").toStdString();
  EXPECT_EQ(titles.first(), "<none>");
  QAction* toOdd = itemNamed(menu, "A & B");
  ASSERT_TRUE(toOdd);

  // No effect selected: nothing is added.
  browser->filterTable()->clearSelection();
  toOdd->trigger();
  EXPECT_TRUE(effectNames(*odd).isEmpty());
  // A right click on the effect selects it and opens the menu.
  findAndSelect(*browser, "RGB Trails");
  FilterTableView* effects = browser->filterTable();
  effects->clearSelection();
  browser->window()->show();
  browser->window()->contentView()->expand();
  QTest::qWait(20);
  QTest::mouseClick(effects->viewport(), Qt::RightButton, {},
                    effects->visualRect(effects->model()->index(0, 0)).center());
  EXPECT_EQ(browser->selectedFilterRow(), 0);
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  itemNamed(menu, "<none>")->trigger();
  EXPECT_TRUE(effectNames(*odd).isEmpty());
  EXPECT_TRUE(effectNames(*plain).isEmpty());
  toOdd->trigger();
  EXPECT_EQ(effectNames(*odd), QStringList{"RGB_Trails"});
  EXPECT_TRUE(effectNames(*plain).isEmpty());

  // A layer that is gone by the time its item is chosen: nothing happens.
  QAction gone(QStringLiteral("Gone"));
  gone.setData(QStringLiteral("Gone"));
  browser->contextualMenuUsed(&gone);
  EXPECT_TRUE(effectNames(*plain).isEmpty());
  EXPECT_EQ(effectNames(*odd).size(), 1);

  // The menu follows a renamed layer.
  ASSERT_TRUE(plain->setLayerName("Renamed"));
  QTest::qWait(10);
  ASSERT_TRUE(browser->layerMenu());
  EXPECT_TRUE(itemNamed(browser->layerMenu(), "Renamed"));
}

// A performer finds "zoom" and drops "Zoom (QK)" onto a layer's chain in
// its window: the chain's own drop function takes the browser's drag.
TEST_F(BrowserLayerTest, ADraggedEffectDropsOntoALayersChain) {
  auto layer = world_->solidLayer(QColor(255, 0, 0));
  auto* panel = dynamic_cast<LayerPanel*>(compositor().layerWindowArray().front().get());
  ASSERT_TRUE(panel);
  panel->showLayer(layer.get());
  ASSERT_TRUE(layer->addCIFXNamed("FadeToBlack"));
  CIFilterListController* browser = compositor().makeFilterListController();
  browser->searchField()->setText("zoom");
  const QStringList shown = browser->searchedFiltersDict().catFilterHumanNames;
  EXPECT_TRUE(shown.contains("Zoom (QK)")) << shown.join(", ").toStdString();
  const int row = int(shown.indexOf("Zoom (QK)"));
  QAbstractItemModel* model = browser->filterTable()->model();
  std::unique_ptr<QMimeData> data(model->mimeData({model->index(row, 0)}));
  ASSERT_TRUE(data);

  FXChainDragDestBox* box = chainOf(*layer).backgroundBox();
  ASSERT_TRUE(box);
  // Above the first panel: the new effect goes first.
  ASSERT_TRUE(box->dragMovedTo(data.get(), QPointF(20, 2)));
  EXPECT_EQ(box->dropInsertionLocation(), 0);
  EXPECT_TRUE(box->performDrop(data.get(), browser->filterTable(), Qt::CopyAction));
  EXPECT_EQ(effectNames(*layer), QStringList({"QKZoom", "FadeToBlack"}));
  // Without the copy action nothing is taken.
  box->dragMovedTo(data.get(), QPointF(20, 2));
  EXPECT_FALSE(box->performDrop(data.get(), browser->filterTable(), Qt::MoveAction));
  EXPECT_EQ(chainOf(*layer).count(), 2);
}

// The palette as a performer sees it, with the program's own filters.
TEST_F(BrowserLayerTest, ThePaletteShowsCategoriesSearchAndEffects) {
  CIFilterListController* browser = compositor().makeFilterListController();
  QKPaletteWindow* window = browser->window();
  EXPECT_EQ(window->windowTitle(), "Video FX Palette");
  EXPECT_EQ(window->paletteStackOrder(), 4);
  window->show();
  // The palette starts folded to its bar, as the other palettes do.
  QKWindowContentView* content = window->contentView();
  content->expand();
  ASSERT_FALSE(content->collapsed());
  browser->searchField()->setText("zoom");
  QTest::qWait(500);  // the window manager's first paint
  EXPECT_GT(browser->filterTable()->height(), 60);
  EXPECT_GT(browser->catTable()->width(), 60);
  const QString path =
      saveScreenshot(window->screen()->grabWindow(window->winId()).toImage(), "video-fx-palette");
  EXPECT_FALSE(path.isEmpty());
}

}  // namespace
