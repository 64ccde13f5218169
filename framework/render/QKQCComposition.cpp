#include "framework/render/QKQCComposition.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

namespace {

const QString kRootPatch = QStringLiteral("rootPatch");
const QString kState = QStringLiteral("state");
const QString kNodes = QStringLiteral("nodes");
const QString kKey = QStringLiteral("key");
const QString kClass = QStringLiteral("class");
const QString kNode = QStringLiteral("node");
const QString kPort = QStringLiteral("port");
const QString kInputPorts = QStringLiteral("publishedInputPorts");
const QString kOutputPorts = QStringLiteral("publishedOutputPorts");
const QString kInputParameters = QStringLiteral("inputParameters");
const QString kDefaultVal = QStringLiteral("defaultVal");
const QString kSplitter = QStringLiteral("QCSplitter");
const QString kVideoInput = QStringLiteral("QCVideoInput");

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }
bool isList(const QVariant& value) { return value.typeId() == QMetaType::QVariantList; }
bool isString(const QVariant& value) { return value.typeId() == QMetaType::QString; }

// The value under `key` when it is a dictionary, else none.
std::optional<QVariantMap> mapAt(const QVariantMap& map, const QString& key) {
  const QVariant value = map.value(key);
  if (!isMap(value)) return std::nullopt;
  return value.toMap();
}

// An array of a state ("nodes", the published ports); empty when the value
// is missing or not an array (logged when `logWrongType`).
QVariantList listAt(const QVariantMap& state, const QString& key, bool logWrongType = false) {
  const QVariant value = state.value(key);
  if (!value.isValid()) return {};
  if (!isList(value)) {
    if (logWrongType)
      Log::line(QStringLiteral("\t\terr: composition's \"%1\" is not an array").arg(key));
    return {};
  }
  return value.toList();
}

// A port's or node's string value under `key`; empty when absent or not a
// string.
QString stringAt(const QVariantMap& map, const QString& key) {
  const QVariant value = map.value(key);
  return isString(value) ? value.toString() : QString();
}

// The published key of a port dictionary; empty (logged when the key is
// there but not a string) when it has none.
QString portKey(const QVariant& port) {
  if (!isMap(port)) return {};
  const QVariant key = port.toMap().value(kKey);
  if (!key.isValid()) return {};
  if (!isString(key)) {
    Log::line(QStringLiteral("\t\terr: composition port's \"key\" is not a string"));
    return {};
  }
  return key.toString();
}

std::optional<QVariantMap> findSplitter(const QString& name, const QVariantMap& state,
                                        const QString& portsKey, int depth) {
  if (depth > QKQCComposition::kMaxStateDepth) return std::nullopt;
  QVariantMap port;
  bool found = false;
  for (const QVariant& candidate : listAt(state, portsKey)) {
    if (isMap(candidate) && stringAt(candidate.toMap(), kKey) == name) {
      port = candidate.toMap();
      found = true;
      break;
    }
  }
  if (!found) return std::nullopt;
  const QString nodeKey = stringAt(port, kNode);
  const QString innerPort = stringAt(port, kPort);
  if (nodeKey.isEmpty() || innerPort.isEmpty()) return std::nullopt;
  for (const QVariant& candidate : listAt(state, kNodes)) {
    if (!isMap(candidate)) continue;
    const QVariantMap node = candidate.toMap();
    if (stringAt(node, kKey) != nodeKey) continue;
    if (stringAt(node, kClass) == kSplitter) return node;
    const std::optional<QVariantMap> inner = mapAt(node, kState);
    if (!inner) return std::nullopt;
    return findSplitter(innerPort, *inner, portsKey, depth + 1);
  }
  return std::nullopt;
}

bool findVideoInput(const QVariantMap& state, int depth) {
  if (depth > QKQCComposition::kMaxStateDepth) return false;
  for (const QVariant& candidate : listAt(state, kNodes)) {
    if (!isMap(candidate)) continue;
    const QVariantMap node = candidate.toMap();
    if (stringAt(node, kClass) == kVideoInput) return true;
    const std::optional<QVariantMap> inner = mapAt(node, kState);
    if (inner && !inner->isEmpty() && findVideoInput(*inner, depth + 1)) return true;
  }
  return false;
}

// Whether the states nest deeper than `limit` below `state` (depth 1). It
// visits every state once, so it also reports a "nodes" of the wrong type.
bool nestsDeeperThan(const QVariantMap& state, int limit, int depth = 1) {
  if (depth > limit) return true;
  for (const QVariant& candidate : listAt(state, kNodes, true)) {
    if (!isMap(candidate)) continue;
    const std::optional<QVariantMap> inner = mapAt(candidate.toMap(), kState);
    if (inner && nestsDeeperThan(*inner, limit, depth + 1)) return true;
  }
  return false;
}

}  // namespace

std::shared_ptr<QKQCComposition> QKQCComposition::compositionWithFile(const QString& path) {
  std::shared_ptr<QKQCComposition> composition(new QKQCComposition());
  if (!composition->initWithFile(path)) return nullptr;
  return composition;
}

std::optional<QVariantMap> QKQCComposition::readFile(const QString& path, QString* error) {
  QString why;
  std::optional<QVariantMap> file;
  if (path.isEmpty()) {
    why = QStringLiteral("no path");
  } else {
    const PropertyList::Result read = PropertyList::read(path);
    if (!read.ok())
      why = read.error;
    else if (!isMap(read.value))
      why = QStringLiteral("%1: not a dictionary").arg(path);
    else
      file = read.value.toMap();
  }
  if (error) *error = why;
  return file;
}

std::optional<QVariantMap> QKQCComposition::rootState(const QVariantMap& file) {
  const std::optional<QVariantMap> root = mapAt(file, kRootPatch);
  if (!root) return std::nullopt;
  return mapAt(*root, kState);
}

QStringList QKQCComposition::publishedKeys(const QVariantMap& state, const QString& portsKey) {
  QStringList keys;
  for (const QVariant& port : listAt(state, portsKey, true)) {
    const QString key = portKey(port);
    if (!key.isEmpty()) keys << key;
  }
  return keys;
}

bool QKQCComposition::initWithFile(const QString& path) {
  compositionPath_ = path;
  QString error;
  const std::optional<QVariantMap> file = readFile(path, &error);
  if (!file) {
    Log::line(QStringLiteral("\t\terr: composition unreadable: %1").arg(error));
    return false;
  }
  category_ = stringAt(*file, QStringLiteral("category"));
  description_ = stringAt(*file, QStringLiteral("description"));
  const std::optional<QVariantMap> state = rootState(*file);
  if (!state) {
    Log::line(QStringLiteral("\t\terr: composition %1 has no root patch state").arg(path));
    return false;
  }
  if (nestsDeeperThan(*state, kMaxStateDepth)) {
    Log::line(QStringLiteral("\t\terr: composition %1 nests states deeper than %2")
                  .arg(path)
                  .arg(kMaxStateDepth));
    return false;
  }
  readPorts(*state, kInputPorts, publishedInputsDict_, &inputKeys_);
  readPorts(*state, kOutputPorts, publishedOutputsDict_, nullptr);
  readDefaults(*file);
  hasLiveInput_ = findVideoInputInStateDict(*state);
  return true;
}

void QKQCComposition::readPorts(const QVariantMap& rootState, const QString& portsKey,
                                QVariantMap& records, QStringList* order) {
  for (const QString& key : publishedKeys(rootState, portsKey)) {
    QVariantMap record;
    if (const std::optional<QVariantMap> splitter = findSplitter(key, rootState, portsKey, 1)) {
      record = mapAt(*splitter, kState).value_or(QVariantMap());
      cleanUpStateDict(record);
    }
    if (order && !records.contains(key)) order->append(key);
    records.insert(key, record);
  }
}

void QKQCComposition::readDefaults(const QVariantMap& file) {
  const std::optional<QVariantMap> defaults = mapAt(file, kInputParameters);
  if (!defaults) return;
  for (auto it = defaults->cbegin(); it != defaults->cend(); ++it) {
    auto record = publishedInputsDict_.find(it.key());
    if (record == publishedInputsDict_.end()) continue;
    QVariantMap updated = record->toMap();
    updated.insert(kDefaultVal, it.value());
    *record = updated;
  }
}

std::optional<QVariantMap> QKQCComposition::findSplitterForPublishedInputNamed(
    const QString& name, const QVariantMap& state) {
  return findSplitter(name, state, kInputPorts, 1);
}

std::optional<QVariantMap> QKQCComposition::findSplitterForPublishedOutputNamed(
    const QString& name, const QVariantMap& state) {
  return findSplitter(name, state, kOutputPorts, 1);
}

bool QKQCComposition::findVideoInputInStateDict(const QVariantMap& state) {
  return findVideoInput(state, 1);
}

void QKQCComposition::cleanUpStateDict(QVariantMap& state) {
  for (const char* key :
       {"userInfo", "version", "nodes", "publishedInputPorts", "publishedOutputPorts",
        "ivarInputPortStates", "systemInputPortStates", "connections"})
    state.remove(QString::fromLatin1(key));
}
