#include "app/sources/SourceFactories.h"

#include "app/sources/VidSourceObject.h"

std::vector<SourceFactories::Entry> SourceFactories::entries() { return {}; }

void SourceFactories::install(Compositor& compositor) {
  for (auto& [classKey, factory] : entries())
    compositor.registerSourceFactory(classKey, std::move(factory));
}
