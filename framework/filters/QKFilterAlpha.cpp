#include "framework/filters/QKFilterAlpha.h"

#include "platform/foundation/VariantNumbers.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

#include <cmath>

using namespace FilterKeys;

const QString QKFilterAlpha::kName = QStringLiteral("QKFilterAlpha");
const QString QKFilterAlpha::kAlphaNumber = QStringLiteral("alphaNumber");
const QString QKFilterAlpha::kOpacityKey = QStringLiteral("Opacity");
const QString QKFilterAlpha::kKernelName = QStringLiteral("QKFilterAlphaKernelCode");

QKFilterAlpha::QKFilterAlpha(const QString& name)
    : CustomFilter(name, {kInputImage, kAlphaNumber}, kKernelName) {}

QKFilterAlpha::~QKFilterAlpha() {
  deleted_.store(true);
  // An output that began before teardown finishes reading the factor first.
  RWTryLock::WriteGuard wait(alphaLock_);
}

QVariantMap QKFilterAlpha::attributeFor(const QString& key) const {
  return CustomFilter::attributeFor(key == kAlphaNumber ? kOpacityKey : key);
}

void QKFilterAlpha::setValue(const QVariant& value, const QString& forKey) {
  if (forKey != kAlphaNumber) {
    CustomFilter::setValue(value, forKey);
    return;
  }
  std::optional<float> factor;
  if (VariantNumbers::isNumber(value)) {
    const double number = value.toDouble();
    if (!std::isfinite(number)) return;
    factor = float(std::clamp(number, 0.0, 1.0));
  }
  RWTryLock::WriteGuard lock(alphaLock_);
  alphaNumber_ = factor;
}

QVariant QKFilterAlpha::value(const QString& key) {
  if (key != kAlphaNumber) return CustomFilter::value(key);
  RWTryLock::ReadGuard lock(alphaLock_);
  return alphaNumber_ ? QVariant(double(*alphaNumber_)) : QVariant();
}

float QKFilterAlpha::factor() {
  RWTryLock::ReadGuard lock(alphaLock_);
  return alphaNumber_.value_or(0.0f);
}

image::Image QKFilterAlpha::outputImage() {
  if (deleted_.load()) return {};
  const image::Image input = imageInput(kInputImage);
  if (input.isNull()) return {};
  return applyKernel(input, {input, factor()});
}

QVariantMap QKFilterAlpha::classAttributes() {
  return {{kFilterDisplayName, QStringLiteral("QKOpacityAdjust")},
          {kFilterCategories, QStringList{kCategoryColorAdjustment, kCategoryVideo}},
          {kOpacityKey, scalarAttribute({kOpacityKey, 0.0, 1.0, 0.0, 1.0, 1.0, 1.0, false})}};
}

void QKFilterAlpha::registerWith(image::FilterRegistry& registry) {
  if (registry.contains(kName)) return;
  registry.registerFilterName(
      kName, [](const QString& name) { return std::make_shared<QKFilterAlpha>(name); },
      classAttributes());
}

void QKFilterAlpha::registerFilter() { registerWith(image::FilterRegistry::shared()); }
