#pragma once

#include "platform/composition/PortType.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace composition {

class CompositionGraph;

// A composition file read and checked, ready to be played: its published
// ports in the file's order and the graph of its nodes (with everything the
// nodes need from disk — shader sources, decoded image files — already in
// memory). Read on the main thread (or any thread but the render thread);
// immutable afterwards, so one document may be shared by any number of
// renderers on the render thread while its owner lets go of it.
//
// Refused (null, with the reason in `error`): a file that cannot be read
// as a property list, values of the wrong type (ports that are not arrays,
// a "key" that is not a string …), states nested deeper than
// kMaxNestingDepth, a connection or published port naming a missing node
// or port, a cycle, an unknown node class, an image file that cannot be
// read. A shader that does not compile is found only when a renderer is
// made (QCRenderer::create).
class CompositionDocument {
 public:
  struct PublishedPort {
    QString key;
    PortType type = PortType::Number;
    // From "inputParameters", else the splitter's value; may be empty.
    QVariant defaultValue;
  };

  static std::shared_ptr<const CompositionDocument> load(const QString& path,
                                                         QString* error = nullptr);
  // `folder` resolves relative file names of image-file nodes.
  static std::shared_ptr<const CompositionDocument> fromPropertyList(const QVariant& root,
                                                                     const QString& folder,
                                                                     QString* error = nullptr);
  ~CompositionDocument();
  CompositionDocument(const CompositionDocument&) = delete;
  CompositionDocument& operator=(const CompositionDocument&) = delete;

  // The file read; empty for a document made from a property list.
  const QString& path() const { return path_; }
  const QString& category() const { return category_; }
  const QString& description() const { return description_; }

  const std::vector<PublishedPort>& inputs() const { return inputs_; }
  const std::vector<PublishedPort>& outputs() const { return outputs_; }
  // The published keys in the file's order.
  QStringList inputKeys() const;
  QStringList outputKeys() const;
  const PublishedPort* input(const QString& key) const;
  const PublishedPort* output(const QString& key) const;

  // The graph the renderer plays (render thread: read only).
  const CompositionGraph& graph() const { return *graph_; }

 private:
  CompositionDocument();
  friend class CompositionReader;

  QString path_;
  QString category_;
  QString description_;
  std::vector<PublishedPort> inputs_;
  std::vector<PublishedPort> outputs_;
  std::unique_ptr<CompositionGraph> graph_;
};

}  // namespace composition
