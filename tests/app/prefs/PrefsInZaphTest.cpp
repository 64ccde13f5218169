#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorGLView.h"
#include "app/prefs/CustomPathsPrefsController.h"
#include "app/prefs/PrefsController.h"
#include "app/shell/AppController.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

// A first start writes the preferences' defaults and makes the folders
// before the window was ever opened; the menu item shows the window.
TEST(PrefsInZaph, AFirstStartWritesTheDefaultsMakesTheFoldersAndTheMenuShowsTheWindow) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  UserDefaults::standard().resetForTesting();
  UserDefaults::standard().setValue("renderWidth", 800);
  AppController controller;
  UserDefaults& defaults = UserDefaults::standard();
  for (const char* key :
       {"useMovieTimeDefault", "ramloadRangeDefault", "maxImageCacheSizeDefault",
        "urlStringDefault", "timeSliderDefault", "speedSliderDefault", "volumeSliderDefault",
        "renderHeight", "cpSwapInterval", "canvasPresentationMode", "constrainOutputWindow",
        "QCUserDirectoryPath", "UserVideoCaptureDirectoryPath", "fullscreenDisplaysArray"})
    EXPECT_TRUE(defaults.contains(QLatin1String(key))) << key;
  EXPECT_EQ(defaults.integerValue("renderWidth"), 800) << "a stored key is kept";
  EXPECT_EQ(controller.outputView()->canvasSize(), QSizeF(800, 480));
  EXPECT_EQ(controller.outputView()->cpSwapInterval(), 1);
  const QString user = QDir::homePath() + "/.local/share/ZAPH";
  for (const QString& name : CustomPathsPrefsController::subfolderNames())
    EXPECT_TRUE(QFileInfo(user + "/" + name).isDir()) << name.toStdString();
  EXPECT_TRUE(QFileInfo(QDir::homePath() + "/Videos/Recordings").isDir());

  PrefsController* prefs = controller.prefsController();
  ASSERT_TRUE(prefs);
  EXPECT_FALSE(prefs->isVisible());
  QAction* item = controller.menuItem("preferencesMenuItem");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->text(), "Preferences…");
  item->trigger();
  EXPECT_TRUE(prefs->isVisible());
  EXPECT_EQ(prefs->shownPane(), prefs->paneView(PrefsController::kFileLoadingRow));

  // A new composition folder reaches the compositor's scans at once.
  CustomPathsPrefsController* paths = prefs->customPathsPrefs();
  paths->qcUserDirectoryPathField()->setText("~/Shows/Tonight");
  paths->textFieldUsed(paths->qcUserDirectoryPathField());
  EXPECT_EQ(controller.compositorObject()->userFolder(), QDir::homePath() + "/Shows/Tonight");
  controller.applicationWillTerminate();
}

}  // namespace
