#include "app/plugins/manager/PluginBundle.h"
#include "app/plugins/composition/QKGenericQCPlugin.h"
#include "tests/app/manager/ManagerFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QFileInfo>

namespace {

class PluginRegistryTest : public ManagerTest {
 protected:
  // The test bundle, copied into `folder` under `name`.
  static void copyTestBundle(const QString& folder, const QString& name) {
    const QString bundle = folder + QLatin1Char('/') + name + QStringLiteral(".bundle");
    ASSERT_TRUE(QDir().mkpath(bundle));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZAPH_TEST_BUNDLE_DIR "/TestBundle.so"),
                            bundle + QLatin1Char('/') + name + QStringLiteral(".so")));
  }
};

TEST_F(PluginRegistryTest, BuiltInsFirstThenTheFoldersSortedCaseInsensitively) {
  const QString user = userPluginsFolder();
  writeFile(user + QStringLiteral("/Blur.qtz"), validComposition());
  writeFile(user + QStringLiteral("/glow.QTZ"), validComposition());
  const QString custom = TestEnvironment::makeTempDir(QStringLiteral("custom"));
  QDir().mkpath(custom + QStringLiteral("/plugins"));
  writeFile(custom + QStringLiteral("/plugins/Blur.qtz"), validComposition());  // once
  writeFile(custom + QStringLiteral("/plugins/Edge.qtz"), validComposition());
  UserDefaults::standard().setValue(QStringLiteral("QCUserDirectoryPath"), custom);
  copyTestBundle(user, QStringLiteral("TestBundle"));

  manager->reloadPluginClasses();
  EXPECT_EQ(manager->registry().keys(),
            (QStringList{"AuxDisplay", "Buttons", "MediaBin", "Sliders", "Blur.qtz", "TestBundle",
                         "glow.QTZ", "Edge.qtz"}));
  EXPECT_EQ(manager->sortedPluginClassKeys(),
            (QStringList{"AuxDisplay", "Blur.qtz", "Buttons", "Edge.qtz", "glow.QTZ", "MediaBin",
                         "Sliders", "TestBundle"}));
}

TEST_F(PluginRegistryTest, NothingReplacesABuiltInAndOnlyBundleFoldersLoadCode) {
  const QString user = userPluginsFolder();
  writeFile(user + QStringLiteral("/Buttons.qtz"), validComposition());
  copyTestBundle(user, QStringLiteral("Buttons"));
  writeFile(user + QStringLiteral("/Broken.qtz"), "not a property list");
  writeFile(user + QStringLiteral("/notes.txt"), "stray");
  writeFile(user + QStringLiteral("/.hidden.qtz"), validComposition());
  QFile::copy(QStringLiteral(ZAPH_TEST_BUNDLE_DIR "/TestBundle.so"), user + "/Loose.so");
  QDir().mkpath(user + QStringLiteral("/Empty.bundle"));

  LogCapture log;
  manager->reloadPluginClasses();
  EXPECT_EQ(manager->registry().keys(),
            (QStringList{"AuxDisplay", "Buttons", "MediaBin", "Sliders"}));
  // The built-in's class stays: a Buttons plug-in is still a fake one.
  EXPECT_NE(dynamic_cast<FakePlugin*>(make(QStringLiteral("Buttons"))), nullptr);
  // The stray file, the loose object and the empty bundle: two lines each.
  for (const char* key : {"notes.txt", "Loose.so", "Empty"})
    EXPECT_TRUE(log.contains(
        QStringLiteral("couldn't find the class %1 in it's bundle").arg(QString::fromLatin1(key))))
        << key;
  EXPECT_EQ(log.lines().filter(QStringLiteral("couldn't find the bundle at")).size(), 3);
  EXPECT_FALSE(log.contains(QStringLiteral("hidden")));
}

TEST_F(PluginRegistryTest, TheFormBesideACompositionIsNoBundle) {
  const QString user = userPluginsFolder();
  writeFile(user + QStringLiteral("/Knob.qtz"), validComposition());
  writeFile(user + QStringLiteral("/Knob.ui"), "<ui/>");
  writeFile(user + QStringLiteral("/Lonely.ui"), "<ui/>");
  LogCapture log;
  manager->reloadPluginClasses();
  EXPECT_TRUE(manager->registry().contains(QStringLiteral("Knob.qtz")));
  EXPECT_EQ(log.lines().filter(QStringLiteral("couldn't find the bundle at")),
            QStringList{QStringLiteral("\t\terror: couldn't find the bundle at ") + user +
                        QStringLiteral("/Lonely.ui (not a bundle folder)")});
}

TEST_F(PluginRegistryTest, TheTestBundleRegistersAndMakesItsPluginWithItsWindow) {
  copyTestBundle(userPluginsFolder(), QStringLiteral("TestBundle"));
  manager->reloadPluginClasses();
  ASSERT_TRUE(manager->registry().contains(QStringLiteral("TestBundle")));
  QKPlugin* plugin = manager->instantiatePluginType(QStringLiteral("TestBundle"));
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->windowTitle(), QStringLiteral("TestBundle 1"));
  ASSERT_NE(plugin->window(), nullptr);
  EXPECT_EQ(plugin->window()->title(), QStringLiteral("TestBundle 1"));
  manager->deleteAllPlugins();
}

TEST_F(PluginRegistryTest, ABundleOfAnotherABIVersionIsRefusedWithItsReason) {
  // A bundle's object that is no shared object at all.
  const QString bundle = userPluginsFolder() + QStringLiteral("/Junk.bundle");
  QDir().mkpath(bundle);
  writeFile(bundle + QStringLiteral("/Junk.so"), "garbage");
  QString why;
  EXPECT_FALSE(PluginBundle::load(bundle, QStringLiteral("Junk"), &why));
  EXPECT_FALSE(why.isEmpty());
  EXPECT_FALSE(PluginBundle::load(userPluginsFolder(), QStringLiteral("plugins"), &why));
  EXPECT_EQ(PluginBundle::keyForEntry(QStringLiteral("A.bundle")), QStringLiteral("A"));
}

TEST_F(PluginRegistryTest, AMissingOrJunkFolderLeavesTheBuiltInsWhole) {
  UserDefaults::standard().setValue(QStringLiteral("QCUserDirectoryPath"),
                                    QStringLiteral("/no/such/folder"));
  // A "plugins" that is a file, not a folder.
  QDir(Paths::userDataDir()).removeRecursively();
  QDir().mkpath(Paths::userDataDir());
  writeFile(Paths::userDataDir() + QStringLiteral("/plugins"), "junk");
  manager->reloadPluginClasses();
  EXPECT_EQ(manager->registry().keys(),
            (QStringList{"AuxDisplay", "Buttons", "MediaBin", "Sliders"}));
}

TEST_F(PluginRegistryTest, ACompositionTypeIsNamedByItsFileAndMakesACompositionPlugin) {
  writeFile(userPluginsFolder() + QStringLiteral("/Blur.qtz"), validComposition());
  manager->reloadPluginClasses();
  QKPlugin* made = manager->instantiatePluginType(QStringLiteral("Blur.qtz"));
  ASSERT_TRUE(qobject_cast<QKGenericQCPlugin*>(made));
  EXPECT_EQ(made->name(), QStringLiteral("Blur.qtz"));
  EXPECT_EQ(made->windowTitle(), QStringLiteral("Blur.qtz 1"));
  manager->deleteAllPlugins();

  manager->setCompositionClass(fakeClass());
  QKPlugin* plugin = manager->instantiatePluginType(QStringLiteral("Blur.qtz"));
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->windowTitle(), QStringLiteral("Blur.qtz 1"));
  manager->deleteAllPlugins();
}

}  // namespace
