#pragma once

#include "platform/composition/PortType.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <vector>

namespace composition {

// The nodes and connections of a document with every nested state
// flattened into one list, as the renderer plays them. Nodes are in an
// order in which each comes after every node it reads from.
class CompositionGraph {
 public:
  enum class NodeKind { Splitter, Shader, ImageFile, Text, Value };

  struct Port {
    QString name;
    PortType type = PortType::Number;
    QVariant defaultValue;  // as the file holds it; may be empty
  };
  // Where an input port's value comes from: another node's output.
  struct Source {
    int node = -1;
    int port = -1;
  };
  struct Node {
    QString path;  // the keys of the node and its enclosing nodes, joined by "/"
    QString className;
    NodeKind kind = NodeKind::Value;
    std::vector<Port> inputs;
    std::vector<Port> outputs;
    // Per input: the output it is connected to (node -1: none).
    std::vector<Source> sources;
    // A shader node's fragment source as written, and its fixed output size
    // (empty: the size of the target).
    QByteArray fragmentSource;
    QSize size;
    // An image-file node's picture (straight RGBA8888, top row first).
    QImage image;
  };
  // A published port: the node input it sets, or the node output it reads.
  struct Endpoint {
    int node = -1;
    int port = -1;
  };

  std::vector<Node> nodes;
  // In the order of the document's published inputs and outputs.
  std::vector<Endpoint> inputs;
  std::vector<Endpoint> outputs;
  // The output whose image is drawn into the target (node -1: none).
  Endpoint rendered;

  int inputIndex(int node, const QString& name) const;
  int outputIndex(int node, const QString& name) const;
};

}  // namespace composition
