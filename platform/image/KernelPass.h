#pragma once

#include "platform/image/Kernel.h"

#include <QRect>

#include <functional>
#include <memory>
#include <vector>

namespace gl {
class GLContext;
class ShaderProgram;
}  // namespace gl

namespace image {

// One draw of a kernel: its inputs that are results not rendered yet are
// joined into the same shader when the kernel reads them pointwise (and the
// texture units allow), the others are rendered first. The program of each
// shape of pass is compiled once per context.
class KernelPass {
 public:
  // The most textures one pass reads.
  static constexpr int kMaxTextures = 16;

  // Plans the pass; false (logged) when an input cannot be read: a
  // rectangle texture, or the texture of `target` (which is being drawn).
  bool plan(const std::shared_ptr<Kernel>& kernel, const std::vector<KernelArgument>& arguments,
            const gl::Texture* target);
  // Binds and draws into the bound target; false when the program does not
  // compile.
  bool draw(gl::GLContext& context, const QRect& viewport, const QPointF& imageOrigin);

  // Whether the kernel's own program (nothing joined) compiles on the
  // context (logged once when not).
  static bool compiles(gl::GLContext& context, const Kernel& kernel);

  // The fragment source of the planned pass.
  QByteArray fragmentSource() const;
  int joinedKernels() const { return int(nodes_.size()); }

 private:
  // How a node reads an image parameter in the pass being drawn.
  struct Read {
    bool fetch = false;        // a texture lying pixel on pixel: its texels are fetched
    bool whole = false;        // read only where it covers the area drawn: no extent test
    bool rowsDown = false;     // fetched, with its rows top first
    bool exactTexels = false;  // fetched, its extent holding exactly its texels
    bool samePixel = false;    // fetched whole, its texel at the very pixel being made
  };
  struct Node {
    std::shared_ptr<Kernel> kernel;
    const std::vector<KernelArgument>* arguments = nullptr;
    QByteArray prefix;                  // of its names in the joined source
    std::vector<int> joined;            // per parameter: index of the node, or -1
    std::vector<QRectF> joinedExtents;  // per parameter: the joined result's extent
    std::vector<Read> reads;            // per parameter, for the area drawn
  };

  int addNode(const std::shared_ptr<Kernel>& kernel, const std::vector<KernelArgument>& arguments,
              const gl::Texture* target, int& textures, bool& ok);
  void emit(int node, QByteArray& out) const;
  void bind(gl::GLContext& context, gl::ShaderProgram& program, int node, int& unit) const;
  QString shapeKey(int node) const;
  // The reads of every node when drawing the image-plane `area`.
  void decideReads(const QRectF& area);
  static Read readOf(const Node& node, std::size_t parameter, const QRectF& area,
                     const QPointF& pixelToImage);
  // The program cached under `key`, its source made only when it is first
  // built.
  static gl::ShaderProgram* program(gl::GLContext& context, const QString& key, const QString& name,
                                    const std::function<QByteArray()>& source);

  std::vector<Node> nodes_;
  int textures_ = 0;
  QPointF pixelToImage_;  // of the pass being drawn: destCoord() - gl_FragCoord
};

}  // namespace image
