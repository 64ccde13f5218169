#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKPlugin.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

namespace {

namespace N = PaletteNotifications;

const QString kType = QStringLiteral("Oscillator");

// The layout registry of the program, with one plug-in layout.
class QKPluginTest : public testing::Test {
 protected:
  QKPluginTest() {
    registry.registerLayout(kType, [](QObject*) {
      auto window = std::make_unique<QKWindow>(QRectF(100, 500, 260, 160));
      window->setWindowTitle(QStringLiteral("from the layout"));
      window->setContentView(new QKWindowContentView);
      return window;
    });
    LayoutRegistry::setShared(&registry);
  }
  ~QKPluginTest() override { LayoutRegistry::setShared(nullptr); }

  LayoutRegistry registry;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

TEST_F(QKPluginTest, IntroducesItselfAndItsWindow) {
  NotificationCounter added(N::NewPlugin);
  NotificationCounter windows(N::AddPluginWindow);
  QKPlugin plugin(kType, QStringLiteral("Osc 1"), 7);
  EXPECT_EQ(plugin.dataSourceController(), &dsc);
  ASSERT_EQ(added.count(), 1);
  EXPECT_EQ(added.notes().front().object, &plugin);
  EXPECT_EQ(windows.count(), 0);  // the window is loaded when first asked for

  QKWindow* window = plugin.window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->title(), QStringLiteral("Osc 1"));
  EXPECT_EQ(window->contentView()->paletteName(), QStringLiteral("Osc 1"));
  ASSERT_EQ(windows.count(), 1);
  EXPECT_EQ(windows.notes().front().object, window);
  plugin.prepareToBeDeleted();
}

TEST_F(QKPluginTest, SnapshotKeysAndTheLegacyForm) {
  QKPlugin plugin(kType, QStringLiteral("Osc 1"), 7);
  QKWindowContentView* view = plugin.window()->contentView();
  const QVariantMap snapshot = plugin.createSnapshot();
  EXPECT_EQ(snapshot.value(QKPlugin::kName), kType);
  EXPECT_EQ(snapshot.value(QKPlugin::kUniqueID), qint64(7));
  EXPECT_EQ(snapshot.value(QKPlugin::kWindowTitle), QStringLiteral("Osc 1"));
  EXPECT_EQ(snapshot.value(QKPlugin::kWindowSnap), view->createSnapshot());

  const double h = QKWindow::mainScreenFrame().height();
  plugin.loadSnapshot({{QKPlugin::kWindowSnap, FrameSnapshot::make(40, h - 200, 300, 100, false)}});
  EXPECT_EQ(view->actualLocation(), QRectF(40, 200, 300, 100));
  // Older snapshots kept the frame keys at the top level.
  QVariantMap legacy = FrameSnapshot::make(60, h - 300, 200, 120, true);
  legacy.insert(QKPlugin::kName, kType);
  plugin.loadSnapshot(legacy);
  EXPECT_TRUE(view->collapsed());
  EXPECT_EQ(view->expandedSize(), QSizeF(200, 120));
  plugin.prepareToBeDeleted();
}

TEST_F(QKPluginTest, RenameAnnouncesOnlyANamedInstanceAndAlwaysReloadsTheMenu) {
  NotificationCounter renamed(N::PluginRenamed);
  NotificationCounter reloads(N::ReloadMenu);
  QKPlugin unnamed(kType, QString(), 1);
  unnamed.setPluginName(QStringLiteral("First"));
  EXPECT_EQ(renamed.count(), 0);
  EXPECT_EQ(reloads.count(), 1);

  QKWindow* window = unnamed.window();
  unnamed.setPluginName(QStringLiteral("Second"));
  ASSERT_EQ(renamed.count(), 1);
  const Notification note = renamed.notes().front();
  EXPECT_EQ(note.object, &unnamed);
  EXPECT_EQ(note.userInfo.value(QStringLiteral("oldName")), QStringLiteral("First"));
  EXPECT_EQ(note.userInfo.value(QStringLiteral("newName")), QStringLiteral("Second"));
  EXPECT_EQ(reloads.count(), 2);
  EXPECT_EQ(window->title(), QStringLiteral("Second"));
  EXPECT_EQ(window->contentView()->paletteName(), QStringLiteral("Second"));
  unnamed.prepareToBeDeleted();
}

TEST_F(QKPluginTest, SortsByTypeThenTitle) {
  QKPlugin a(kType, QStringLiteral("b"), 1);
  QKPlugin b(kType, QStringLiteral("B"), 2);
  QKPlugin c(QStringLiteral("Buttons"), QStringLiteral("z"), 3);
  EXPECT_GT(a.sortByPluginName(b), 0);  // plain comparison: upper case first
  EXPECT_LT(b.sortByPluginName(a), 0);
  EXPECT_EQ(a.sortByPluginName(a), 0);
  EXPECT_LT(c.sortByPluginName(a), 0);
  for (QKPlugin* p : {&a, &b, &c}) p->prepareToBeDeleted();
}

// A plug-in class keeps the base snapshot under "superSnap".
class SpeedPlugin : public QKPlugin {
 public:
  SpeedPlugin() : QKPlugin(kType, QStringLiteral("Speedy"), 9) {}
  QVariantMap createSnapshot() const override {
    return {{QStringLiteral("speed"), speed}, {kSuperSnap, QKPlugin::createSnapshot()}};
  }
  void loadSnapshot(const QVariantMap& snapshot) override {
    QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
    speed = snapshot.value(QStringLiteral("speed"), speed).toDouble();
  }
  double speed = 1.0;
};

TEST_F(QKPluginTest, SubclassRoundTripThroughSuperSnap) {
  SpeedPlugin first;
  first.speed = 2.5;
  first.window()->contentView()->moveWindowToHere({30, 40, 250, 90});
  const QVariantMap snapshot = first.createSnapshot();
  first.prepareToBeDeleted();

  SpeedPlugin second;
  second.loadSnapshot(snapshot);
  EXPECT_EQ(second.speed, 2.5);
  EXPECT_EQ(second.window()->contentView()->actualLocation(), QRectF(30, 40, 250, 90));
  EXPECT_EQ(second.createSnapshot(), snapshot);
  second.prepareToBeDeleted();
}

TEST_F(QKPluginTest, AnUnknownTypeHasNoWindowLoggedOnce) {
  LogCapture log;
  QKPlugin plugin(QStringLiteral("NoSuchType"), QStringLiteral("x"), 3);
  EXPECT_EQ(plugin.window(), nullptr);
  EXPECT_EQ(plugin.window(), nullptr);
  plugin.loadSnapshot(FrameSnapshot::make(1, 2, 3, 4, false));
  EXPECT_FALSE(plugin.createSnapshot().contains(QKPlugin::kWindowSnap));
  EXPECT_EQ(log.lines().filter(QStringLiteral("NoSuchType")).size(), 1);
  plugin.prepareToBeDeleted();
}

TEST_F(QKPluginTest, GoingWithoutPrepareToBeDeletedIsLoggedAndDetaches) {
  NotificationCounter removals(N::RemoveWindow);
  LogCapture log;
  QKWindow* window = nullptr;
  {
    QKPlugin plugin(kType, QStringLiteral("Forgotten"), 4);
    window = plugin.window();
  }
  EXPECT_TRUE(log.contains(QStringLiteral("Forgotten")));
  ASSERT_EQ(removals.count(), 1);
  EXPECT_EQ(removals.notes().front().object, window);
}

}  // namespace
