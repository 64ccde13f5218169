#pragma once

#include "framework/filters/CustomFilter.h"
#include "platform/threading/RWTryLock.h"

#include <atomic>
#include <optional>

namespace image {
class FilterRegistry;
}

// "QKFilterAlpha": the image ("inputImage") with its opacity multiplied by
// "alphaNumber" (0 to 1; colours are kept). The compositor's tool, not an
// effect: the wet/dry mixer fades its two images with it, and every layer
// applies its opacity with it in filter mode. Its attributes describe the
// factor under "Opacity"; callers set it as "alphaNumber".
//
// The factor may be set from any thread: it sits behind a reader/writer
// lock that the output holds only while it reads it. Setting it to nothing
// (or to what is not a number) makes the factor 0: the output is
// transparent. Teardown marks the filter deleted, so no output starts, and
// waits for one that runs.
class QKFilterAlpha : public CustomFilter {
 public:
  static const QString kName;         // "QKFilterAlpha"
  static const QString kAlphaNumber;  // "alphaNumber"
  static const QString kOpacityKey;   // "Opacity"
  static const QString kKernelName;   // "QKFilterAlphaKernelCode"

  explicit QKFilterAlpha(const QString& name);
  ~QKFilterAlpha() override;

  void setValue(const QVariant& value, const QString& forKey) override;
  QVariant value(const QString& key) override;
  image::Image outputImage() override;

  // Registers the filter with the shared registry unless it is there.
  static void registerFilter();
  static void registerWith(image::FilterRegistry& registry);
  static QVariantMap classAttributes();

 protected:
  QVariantMap attributeFor(const QString& key) const override;

 private:
  float factor();

  std::atomic<bool> deleted_{false};
  RWTryLock alphaLock_;
  std::optional<float> alphaNumber_{1.0f};  // under alphaLock_
};
