#include "app/sources/SourceFileLookup.h"

namespace {
SourceFileLookup::Lookup& instance() {
  static SourceFileLookup::Lookup lookup;
  return lookup;
}
}  // namespace

void SourceFileLookup::set(Lookup lookup) { instance() = std::move(lookup); }

std::shared_ptr<QKFile> SourceFileLookup::fileForUniqueId(long uniqueId) {
  return instance() ? instance()(uniqueId) : nullptr;
}
