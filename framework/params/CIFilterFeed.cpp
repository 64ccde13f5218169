#include "framework/params/CIFilterFeed.h"

#include "framework/params/QCElementHandOff.h"
#include "platform/foundation/Log.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/Image.h"

CIFilterFeed::CIFilterFeed()
    : handOff_(std::make_shared<QCElementHandOff>()), plan_(std::make_shared<const Plan>()) {}

void CIFilterFeed::publish(std::shared_ptr<image::Filter> filter,
                           std::vector<std::shared_ptr<QCPanelElement>> taps) {
  auto plan = std::make_shared<Plan>();
  if (filter) {
    const QVariantMap attributes = filter->attributes();
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
      plan->attributeKeys.insert(it.key());
  }
  plan->filter = std::move(filter);
  plan->taps = std::move(taps);
  std::lock_guard lock(planMutex_);
  plan_ = std::move(plan);
}

std::shared_ptr<image::Filter> CIFilterFeed::dumpToFilter() {
  if (deleted_.load()) {
    Log::limited(QStringLiteral("CIAttributeLoader.dumpAfterDelete"),
                 QStringLiteral("err:attributeLoader dumpToFilter after deleted"));
    return nullptr;
  }
  {
    std::unique_lock lock(planMutex_, std::try_to_lock);
    if (lock.owns_lock()) renderPlan_ = plan_;
  }
  const std::shared_ptr<const Plan> plan = renderPlan_;
  if (!plan || !plan->filter) {
    Log::limited(QStringLiteral("CIAttributeLoader.dumpWithoutFilter"),
                 QStringLiteral("err:attributeLoader dumpToFilter with nil filter"));
    return nullptr;
  }
  image::Filter& filter = *plan->filter;
  handOff_->deliver([this, &filter, &plan](const std::shared_ptr<QCPanelElement>& element) {
    apply(element, filter, plan->attributeKeys);
  });
  return plan->filter;
}

std::shared_ptr<image::Filter> CIFilterFeed::renderFilter() const {
  return renderPlan_ ? renderPlan_->filter : nullptr;
}

bool CIFilterFeed::handsValueToFilter(const QCPanelElement& element) {
  switch (element.row()) {
    case QCPanelElement::Row::Slider:
    case QCPanelElement::Row::Button:
    case QCPanelElement::Row::Color:
    case QCPanelElement::Row::Position:
    case QCPanelElement::Row::Rectangle:
      return true;
    default:
      return false;
  }
}

void CIFilterFeed::apply(const std::shared_ptr<QCPanelElement>& element, image::Filter& filter,
                         const QSet<QString>& attributeKeys) const {
  if (!handsValueToFilter(*element)) return;
  const QString key = element->key();
  if (!attributeKeys.contains(key)) return;
  const QVariant value = element->filterValue();
  if (value.isValid()) filter.setValue(value, key);
}

void CIFilterFeed::setImages(image::Filter& filter, const image::Image& input) const {
  if (input.isNull()) return;
  filter.setValue(QVariant::fromValue(input), FilterKeys::kInputImage);
  const std::shared_ptr<const Plan> plan = renderPlan_;
  if (!plan) return;
  for (const auto& tap : plan->taps) {
    const QString key = tap->key();
    if (!plan->attributeKeys.contains(key)) continue;
    const gl::TextureHandle texture = tap->tapTexture();
    image::Image image;
    if (texture && !texture.isRectangle())
      image = image::Image::withTexture(texture, QSizeF(texture.size()), !texture.isFlipped());
    filter.setValue(QVariant::fromValue(image.isNull() ? input : image), key);
  }
}
