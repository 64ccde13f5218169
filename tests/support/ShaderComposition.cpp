#include "tests/support/ShaderComposition.h"

#include "platform/foundation/PropertyList.h"

#include <QVariantMap>

QString writeShaderComposition(const QString& folder, const QString& name,
                               const QString& fragmentSource, const QString& input,
                               const QString& portClass, const QVariant& value) {
  const QVariantMap splitter{
      {"key", "Input"}, {"class", "QCSplitter"}, {"state", QVariantMap{{"portClass", portClass}}}};
  const QVariantMap draw{{"key", "Draw"},
                         {"class", "QCGLSLShader"},
                         {"state", QVariantMap{{"fragmentSource", fragmentSource}}}};
  const QVariantMap connection{{"sourceNode", "Input"},
                               {"sourcePort", "output"},
                               {"destinationNode", "Draw"},
                               {"destinationPort", input}};
  const QVariantMap published{{"key", input}, {"node", "Input"}, {"port", "input"}};
  const QVariantMap root{{"class", "QCPatch"},
                         {"state", QVariantMap{{"nodes", QVariantList{splitter, draw}},
                                               {"connections", QVariantList{connection}},
                                               {"publishedInputPorts", QVariantList{published}},
                                               {"renderedNode", "Draw"}}}};
  const QString path = folder + "/" + name;
  PropertyList::write(
      QVariantMap{{"inputParameters", QVariantMap{{input, value}}}, {"rootPatch", root}}, path);
  return path;
}
