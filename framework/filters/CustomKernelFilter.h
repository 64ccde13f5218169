#pragma once

#include "framework/filters/CustomFilter.h"
#include "framework/filters/CustomFilterSpec.h"

#include <QPointF>

// A built-in filter that is one kernel over its inputs, described by its
// spec: "Bright", "Contrast", "FadeToBlack", "ChannelSlide",
// "FrameHoldManual", "AlphaMask", "QKFilterFullAlpha".
class CustomKernelFilter : public CustomFilter {
 public:
  CustomKernelFilter(const QString& name, const CustomFilterSpec& spec);

  image::Image outputImage() override;

  // A point value: a QPointF, a QVector2D or a list of two numbers.
  static std::optional<QPointF> pointFrom(const QVariant& value);

 protected:
  void storeValue(const QVariant& value, const QString& forKey) override;

 private:
  const CustomFilterSpec& spec_;
};
