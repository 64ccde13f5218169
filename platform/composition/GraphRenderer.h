#pragma once

#include "platform/composition/CompositionGraph.h"
#include "platform/composition/ProgramCache.h"
#include "platform/composition/QCRenderer.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"

#include <QHash>

#include <memory>
#include <vector>

namespace composition {

// Our composition runtime: plays a document's graph on the render thread.
// Each frame every node that something reads is evaluated in the graph's
// order; a shader node draws its program into a pool texture of its own,
// except the one whose image is the composition's, which draws straight
// into the target. Images handed in as filter images or CPU images become
// textures at the next render; image files and text are uploaded when
// first needed (and text again when it changes).
class GraphRenderer : public QCRenderer {
 public:
  // Compiles (through the cache) every shader the graph uses; null with
  // `error` set when one fails or no context is current.
  static std::shared_ptr<GraphRenderer> make(std::shared_ptr<const CompositionDocument> document,
                                             QString* error);
  ~GraphRenderer() override;

  QStringList inputKeys() const override { return inputKeys_; }
  QStringList outputKeys() const override { return outputKeys_; }
  std::optional<PortType> inputType(const QString& key) const override;
  std::optional<PortType> outputType(const QString& key) const override;
  using QCRenderer::setValue;
  bool setValue(const QString& key, const PortValue& value) override;
  bool renderAtTime(double seconds, Compositing compositing) override;
  QVariant valueForOutputKey(const QString& key) const override;
  gl::TextureHandle imageForOutputKey(const QString& key) const override;

  // CPU images uploaded so far (tests): an image set again unchanged (the
  // same QImage::cacheKey) is not uploaded again.
  std::size_t uploadCount() const { return uploadCount_; }

 private:
  struct NodeState {
    std::vector<PortValue> values;   // per input: set or default
    std::vector<PortValue> outputs;  // after the last evaluation
    std::shared_ptr<ProgramCache::Entry> program;
    std::vector<GLint> uniforms;  // per input
    std::vector<GLint> rows;      // per input: the image helper's uniform
    GLint time = -1;
    bool needed = false;          // something reads the node
    bool drawsToTexture = false;  // another node or an output reads its image
    QString shownText;            // what a text node's image shows
    // Per input: the CPU image uploaded last and its texture.
    std::vector<std::pair<qint64, gl::TextureHandle>> uploaded;
  };

  explicit GraphRenderer(std::shared_ptr<const CompositionDocument> document);
  bool build(QString* error);
  void markNeeded();
  int inputNumber(const QString& key) const;
  int outputNumber(const QString& key) const;

  void evaluate(int node, double time, QSize size);
  void gatherInputs(int node, QSize size, std::vector<PortValue>& inputs);
  gl::TextureHandle prepareImage(int node, int input, QSize size);
  gl::TextureHandle upload(const QImage& image);
  gl::TextureHandle shaderTexture(int node, const std::vector<PortValue>& inputs, double time,
                                  QSize size);
  gl::TextureHandle textTexture(int node, const std::vector<PortValue>& inputs, QSize size);
  bool drawShader(int node, const std::vector<PortValue>& inputs, double time);
  bool drawRendered(double time, Compositing compositing);

  std::shared_ptr<const CompositionDocument> document_;
  const CompositionGraph& graph_;
  QStringList inputKeys_;
  QStringList outputKeys_;
  // Key to position in the keys above, made with the renderer: a frame sets
  // and reads many ports, and a search through the keys would cost each
  // lookup as many comparisons as the composition has ports. A key listed
  // twice names its first port.
  QHash<QString, int> inputNumbers_;
  QHash<QString, int> outputNumbers_;
  std::vector<NodeState> nodes_;
  std::vector<std::vector<PortValue>> frameInputs_;  // per node, this frame
  std::shared_ptr<ProgramCache::Entry> blit_;
  GLint blitRows_ = -1;
  gl::PixelUploader uploader_;
  gl::RenderTarget target_;  // intermediate shader images are drawn through it
  bool rendered_ = false;
  std::size_t uploadCount_ = 0;
};

}  // namespace composition
