#include "platform/composition/CompositionReader.h"

#include "platform/composition/CompositionFormat.h"
#include "platform/composition/ShaderSource.h"

#include <QDir>
#include <QImageReader>

#include <algorithm>

namespace composition {

namespace {

// Each of these answers false only for a value present with the wrong type.
bool optionalString(const QVariantMap& map, const char* key, QString* out) {
  const auto it = map.constFind(QLatin1String(key));
  if (it == map.constEnd()) return true;
  if (it->typeId() != QMetaType::QString) return false;
  *out = it->toString();
  return true;
}

bool optionalMap(const QVariantMap& map, const char* key, QVariantMap* out) {
  const auto it = map.constFind(QLatin1String(key));
  if (it == map.constEnd()) return true;
  if (it->typeId() != QMetaType::QVariantMap) return false;
  *out = it->toMap();
  return true;
}

bool optionalList(const QVariantMap& map, const char* key, QVariantList* out) {
  const auto it = map.constFind(QLatin1String(key));
  if (it == map.constEnd()) return true;
  if (it->typeId() != QMetaType::QVariantList) return false;
  *out = it->toList();
  return true;
}

bool isNumber(const QVariant& value) {
  return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong ||
         value.typeId() == QMetaType::Int;
}

// Two types that a connection may join: the same, or two of the number kinds.
bool compatible(PortType from, PortType to) {
  if (from == to) return true;
  const auto numeric = [](PortType t) {
    return t == PortType::Number || t == PortType::Boolean || t == PortType::Index;
  };
  return numeric(from) && numeric(to);
}

using Port = CompositionGraph::Port;
using Kind = CompositionGraph::NodeKind;

struct ValueClass {
  const char* name;
  PortType type;
  const char* output;
};
constexpr ValueClass kValueClasses[] = {
    {kNumberClass, PortType::Number, kValueOutputPort},
    {kBooleanClass, PortType::Boolean, kValueOutputPort},
    {kColorClass, PortType::Color, kValueOutputPort},
    {kPointClass, PortType::Structure, kValueOutputPort},
    {kImageClass, PortType::Image, kImageOutputPort},
};

}  // namespace

bool CompositionReader::fail(const QString& why) {
  if (error_.isEmpty()) error_ = why;
  return false;
}

std::shared_ptr<CompositionDocument> CompositionReader::read(const QVariant& root, QString* error) {
  std::shared_ptr<CompositionDocument> document;
  QVariantMap top, rootPatch, state;
  if (root.typeId() != QMetaType::QVariantMap) {
    fail(QStringLiteral("the top level is not a dictionary"));
  } else if (top = root.toMap(); !optionalMap(top, kRootPatchKey, &rootPatch) ||
                                 !optionalMap(rootPatch, kStateKey, &state)) {
    fail(QStringLiteral("rootPatch or its state is not a dictionary"));
  } else if (!top.contains(kRootPatchKey) || !rootPatch.contains(kStateKey)) {
    fail(QStringLiteral("no rootPatch with a state"));
  } else {
    QVariantMap parameters;
    StateResult result;
    Locals locals;
    if (!optionalMap(top, kInputParametersKey, &parameters)) {
      fail(QStringLiteral("inputParameters is not a dictionary"));
    } else if (readState(state, QString(), 1, &result, &locals) && readRendered(state, locals) &&
               order()) {
      document.reset(new CompositionDocument());
      publish(*document, result, top);
    }
  }
  if (!document && error) *error = error_;
  return document;
}

bool CompositionReader::readState(const QVariantMap& state, const QString& path, int depth,
                                  StateResult* result, Locals* locals) {
  if (depth > kMaxNestingDepth)
    return fail(QStringLiteral("states are nested deeper than %1").arg(kMaxNestingDepth));
  return readNodes(state, path, depth, locals) &&
         readPublished(state, kPublishedInputPortsKey, true, *locals, &result->inputs) &&
         readPublished(state, kPublishedOutputPortsKey, false, *locals, &result->outputs) &&
         readConnections(state, *locals);
}

bool CompositionReader::readNodes(const QVariantMap& state, const QString& path, int depth,
                                  Locals* locals) {
  QVariantList nodes;
  if (!optionalList(state, kNodesKey, &nodes))
    return fail(QStringLiteral("%1nodes is not an array").arg(path));
  for (const QVariant& entry : nodes) {
    if (entry.typeId() != QMetaType::QVariantMap)
      return fail(QStringLiteral("a node of %1 is not a dictionary").arg(path));
    Local local;
    if (!readNode(entry.toMap(), path, depth, &local)) return false;
    const bool taken = std::any_of(locals->begin(), locals->end(),
                                   [&](const Local& other) { return other.key == local.key; });
    if (taken) return fail(QStringLiteral("two nodes are named %1%2").arg(path, local.key));
    locals->push_back(std::move(local));
  }
  return true;
}

bool CompositionReader::readNode(const QVariantMap& node, const QString& path, int depth,
                                 Local* local) {
  QString className;
  QVariantMap state;
  if (!optionalString(node, kKeyKey, &local->key) || local->key.isEmpty())
    return fail(QStringLiteral("a node of %1 has no key string").arg(path));
  const QString nodePath = path + local->key;
  if (!optionalString(node, kClassKey, &className) || !optionalMap(node, kStateKey, &state))
    return fail(QStringLiteral("node %1 has a class or state of the wrong type").arg(nodePath));
  if (className == QLatin1String(kPatchClass)) {
    local->nested = std::make_shared<StateResult>();
    Locals inner;
    return readState(state, nodePath + '/', depth + 1, local->nested.get(), &inner);
  }
  local->flat = int(graph_.nodes.size());
  return makeFlatNode(className, state, nodePath);
}

bool CompositionReader::makeFlatNode(const QString& className, const QVariantMap& state,
                                     const QString& path) {
  CompositionGraph::Node node;
  node.path = path;
  node.className = className;
  const QVariant value = state.value(kValueKey);
  if (className == QLatin1String(kSplitterClass)) {
    QString portClass;
    std::optional<PortType> type;
    if (!optionalString(state, kPortClassKey, &portClass) || !(type = portTypeFromClass(portClass)))
      return fail(QStringLiteral("splitter %1 has no known portClass").arg(path));
    node.kind = Kind::Splitter;
    node.inputs = {{kSplitterInputPort, *type, value}};
    node.outputs = {{kSplitterOutputPort, *type, {}}};
  } else if (className == QLatin1String(kGLSLShaderClass)) {
    QString source, why;
    ShaderSource parsed;
    if (!optionalString(state, kFragmentSourceKey, &source) || source.isEmpty())
      return fail(QStringLiteral("shader %1 has no fragmentSource string").arg(path));
    if (!parsed.parse(source.toUtf8(), &why))
      return fail(QStringLiteral("shader %1: %2").arg(path, why));
    const QVariant width = state.value(kWidthKey), height = state.value(kHeightKey);
    if (state.contains(kWidthKey) || state.contains(kHeightKey)) {
      if (!isNumber(width) || !isNumber(height) || width.toInt() < 1 || height.toInt() < 1 ||
          width.toInt() > 16384 || height.toInt() > 16384)
        return fail(QStringLiteral("shader %1 has a bad width or height").arg(path));
      node.size = QSize(width.toInt(), height.toInt());
    }
    node.kind = Kind::Shader;
    node.fragmentSource = source.toUtf8();
    for (const auto& uniform : parsed.uniforms())
      node.inputs.push_back({uniform.name, uniform.type, {}});
    node.outputs = {{kImageOutputPort, PortType::Image, {}}};
  } else if (className == QLatin1String(kImageFileClass)) {
    QString file;
    if (!optionalString(state, kFileKey, &file) || file.isEmpty())
      return fail(QStringLiteral("image node %1 has no file string").arg(path));
    const QString full = QDir(folder_).absoluteFilePath(file);
    QImageReader reader(full);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
      return fail(
          QStringLiteral("image node %1 cannot read %2: %3").arg(path, full, reader.errorString()));
    node.kind = Kind::ImageFile;
    node.image = image.convertToFormat(QImage::Format_RGBA8888);
    node.outputs = {{kImageOutputPort, PortType::Image, {}}};
  } else if (className == QLatin1String(kTextClass)) {
    node.kind = Kind::Text;
    node.inputs = {{kStringKey, PortType::String, state.value(kStringKey)},
                   {kFontKey, PortType::String, state.value(kFontKey)},
                   {kSizeKey, PortType::Number, state.value(kSizeKey, 24.0)},
                   {kColorKey, PortType::Color, state.value(kColorKey)}};
    node.outputs = {{kImageOutputPort, PortType::Image, {}}};
  } else {
    const auto* found =
        std::find_if(std::begin(kValueClasses), std::end(kValueClasses),
                     [&](const ValueClass& v) { return className == QLatin1String(v.name); });
    if (found == std::end(kValueClasses))
      return fail(QStringLiteral("node %1 has the unknown class \"%2\"").arg(path, className));
    node.kind = Kind::Value;
    node.inputs = {{kValueInputPort, found->type, value}};
    node.outputs = {{found->output, found->type, {}}};
  }
  node.sources.resize(node.inputs.size());
  graph_.nodes.push_back(std::move(node));
  return true;
}

bool CompositionReader::resolve(const Locals& locals, const QString& node, const QString& port,
                                bool input, Endpoint* endpoint) {
  const auto local =
      std::find_if(locals.begin(), locals.end(), [&](const Local& l) { return l.key == node; });
  if (local == locals.end()) return fail(QStringLiteral("there is no node %1").arg(node));
  if (local->nested) {
    const auto& ports = input ? local->nested->inputs : local->nested->outputs;
    const auto found =
        std::find_if(ports.begin(), ports.end(), [&](const Published& p) { return p.key == port; });
    if (found == ports.end()) return fail(QStringLiteral("node %1 has no port %2").arg(node, port));
    *endpoint = found->endpoint;
    return true;
  }
  const int index =
      input ? graph_.inputIndex(local->flat, port) : graph_.outputIndex(local->flat, port);
  if (index < 0) return fail(QStringLiteral("node %1 has no port %2").arg(node, port));
  *endpoint = {local->flat, index};
  return true;
}

bool CompositionReader::readPublished(const QVariantMap& state, const char* key, bool inputs,
                                      const Locals& locals, std::vector<Published>* published) {
  QVariantList ports;
  if (!optionalList(state, key, &ports))
    return fail(QStringLiteral("%1 is not an array").arg(QLatin1String(key)));
  for (const QVariant& entry : ports) {
    if (entry.typeId() != QMetaType::QVariantMap)
      return fail(QStringLiteral("a port of %1 is not a dictionary").arg(QLatin1String(key)));
    const QVariantMap port = entry.toMap();
    Published record;
    QString node, nodePort;
    if (!optionalString(port, kKeyKey, &record.key) || !optionalString(port, kNodeKey, &node) ||
        !optionalString(port, kPortKey, &nodePort))
      return fail(QStringLiteral("a port of %1 has a key, node or port that is not a string")
                      .arg(QLatin1String(key)));
    if (record.key.isEmpty()) continue;  // a port without a name is no port
    if (!resolve(locals, node, nodePort, inputs, &record.endpoint)) return false;
    published->push_back(record);
  }
  return true;
}

bool CompositionReader::readConnections(const QVariantMap& state, const Locals& locals) {
  QVariantList connections;
  if (!optionalList(state, kConnectionsKey, &connections))
    return fail(QStringLiteral("connections is not an array"));
  for (const QVariant& entry : connections) {
    const QVariantMap c = entry.toMap();
    QString names[4];
    const char* keys[4] = {kSourceNodeKey, kSourcePortKey, kDestinationNodeKey,
                           kDestinationPortKey};
    for (int i = 0; i < 4; ++i)
      if (entry.typeId() != QMetaType::QVariantMap || !optionalString(c, keys[i], &names[i]))
        return fail(QStringLiteral("a connection is not a dictionary of strings"));
    Endpoint from, to;
    if (!resolve(locals, names[0], names[1], false, &from) ||
        !resolve(locals, names[2], names[3], true, &to))
      return false;
    auto& source = graph_.nodes[to.node].sources[to.port];
    if (source.node >= 0)
      return fail(QStringLiteral("two connections lead into %1 of %2").arg(names[3], names[2]));
    if (!compatible(graph_.nodes[from.node].outputs[from.port].type,
                    graph_.nodes[to.node].inputs[to.port].type))
      return fail(QStringLiteral("%1 of %2 cannot feed %3 of %4")
                      .arg(names[1], names[0], names[3], names[2]));
    source = {from.node, from.port};
  }
  return true;
}

bool CompositionReader::readRendered(const QVariantMap& state, const Locals& locals) {
  QString node, port = QString::fromLatin1(kImageOutputPort);
  if (!optionalString(state, kRenderedNodeKey, &node) ||
      !optionalString(state, kRenderedPortKey, &port))
    return fail(QStringLiteral("renderedNode or renderedPort is not a string"));
  if (node.isEmpty()) return true;
  if (!resolve(locals, node, port, false, &graph_.rendered)) return false;
  if (graph_.nodes[graph_.rendered.node].outputs[graph_.rendered.port].type != PortType::Image)
    return fail(QStringLiteral("the rendered port %1 of %2 is not an image").arg(port, node));
  return true;
}

bool CompositionReader::order() {
  const int count = int(graph_.nodes.size());
  std::vector<int> waiting(count, 0), sorted, renumber(count, -1);
  std::vector<std::vector<int>> readers(count);
  for (int n = 0; n < count; ++n)
    for (const auto& source : graph_.nodes[n].sources)
      if (source.node >= 0) {
        ++waiting[n];
        readers[source.node].push_back(n);
      }
  for (int n = 0; n < count; ++n)
    if (waiting[n] == 0) sorted.push_back(n);
  for (size_t i = 0; i < sorted.size(); ++i)
    for (int reader : readers[sorted[i]])
      if (--waiting[reader] == 0) sorted.push_back(reader);
  if (int(sorted.size()) != count) return fail(QStringLiteral("the connections make a cycle"));
  std::vector<CompositionGraph::Node> nodes;
  for (int n : sorted) {
    renumber[n] = int(nodes.size());
    nodes.push_back(std::move(graph_.nodes[n]));
  }
  for (auto& node : nodes)
    for (auto& source : node.sources)
      if (source.node >= 0) source.node = renumber[source.node];
  if (graph_.rendered.node >= 0) graph_.rendered.node = renumber[graph_.rendered.node];
  graph_.nodes = std::move(nodes);
  renumbering_ = std::move(renumber);
  return true;
}

void CompositionReader::publish(CompositionDocument& document, const StateResult& root,
                                const QVariantMap& top) {
  const QVariantMap parameters = top.value(kInputParametersKey).toMap();
  const auto endpoint = [&](Endpoint e) { return Endpoint{renumbering_[e.node], e.port}; };
  for (const Published& p : root.inputs) {
    const Endpoint e = endpoint(p.endpoint);
    const Port& port = graph_.nodes[e.node].inputs[e.port];
    document.inputs_.push_back({p.key, port.type, parameters.value(p.key, port.defaultValue)});
    graph_.inputs.push_back(e);
  }
  for (const Published& p : root.outputs) {
    const Endpoint e = endpoint(p.endpoint);
    document.outputs_.push_back({p.key, graph_.nodes[e.node].outputs[e.port].type, {}});
    graph_.outputs.push_back(e);
  }
  optionalString(top, kCategoryKey, &document.category_);
  optionalString(top, kDescriptionKey, &document.description_);
  *document.graph_ = std::move(graph_);
}

}  // namespace composition
