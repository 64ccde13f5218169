#include "platform/composition/CompositionGraph.h"

namespace composition {

int CompositionGraph::inputIndex(int node, const QString& name) const {
  const auto& ports = nodes[node].inputs;
  for (size_t i = 0; i < ports.size(); ++i)
    if (ports[i].name == name) return int(i);
  return -1;
}

int CompositionGraph::outputIndex(int node, const QString& name) const {
  const auto& ports = nodes[node].outputs;
  for (size_t i = 0; i < ports.size(); ++i)
    if (ports[i].name == name) return int(i);
  return -1;
}

}  // namespace composition
