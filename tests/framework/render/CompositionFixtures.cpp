#include "tests/framework/render/CompositionFixtures.h"

#include "framework/render/QCUtils.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace CompositionFixtures {

QVariantMap port(const QString& key, const QString& node, const QString& inner) {
  return {{QStringLiteral("key"), key},
          {QStringLiteral("node"), node},
          {QStringLiteral("port"), inner}};
}

QVariantMap node(const QString& key, const QString& cls, const QVariantMap& state) {
  QVariantMap n{{QStringLiteral("key"), key}, {QStringLiteral("class"), cls}};
  if (!state.isEmpty()) n.insert(QStringLiteral("state"), state);
  return n;
}

QVariantMap splitter(const QString& key, const QVariantMap& state) {
  return node(key, QStringLiteral("QCSplitter"), state);
}

QVariantMap stateWithInputs(const QStringList& keys) {
  QVariantList ports, nodes;
  for (const QString& key : keys) {
    ports << port(key, key + QStringLiteral("_split"), QStringLiteral("input"));
    nodes << splitter(key + QStringLiteral("_split"),
                      {{QStringLiteral("portClass"), QStringLiteral("QCNumberPort")}});
  }
  return {{QStringLiteral("publishedInputPorts"), ports}, {QStringLiteral("nodes"), nodes}};
}

QVariantMap fileWithState(const QVariantMap& state, const QVariantMap& extra) {
  QVariantMap file = extra;
  file.insert(QStringLiteral("rootPatch"), QVariantMap{{QStringLiteral("state"), state}});
  return file;
}

QVariantMap compModeFile() { return fileWithState(stateWithInputs(QCUtils::compModeInputKeys())); }

QVariantMap playableCompModeFile(const QString& source) {
  using namespace composition;
  QVariantList nodes{
      node(QStringLiteral("shader"), kGLSLShaderClass, {{kFragmentSourceKey, source}})};
  QVariantList connections, ports;
  const struct {
    const char* key;
    const char* portClass;
  } inputs[] = {{"foreground", "QCGLImagePort"},
                {"background", "QCGLImagePort"},
                {"opacity", "QCNumberPort"}};
  for (const auto& input : inputs) {
    const QString key = QString::fromLatin1(input.key);
    nodes << splitter(key, {{kPortClassKey, QString::fromLatin1(input.portClass)}});
    connections << QVariantMap{{kSourceNodeKey, key},
                               {kSourcePortKey, kSplitterOutputPort},
                               {kDestinationNodeKey, QStringLiteral("shader")},
                               {kDestinationPortKey, key}};
    ports << port(key, key, kSplitterInputPort);
  }
  return fileWithState({{kNodesKey, nodes},
                        {kConnectionsKey, connections},
                        {kPublishedInputPortsKey, ports},
                        {kRenderedNodeKey, QStringLiteral("shader")}});
}

QString write(const QString& dir, const QString& name, const QVariant& value) {
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + name;
  EXPECT_EQ(PropertyList::write(value, path), QString());
  return path;
}

QString writeBytes(const QString& dir, const QString& name, const QByteArray& bytes) {
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  return path;
}

}  // namespace CompositionFixtures
