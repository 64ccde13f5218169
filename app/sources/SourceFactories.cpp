#include "app/sources/SourceFactories.h"

#include "app/sources/ImageSource.h"
#include "app/sources/MovieSource.h"
#include "app/sources/QCSource.h"
#include "app/sources/TapSource.h"
#include "app/sources/VidSourceObject.h"
#include "app/sources/WebSource.h"

std::vector<SourceFactories::Entry> SourceFactories::entries() {
  return {{VidSourceObject::kQCSource, make<QCSource>()},
          {VidSourceObject::kMovieSource,
           [](const QString& classKey, Layer& layer) -> std::shared_ptr<VidSourceObject> {
             return MovieSource::create(classKey, &layer);
           }},
          {VidSourceObject::kTapSource, make<TapSource>()},
          {VidSourceObject::kImageSource, make<ImageSource>()},
          {VidSourceObject::kWebSource, make<WebSource>()}};
}

void SourceFactories::install(Compositor& compositor) {
  for (auto& [classKey, factory] : entries())
    compositor.registerSourceFactory(classKey, std::move(factory));
}
