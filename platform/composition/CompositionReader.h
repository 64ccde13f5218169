#pragma once

#include "platform/composition/CompositionDocument.h"
#include "platform/composition/CompositionGraph.h"

#include <QVariantMap>

#include <memory>
#include <utility>

namespace composition {

// Turns a composition's property list into a CompositionDocument: checks
// the types of every value it reads, flattens nested states, resolves
// published ports and connections to node ports, and orders the nodes so
// that each comes after those it reads (refusing cycles). Image files are
// read here, so nothing is read from disk later. One use per reader.
class CompositionReader {
 public:
  // `folder` resolves relative image file names.
  explicit CompositionReader(QString folder) : folder_(std::move(folder)) {}

  // Null with `error` set when the list is refused.
  std::shared_ptr<CompositionDocument> read(const QVariant& root, QString* error);

 private:
  using Endpoint = CompositionGraph::Endpoint;
  struct Published {
    QString key;
    Endpoint endpoint;
  };
  // What a state shows to the state around it: its published ports.
  struct StateResult {
    std::vector<Published> inputs;
    std::vector<Published> outputs;
  };
  // A node of a state: a flat node, or a nested state.
  struct Local {
    QString key;
    int flat = -1;
    std::shared_ptr<StateResult> nested;
  };
  using Locals = std::vector<Local>;

  bool readState(const QVariantMap& state, const QString& path, int depth, StateResult* result,
                 Locals* locals);
  bool readNodes(const QVariantMap& state, const QString& path, int depth, Locals* locals);
  bool readNode(const QVariantMap& node, const QString& path, int depth, Local* local);
  bool makeFlatNode(const QString& className, const QVariantMap& state, const QString& path);
  bool readPublished(const QVariantMap& state, const char* key, bool inputs, const Locals& locals,
                     std::vector<Published>* published);
  bool readConnections(const QVariantMap& state, const Locals& locals);
  bool resolve(const Locals& locals, const QString& node, const QString& port, bool input,
               Endpoint* endpoint);
  bool readRendered(const QVariantMap& state, const Locals& locals);
  bool order();
  void publish(CompositionDocument& document, const StateResult& root, const QVariantMap& top);

  bool fail(const QString& why);

  QString folder_;
  QString error_;
  CompositionGraph graph_;
  // Old node index → index in the ordered graph.
  std::vector<int> renumbering_;
};

}  // namespace composition
