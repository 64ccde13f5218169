#pragma once

#include "framework/filters/CustomFilter.h"
#include "framework/filters/CustomFilterSpec.h"

#include <QPointF>
#include <QRectF>

#include <optional>

// A built-in filter that is one kernel over its inputs, described by its
// spec. A one-image filter without its input gives no image; a composite
// missing either image gives the background (or nothing), and so does a
// composite whose kernel cannot run.
class CustomKernelFilter : public CustomFilter {
 public:
  CustomKernelFilter(const QString& name, const CustomFilterSpec& spec);

  image::Image outputImage() override;

  // A point value: a QPointF, a QVector2D or a list of exactly two numbers.
  static std::optional<QPointF> pointFrom(const QVariant& value);
  // A rectangle: a QRectF, a QVector4D (x, y, width, height) or a list of
  // four numbers.
  static std::optional<QRectF> rectFrom(const QVariant& value);
  // A colour: a valid QColor, or three or four numbers from 0 to 1 (a
  // QVector3D, QVector4D or list).
  static std::optional<QColor> colourFrom(const QVariant& value);

 protected:
  void storeValue(const QVariant& value, const QString& forKey) override;
  const CustomFilterSpec& spec() const { return spec_; }
  // The arguments after the images, in the kernel's order.
  std::vector<image::KernelArgument> parameterArguments() const;

 private:
  image::Image compositeOutput();
  std::optional<image::KernelArgument> argumentFor(const QString& key) const;

  const CustomFilterSpec& spec_;
};
