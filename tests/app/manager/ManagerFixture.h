#pragma once

#include "app/plugins/manager/GatherablePlugin.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKPlugin.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <memory>

// A plug-in type as the real ones behave towards the manager: it publishes
// [name, "1"] under a root of its own, moves it on a rename and removes it
// when deleted; its snapshot keeps a number and a component array.
class FakePlugin : public QKPlugin, public GatherablePlugin {
 public:
  FakePlugin(const QString& type, const QString& name, std::int32_t id) : QKPlugin(type, name, id) {
    dataSourceController()->setDataSource(
        DataSourceHolder::createWithName(name, DSType::UntickedHolder), {name});
    dataSourceController()->setDataSource(DSFloatInfrequent::createWithName(QStringLiteral("1")),
                                          {name, QStringLiteral("1")});
  }
  void setPluginName(const QString& name) override {
    dataSourceController()->changeNameFrom({windowTitle()}, {name});
    QKPlugin::setPluginName(name);
  }
  QVariantMap createSnapshot() const override {
    return {{kSuperSnap, QKPlugin::createSnapshot()},
            {QStringLiteral("state"), state},
            {QStringLiteral("componentArray"),
             QVariantList{QVariantMap{{QStringLiteral("componentName"), QStringLiteral("a")}}}}};
  }
  void loadSnapshot(const QVariantMap& snapshot) override {
    QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
    state = snapshot.value(QStringLiteral("state")).toInt();
    ++loads;
  }
  void prepareToBeDeleted() override {
    dataSourceController()->setDataSource(nullptr, {windowTitle()});
    QKPlugin::prepareToBeDeleted();
  }
  void gatherToWindowLocation(const QRectF& frame) override { gatheredTo = frame; }

  int state = 0;
  int loads = 0;
  QRectF gatheredTo;
};

class FakeAppController : public AppControllerInterface {
 public:
  explicit FakeAppController(DataSourceController* controller) : controller_(controller) {}
  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return controller_; }

 private:
  DataSourceController* controller_;
};

inline PluginClass fakeClass() {
  PluginClass fake;
  fake.create = [](const QString& type, const QString& name, std::int32_t id) {
    return std::make_unique<FakePlugin>(type, name, id);
  };
  fake.layout = [](QObject*) {
    auto window = std::make_unique<QKWindow>(QRectF(300, 300, 200, 100));
    window->setContentView(new QKWindowContentView);
    return window;
  };
  return fake;
}

// A manager over fake "AuxDisplay", "Buttons", "MediaBin" and "Sliders"
// types, with the layouts of the program and a data-source tree that ticks
// only when asked.
class ManagerTest : public testing::Test {
 protected:
  ManagerTest() {
    UserDefaults::standard().resetForTesting();
    // Tests run one process each, but may share one when run by hand.
    const QString plugins = Paths::userDataDir() + QStringLiteral("/plugins");
    QDir(plugins).removeRecursively();
    QFile::remove(plugins);
    LayoutRegistry::setShared(&layouts);
    manager = makeManager();
  }
  ~ManagerTest() override {
    manager.reset();
    LayoutRegistry::setShared(nullptr);
  }

  std::unique_ptr<QKPluginManager> makeManager() {
    std::vector<PluginRegistry::Entry> types;
    for (const char* type : {"AuxDisplay", "Buttons", "MediaBin", "Sliders"})
      types.emplace_back(QString::fromLatin1(type), fakeClass());
    return std::make_unique<QKPluginManager>(
        &app, [this] { return ++lastID; }, types);
  }

  FakePlugin* make(const QString& type) {
    return static_cast<FakePlugin*>(manager->instantiatePluginType(type));
  }
  FakePlugin* named(const QString& name) const {
    return static_cast<FakePlugin*>(manager->findPluginNamed(name));
  }
  QStringList names() const {
    QStringList list;
    for (const QKPlugin* plugin : manager->pluginArray()) list << plugin->windowTitle();
    return list;
  }
  // The user's "plugins" folder, made when missing.
  static QString userPluginsFolder() {
    const QString folder = Paths::userDataDir() + QStringLiteral("/plugins");
    QDir().mkpath(folder);
    return folder;
  }
  static void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  // The smallest composition the registry accepts: a property-list
  // dictionary.
  static QByteArray validComposition() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>category</key><string>Test</string></dict></plist>\n";
  }

  LayoutRegistry layouts;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  FakeAppController app{&dsc};
  long lastID = 100;
  std::unique_ptr<QKPluginManager> manager;
};
