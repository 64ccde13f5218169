#include "app/effects/CIFXLoader.h"

#include "app/effects/FilterFXContext.h"
#include "app/effects/LayerFXMixer.h"
#include "framework/render/WetDryContext.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

bool CIFXLoader::accepts(const QString& filterName) {
  const std::shared_ptr<image::Filter> filter =
      image::FilterRegistry::shared().filterWithName(filterName);
  return filter && filter->inputKeys().contains(FilterKeys::kInputImage) &&
         filter->outputKeys().contains(FilterKeys::kOutputImage);
}

std::shared_ptr<CIFXLoader> CIFXLoader::create(const QString& filterName,
                                               const QRectF& activeRect) {
  if (filterName.isEmpty() || !accepts(filterName)) return nullptr;
  return FXObject::make<CIFXLoader>(
      filterName, image::FilterRegistry::shared().localizedNameForFilterName(filterName),
      activeRect.size());
}

CIFXLoader::CIFXLoader(const QString& filterName, const QString& displayName, QSizeF renderSize)
    : LayerFXObject(filterName, displayName, renderSize) {}

void CIFXLoader::makeContexts() {
  std::shared_ptr<FilterFXContext> context = FilterFXContext::create(filterName(), renderSize());
  std::shared_ptr<LayerFXMixer> mixer = LayerFXMixer::wrapping(WetDryContext::create(
      gl::RenderThread::instance().mainContext(), &gl::TexturePool::shared(), renderSize()));
  if (context && mixer) setContexts(std::move(context), std::move(mixer));
}
