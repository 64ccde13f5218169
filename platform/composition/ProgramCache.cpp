#include "platform/composition/ProgramCache.h"

#include "platform/composition/ShaderSource.h"

namespace composition {

struct ProgramCacheFactory {
  static std::shared_ptr<ProgramCache> make(gl::GLContext& context) {
    return std::shared_ptr<ProgramCache>(new ProgramCache(context));
  }
};

ProgramCache* ProgramCache::forCurrentContext() {
  gl::GLContext* current = gl::GLContext::current();
  if (!current) return nullptr;
  gl::GLContext& root = *current->shareRoot();
  return &root.cached<ProgramCache>(QStringLiteral("composition.programs"),
                                    [&root] { return ProgramCacheFactory::make(root); });
}

std::shared_ptr<ProgramCache::Entry> ProgramCache::program(const QByteArray& fragmentSource) {
  std::shared_ptr<Entry>& entry = entries_[fragmentSource];
  if (!entry) {
    entry = std::make_shared<Entry>();
    entry->program.build(context_, ShaderSource::vertexSource(), fragmentSource, &entry->error);
  }
  return entry;
}

}  // namespace composition
