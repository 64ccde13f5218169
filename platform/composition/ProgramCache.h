#pragma once

#include "platform/gl/GLContext.h"
#include "platform/gl/ShaderProgram.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

namespace composition {

// The shader programs of compositions, one per fragment source text and
// share group: every renderer of the same file (and every file with the
// same shader) uses one program. A source that failed to compile is kept
// with its error, so it is not compiled again every frame. Render thread
// only.
class ProgramCache {
 public:
  struct Entry {
    gl::ShaderProgram program;
    QString error;  // the compiler's log when it failed
  };

  // The cache of the current context's share group; null without a context.
  static ProgramCache* forCurrentContext();

  // The program of `fragmentSource` (the full program text), compiled on
  // first use with the shader nodes' vertex stage.
  std::shared_ptr<Entry> program(const QByteArray& fragmentSource);
  std::size_t size() const { return std::size_t(entries_.size()); }

 private:
  explicit ProgramCache(gl::GLContext& context) : context_(context) {}
  friend struct ProgramCacheFactory;

  gl::GLContext& context_;
  QHash<QByteArray, std::shared_ptr<Entry>> entries_;
};

}  // namespace composition
