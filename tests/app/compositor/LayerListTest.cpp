#include "LayerFixture.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorWindow.h"
#include "app/compositor/LayerListController.h"
#include "app/compositor/LayerListModel.h"
#include "app/compositor/LayerListOutlineView.h"
#include "app/compositor/LayerPanel.h"
#include "app/compositor/LayerSourceCompUIController.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/controls/QKSliderControl.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/Screenshot.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

class LayerListTest : public ::testing::Test {
 protected:
  LayerListTest() {
    world.compositor->setLayerView(nullptr);
    // Filters, GL blends and one composition, as the compositor lists them.
    world.compositor->populateCompFilterTypes();
  }
  // Five top-level layers, Layer 5 on top.
  void makeFive() {
    for (int i = 0; i < 5; ++i) world.compositor->createNewLayer();
  }
  LayerWorld world;
  LayerListModel model{world.compositor.get()};
};

TEST_F(LayerListTest, TheModelPassesTheItemModelTesterThroughEdits) {
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  makeFive();
  model.reload();
  auto group = world.compositor->groupLayers({world.top(1), world.top(2)});
  world.compositor->groupLayers({group->layerArray()[0].get()});
  model.reload();
  EXPECT_EQ(model.rowCount(), 4);
  const QModelIndex groupRow = model.index(1, 0);
  EXPECT_EQ(model.layerAt(groupRow), group.get());
  EXPECT_EQ(model.rowCount(groupRow), 2);
  EXPECT_EQ(model.parent(model.index(0, 0, groupRow)), groupRow);
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Layer 5");
  world.compositor->deleteThisLayer(group.get());
  model.reload();
  EXPECT_EQ(model.rowCount(), 5);
}

TEST_F(LayerListTest, DropsAreRetargetedAndNeverIntoTheDraggedLayers) {
  makeFive();
  auto group = world.compositor->groupLayers({world.top(3), world.top(4)});  // Layer 2, Layer 1
  model.reload();
  // Top level now: Layer 5, Layer 4, Layer 3, Group 1.
  struct Case {
    const char* name;
    QModelIndex parent;
    int row;
    Layer* destination;
    int index;
    bool accepted;
  };
  model.setDraggedItems({world.top(0)});
  const QModelIndex plain = model.index(2, 0);  // Layer 3
  const QModelIndex groupRow = model.index(3, 0);
  const Case cases[] = {
      {"on the root", QModelIndex(), -1, nullptr, 0, true},
      {"between top-level rows", QModelIndex(), 2, nullptr, 2, true},
      {"on a plain layer", plain, -1, nullptr, 2, true},
      {"on a group", groupRow, -1, group.get(), 0, true},
      {"between a group's members", groupRow, 1, group.get(), 1, true},
  };
  for (const Case& c : cases) {
    Layer* destination = reinterpret_cast<Layer*>(1);
    int index = -7;
    EXPECT_EQ(model.retarget(c.parent, c.row, &destination, &index), c.accepted) << c.name;
    EXPECT_EQ(destination, c.destination) << c.name;
    EXPECT_EQ(index, c.index) << c.name;
  }
  model.setDraggedItems({group.get()});
  Layer* destination = nullptr;
  int index = 0;
  EXPECT_FALSE(model.retarget(groupRow, -1, &destination, &index)) << "onto itself";
  EXPECT_FALSE(model.retarget(model.index(0, 0, groupRow), -1, &destination, &index))
      << "onto its member";

  // A real drop onto a plain layer lands before it; other payloads move nothing.
  model.setDraggedItems({world.top(0)});
  QMimeData layers;
  layers.setData(LayerListModel::kDragType, QByteArray());
  ASSERT_TRUE(model.dropMimeData(&layers, Qt::MoveAction, -1, 0, model.index(2, 0)));
  EXPECT_EQ(world.topNames(), QStringList({"Layer 4", "Layer 5", "Layer 3", "Group 1"}));
  QMimeData text;
  text.setText("Layer 4");
  model.setDraggedItems({world.top(0)});
  EXPECT_FALSE(model.dropMimeData(&text, Qt::MoveAction, 0, 0, QModelIndex()));
  EXPECT_EQ(world.topNames(), QStringList({"Layer 4", "Layer 5", "Layer 3", "Group 1"}));
}

TEST_F(LayerListTest, TheCompColumnSetsTheModesOfTheLayerAndItsParent) {
  auto layer = world.compositor->createNewLayer();
  auto group = world.compositor->groupLayers({layer.get()});
  model.reload();
  const CompModeLists& lists = world.compositor->compModeLists();
  const int over = int(lists.humanNames.indexOf(CompModeLists::kOverTitle));
  const int filter = int(lists.tags.indexOf(CompModeLists::kFilterKind));
  ASSERT_GE(over, 0);
  ASSERT_GE(filter, 0);
  const QModelIndex comp = model.indexOf(layer.get(), LayerListModel::CompColumn);
  ASSERT_TRUE(comp.isValid());

  ASSERT_TRUE(model.setData(comp, filter));
  EXPECT_EQ(group->contentsRenderingMode(), 0);
  EXPECT_EQ(layer->groupRenderingMode(), 0);
  EXPECT_EQ(layer->compRenderingMode(), 0);
  EXPECT_EQ(layer->compFilterName(), lists.names[filter]);
  EXPECT_EQ(model.data(model.indexOf(layer.get(), 1), Qt::EditRole).toInt(), filter);

  layer->setSFactor(1);  // GL_ONE: the list sets both factors, like the layer window
  ASSERT_TRUE(model.setData(model.indexOf(layer.get(), 1), over));
  EXPECT_EQ(layer->sFactor(), 770u);
  EXPECT_EQ(group->contentsRenderingMode(), 1);
  EXPECT_EQ(layer->groupRenderingMode(), 1);
  EXPECT_EQ(layer->dFactor(), Layer::kOverFactor);
  EXPECT_EQ(layer->compName(), QString("OpenGL Over"));

  const int qc = int(lists.tags.indexOf(CompModeLists::kQCKind));
  if (qc >= 0) {
    ASSERT_TRUE(model.setData(model.indexOf(layer.get(), 1), qc));
    EXPECT_EQ(layer->compRenderingMode(), 1);
    EXPECT_EQ(group->contentsRenderingMode(), 0);
  }
  EXPECT_FALSE(model.setData(model.indexOf(layer.get(), 1), 9999));
}

TEST_F(LayerListTest, AnEmptyRenameIsIgnored) {
  auto layer = world.compositor->createNewLayer();
  model.reload();
  EXPECT_FALSE(model.setData(model.index(0, 0), QString()));
  EXPECT_EQ(layer->layerName(), "Layer 1");
  EXPECT_TRUE(model.setData(model.index(0, 0), QString("Lead")));
  EXPECT_EQ(layer->layerName(), "Lead");
}

// The compositor window's list and buttons, and the stand-in panel a
// double click opens; pictures of both.
TEST(LayerListWindow, TheCompositorWindowEditsLayersAndOpensTheirPanel) {
  LayerWorld world;
  world.compositor->populateCompFilterTypes();
  world.compositor->setLayerWindowFactory(
      [](Compositor& compositor) { return std::make_unique<LayerPanel>(&compositor); });
  CompositorGLView view(world.compositor.get());
  CompositorWindow window(&view, nullptr);
  window.show();
  LayerListController* list = window.layerList();
  window.newLayerButton()->click();
  window.newLayerButton()->click();
  window.newLayerButton()->click();
  EXPECT_EQ(world.topNames(), QStringList({"Layer 3", "Layer 2", "Layer 1"}));
  list->selectLayers({world.top(1), world.top(2)});
  window.groupButton()->click();
  EXPECT_EQ(world.topNames(), QStringList({"Layer 3", "Group 1"}));
  list->update();
  EXPECT_EQ(list->model()->rowCount(list->model()->index(1, 0)), 2);
  list->selectLayers({world.top(0)});
  QTest::keyClick(list->outlineView(), Qt::Key_Delete);
  EXPECT_EQ(world.topNames(), QStringList({"Group 1"}));

  auto* panel = dynamic_cast<LayerPanel*>(world.compositor->layerWindowArray().front().get());
  ASSERT_NE(panel, nullptr);
  Layer* group = world.top(0);
  window.openLayer(group->layerArray()[0].get());
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->currentlyDisplayedLayer(), group->layerArray()[0].get());
  EXPECT_EQ(panel->window()->title(), "Layer 2");
  EXPECT_EQ(group->layerArray()[0]->alphaSlider()->parentWidget(),
            panel->sourceCompUIController()->sourceCompView());
  QTest::qWait(200);
  // The screen's pixels (a palette's own grab leaves its opaque frame unpainted).
  for (auto [widget, name] :
       {std::pair<QWidget*, const char*>{window.window(), "compositor-window-layers"},
        {panel->window(), "layer-panel"}})
    saveScreenshot(widget->screen()->grabWindow(widget->winId()).toImage(), name);
  world.compositor->deleteAllLayers();
  EXPECT_EQ(panel->currentlyDisplayedLayer(), nullptr);
}

}  // namespace
