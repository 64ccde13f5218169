// The media inspector in ZAPH's process: made at start-up, listed in the
// Window menu, following a media bin grid's selection and applying an edit.
#include "app/inspector/MediaInspector.h"
#include "app/inspector/QKMIMoviePropertiesController.h"
#include "app/inspector/QKMIQuartzComposerController.h"
#include "app/inspector/QKQCView.h"
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBLayerController.h"
#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQCFile.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/mediabin/FakeMediaBin.h"
#include "tests/app/mediabin/FakeQueueHost.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/ShaderComposition.h"
#include "tests/support/TestEnvironment.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

// A media bin over the program's own pages.
class AppPagesBin : public FakeMediaBin {
 public:
  explicit AppPagesBin(QKPageController* pages) : pages_(pages) {}
  QKPageController* pageController() const override { return pages_; }

 private:
  QKPageController* pages_;
};

TEST(MediaInspectorPalette, ListedFollowingTheBinAndApplying) {
  UserDefaults::standard().resetForTesting();
  AppController controller;
  MediaInspector* inspector = controller.mediaInspector();
  ASSERT_NE(inspector, nullptr);
  bool listed = false;
  for (QAction* entry : controller.appWindowMenuController()->paletteEntries())
    listed = listed || entry->text() == MediaInspector::kPaletteTitle;
  EXPECT_TRUE(listed);
  inspector->window()->contentView()->expand();

  QKPageController* pages = controller.pageController();
  auto page = pages->pages().front();
  auto file = QKFile::createWithName(QStringLiteral("loop"), controller.compositor());
  file->setMovieProps({{QStringLiteral("loopMode"), 1}});
  page->addObjects({file}, 0);

  AppPagesBin bin(pages);
  FakeQueueHost queueHost({"Top"});
  MBLayerController queue(&queueHost, 42);
  MBFileGridView grid(&bin, &queue);
  bin.setSelected(file->uniqueFileId(), true);
  NotificationCenter::defaultCenter().post(
      QStringLiteral("QKMBVisiblePagesChangedNotification"), &grid,
      {{"BinId", 42}, {"Reason", QStringLiteral("SelectedFilesChanged")}});
  ASSERT_EQ(inspector->inspectedFiles().size(), 1u);
  EXPECT_EQ(inspector->editableTextField()->text(), QStringLiteral("loop"));
  EXPECT_TRUE(inspector->applyButtonsVisible());

  NotificationCounter updated("QKFileMoviePropsUpdatedNotification");
  inspector->pendingPropsFor(*file)->insert(QStringLiteral("loopMode"), 2);
  inspector->applyButton()->bang();
  MainThread::processUntil([&] { return updated.count() > 0; }, 2.0);
  EXPECT_EQ(file->movieProp(QStringLiteral("loopMode")).toInt(), 2);
  EXPECT_EQ(updated.count(), 1);
  controller.applicationWillTerminate();
}

// The compositor's frames draw the inspector, which previews the
// composition shown.
TEST(MediaInspectorPalette, TheOutputsFramesDrawTheCompositionPreview) {
  UserDefaults::standard().resetForTesting();
  AppController controller;
  MediaInspector* inspector = controller.mediaInspector();
  ASSERT_NE(inspector, nullptr);
  inspector->window()->contentView()->expand();
  const QString path = writeShaderComposition(
      TestEnvironment::makeTempDir(), "Red.qtz",
      "uniform float level;\nvec4 shaderMain() { return vec4(level, 0, 0, 1); }\n", "level",
      "QCNumberPort", 1.0);
  auto file = QKQCFile::createWithPath(path, "Red.qtz", controller.compositor());
  inspector->selectTheseFiles({MIEntry{file, {}}});
  QKQCView* view = inspector->quartzComposerController()->quartzComposerView();
  ASSERT_TRUE(MainThread::processUntil([&] { return view->drawCount() > 1; }, 10.0))
      << "no frame drew the preview";
  EXPECT_GT(view->picture().pixelColor(view->width() / 2, view->height() / 2).red(), 200);
  controller.applicationWillTerminate();
}

}  // namespace
