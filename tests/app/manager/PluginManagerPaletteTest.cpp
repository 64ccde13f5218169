#include "app/plugins/manager/QKPMExistingListController.h"
#include "app/plugins/manager/QKPMPotentialListController.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "tests/app/manager/ManagerFixture.h"
#include "tests/support/Screenshot.h"

#include <QItemSelectionModel>
#include <QTest>

namespace {

class PaletteTest : public ManagerTest {
 protected:
  PaletteTest() {
    manager->awakeFromNib();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(manager->window()));
  }
  QModelIndex potentialRow(const QString& type) const {
    const int row = static_cast<int>(manager->sortedPluginClassKeys().indexOf(type));
    return manager->potentialListController()->index(row);
  }
};

TEST_F(PaletteTest, ShowsTheTypesWithMediaBinSelectedAndADoubleClickMakesOne) {
  EXPECT_EQ(manager->window()->title(), QStringLiteral("Plugin Manager"));
  EXPECT_EQ(manager->paletteStackOrder(), 6);
  QKNSTableView* types = manager->potentialPluginsView();
  EXPECT_EQ(types->model()->rowCount(), 4);
  EXPECT_EQ(types->selectionModel()->selectedRows(), QModelIndexList{potentialRow("MediaBin")});

  const QRect cell = types->visualRect(potentialRow(QStringLiteral("Sliders")));
  QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(types->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(names(), QStringList{"Sliders 1"});
  EXPECT_EQ(manager->existingPluginsView()->model()->rowCount(), 1);
}

TEST_F(PaletteTest, TheExistingListRenamesInPlaceAndDeletesByImageAndKey) {
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("Sliders"));
  QKPMExistingListController* list = manager->existingListController();
  EXPECT_FALSE(list->setData(list->index(0), QStringLiteral("A/B"), Qt::EditRole));
  EXPECT_TRUE(list->setData(list->index(0), QStringLiteral("Pads"), Qt::EditRole));
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(list->data(list->index(1), Qt::DisplayRole), QStringLiteral("Pads"));

  manager->window()->contentView()->expand();
  QImage picture = manager->window()->grab().toImage();
  EXPECT_FALSE(saveScreenshot(picture, QStringLiteral("plugin-manager")).isEmpty());

  // The delete image of an unselected row deletes that row.
  ActiveDeleteTableView* view = manager->existingPluginsView();
  view->selectRow(2);
  list->deleteRowPressed(0);
  EXPECT_EQ(names(), (QStringList{"Pads", "Sliders 1"}));
  view->selectRow(1);
  view->setFocus();
  QTest::keyClick(view, Qt::Key_Backspace);
  EXPECT_EQ(names(), QStringList{"Pads"});
}

}  // namespace
