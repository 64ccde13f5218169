#include "tests/app/qcplugin/QCPluginFixture.h"

#include "framework/datasource/DataSource.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QKQCGLAttrPubBuffContext.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>

namespace {

QVariantMap splitter(const QString& key, const QString& portClass, const QVariant& value = {}) {
  QVariantMap state{{"portClass", portClass}};
  if (value.isValid()) state.insert("value", value);
  return {{"key", key}, {"class", "QCSplitter"}, {"state", state}};
}

QVariantMap port(const QString& key, const QString& dataPort) {
  return {{"key", key}, {"node", key}, {"port", dataPort}};
}

}  // namespace

QString userPluginsFolder() {
  const QString folder = Paths::userDataDir() + QStringLiteral("/plugins");
  QDir().mkpath(folder);
  return folder;
}

QString writePluginComposition(const QString& fileName, const CompositionSpec& spec) {
  QVariantList nodes, inputPorts, outputPorts, connections;
  for (const QString& key : spec.inputs) {
    nodes << splitter(key, "QCNumberPort");
    inputPorts << port(key, "input");
  }
  if (spec.outputs) {
    nodes << splitter("level", "QCNumberPort", 0.7) << splitter("frame", "QCGLImagePort")
          << QVariantMap{{"key", "green"},
                         {"class", "QCGLSLShader"},
                         {"state", QVariantMap{{"fragmentSource",
                                                "vec4 shaderMain() { return vec4(0.0, 1.0, "
                                                "0.0, 1.0); }"}}}};
    connections << QVariantMap{{"sourceNode", "green"},
                               {"sourcePort", "outputImage"},
                               {"destinationNode", "frame"},
                               {"destinationPort", "input"}};
    outputPorts << port("level", "output") << port("frame", "output");
  }
  if (spec.videoInput) nodes << QVariantMap{{"key", "camera"}, {"class", "QCVideoInput"}};
  const QVariantMap state{{"nodes", nodes},
                          {"connections", connections},
                          {"publishedInputPorts", inputPorts},
                          {"publishedOutputPorts", outputPorts}};
  const QString path = userPluginsFolder() + QLatin1Char('/') + fileName;
  EXPECT_EQ(PropertyList::write(QVariantMap{{"rootPatch", QVariantMap{{"state", state}}}}, path),
            QString());
  return path;
}

void QCPluginTest::SetUp() {
  GLTest::SetUp();
  if (IsSkipped()) return;
  UserDefaults::standard().resetForTesting();
  Alert::clearRecorded();
  LayoutRegistry::setShared(&layouts);
  sliderManager.setDataSourceController(&dsc);
  buttonManager.setDataSourceController(&dsc);
  dsc.setSliderManager(&sliderManager);
  dsc.setButtonManager(&buttonManager);
  compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(),
                                            Compositor::Environment{{"NVIDIA"}});
  compositor->awake();
  manager = std::make_unique<QKPluginManager>(
      this, [this] { return ++lastID; }, BuiltInPluginTypes::entries());
}

void QCPluginTest::TearDown() {
  if (manager) manager.reset();
  compositor.reset();
  dsc.setSliderManager(nullptr);
  dsc.setButtonManager(nullptr);
  LayoutRegistry::setShared(nullptr);
  Alert::clearScriptedAnswers();
  GLTest::TearDown();
}

QKGenericQCPlugin* QCPluginTest::make(const QString& fileName, const CompositionSpec& spec) {
  writePluginComposition(fileName, spec);
  manager->reloadPluginClasses();
  return qobject_cast<QKGenericQCPlugin*>(manager->instantiatePluginType(fileName));
}

void QCPluginTest::frame() {
  onRenderThread([&] {
    compositor->lockForRender();
    compositor->drawPreviews();
    compositor->unlockRender();
  });
  dsc.threadProc();
}

float QCPluginTest::valueAt(const KeyPath& path) const {
  auto source = dsc.dataSourceForKeyArray(path);
  return source ? source->value() : -1.0f;
}

QStringList QCPluginTest::inputKeys(const QKGenericQCPlugin& plugin) {
  QStringList keys;
  if (plugin.contextHolder() && plugin.contextHolder()->attributeLoader())
    for (const auto& element : plugin.contextHolder()->attributeLoader()->elementArray())
      keys << element->key();
  return keys;
}
