#include "framework/filters/CustomKernelFilter.h"

#include "platform/foundation/VariantNumbers.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/Kernel.h"

#include <QColor>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>

#include <cmath>

namespace {

// Up to four finite numbers of a vector or a list; empty when it holds
// anything else.
std::vector<double> numbersOf(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QVector2D: {
      const QVector2D v = value.value<QVector2D>();
      return {v.x(), v.y()};
    }
    case QMetaType::QVector3D: {
      const QVector3D v = value.value<QVector3D>();
      return {v.x(), v.y(), v.z()};
    }
    case QMetaType::QVector4D: {
      const QVector4D v = value.value<QVector4D>();
      return {v.x(), v.y(), v.z(), v.w()};
    }
    case QMetaType::QVariantList: {
      std::vector<double> numbers;
      for (const QVariant& item : value.toList()) {
        if (!VariantNumbers::isNumber(item)) return {};
        numbers.push_back(item.toDouble());
      }
      return numbers;
    }
    default:
      return {};
  }
}

bool allFinite(const std::vector<double>& numbers) {
  for (double n : numbers)
    if (!std::isfinite(n)) return false;
  return true;
}

}  // namespace

CustomKernelFilter::CustomKernelFilter(const QString& name, const CustomFilterSpec& spec)
    : CustomFilter(name, spec.inputKeys(), spec.kernel), spec_(spec) {
  for (const ScalarRow& row : spec_.scalars) Filter::setValue(row.defaultValue, row.key);
  for (const CustomFilterSpec::VectorRow& row : spec_.vectors)
    Filter::setValue(row.initial, row.key);
  if (!spec_.pointKey.isEmpty()) Filter::setValue(QPointF(0, 0), spec_.pointKey);
  for (auto it = spec_.initial.cbegin(); it != spec_.initial.cend(); ++it)
    Filter::setValue(it.value(), it.key());
  if (spec_.derivation)
    if (const std::shared_ptr<image::Kernel> kernel = image::Kernel::named(spec_.kernel))
      kernel->setDerivation(spec_.derivation);
}

std::optional<QPointF> CustomKernelFilter::pointFrom(const QVariant& value) {
  if (value.typeId() == QMetaType::QPointF || value.typeId() == QMetaType::QPoint)
    return value.toPointF();
  const std::vector<double> numbers = numbersOf(value);
  if (numbers.size() != 2) return std::nullopt;
  return QPointF(numbers[0], numbers[1]);
}

std::optional<QRectF> CustomKernelFilter::rectFrom(const QVariant& value) {
  if (value.typeId() == QMetaType::QRectF || value.typeId() == QMetaType::QRect)
    return value.toRectF();
  const std::vector<double> numbers = numbersOf(value);
  if (numbers.size() != 4) return std::nullopt;
  return QRectF(numbers[0], numbers[1], numbers[2], numbers[3]);
}

std::optional<QColor> CustomKernelFilter::colourFrom(const QVariant& value) {
  if (value.typeId() == QMetaType::QColor) {
    const QColor colour = value.value<QColor>();
    return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
  }
  const std::vector<double> numbers = numbersOf(value);
  if (numbers.size() < 3 || !allFinite(numbers)) return std::nullopt;
  auto unit = [](double v) { return float(std::clamp(v, 0.0, 1.0)); };
  return QColor::fromRgbF(unit(numbers[0]), unit(numbers[1]), unit(numbers[2]),
                          numbers.size() > 3 ? unit(numbers[3]) : 1.0f);
}

void CustomKernelFilter::storeValue(const QVariant& value, const QString& forKey) {
  if (spec_.isScalar(forKey)) {
    if (VariantNumbers::isNumber(value)) CustomFilter::storeValue(value, forKey);
    return;
  }
  if (forKey == spec_.pointKey) {
    const std::optional<QPointF> point = pointFrom(value);
    if (point && std::isfinite(point->x()) && std::isfinite(point->y()))
      Filter::setValue(*point, forKey);
    return;
  }
  if (const CustomFilterSpec::VectorRow* row = spec_.vectorRow(forKey)) {
    QVariant checked;
    switch (row->kind) {
      case CustomFilterSpec::VectorKind::Point:
        if (const auto point = pointFrom(value); point && allFinite({point->x(), point->y()}))
          checked = *point;
        break;
      case CustomFilterSpec::VectorKind::Rectangle:
        if (const auto rect = rectFrom(value);
            rect && allFinite({rect->x(), rect->y(), rect->width(), rect->height()}))
          checked = *rect;
        break;
      case CustomFilterSpec::VectorKind::Colour:
        if (const auto colour = colourFrom(value)) checked = *colour;
        break;
    }
    if (checked.isValid()) Filter::setValue(checked, forKey);
    return;
  }
  CustomFilter::storeValue(value, forKey);
}

std::optional<image::KernelArgument> CustomKernelFilter::argumentFor(const QString& key) const {
  for (const ScalarRow& row : spec_.scalars)
    if (row.key == key) return float(number(row.key, row.defaultValue));
  if (const CustomFilterSpec::VectorRow* row = spec_.vectorRow(key)) {
    const QVariant value = input(key);
    switch (row->kind) {
      case CustomFilterSpec::VectorKind::Point:
        return QVector2D(value.toPointF());
      case CustomFilterSpec::VectorKind::Rectangle: {
        const QRectF rect = value.toRectF();
        return QVector4D(float(rect.x()), float(rect.y()), float(rect.width()),
                         float(rect.height()));
      }
      case CustomFilterSpec::VectorKind::Colour: {
        const QColor colour = value.value<QColor>();
        return QVector4D(colour.redF(), colour.greenF(), colour.blueF(), 1.0f);
      }
    }
  }
  if (key == spec_.pointKey) return QVector2D(pointFrom(input(key)).value_or(QPointF()));
  return std::nullopt;
}

std::vector<image::KernelArgument> CustomKernelFilter::parameterArguments() const {
  std::vector<image::KernelArgument> arguments;
  if (!spec_.argumentOrder.isEmpty()) {
    for (const QString& key : spec_.argumentOrder)
      if (const auto argument = argumentFor(key)) arguments.push_back(*argument);
    return arguments;
  }
  if (spec_.scalarsPassed == CustomFilterSpec::Scalars::Vector4 && spec_.scalars.size() == 4) {
    QVector4D vector;
    for (int i = 0; i < 4; ++i)
      vector[i] = float(number(spec_.scalars[i].key, spec_.scalars[i].defaultValue));
    arguments.push_back(vector);
  } else {
    for (const ScalarRow& row : spec_.scalars) arguments.push_back(*argumentFor(row.key));
  }
  for (const CustomFilterSpec::VectorRow& row : spec_.vectors)
    arguments.push_back(*argumentFor(row.key));
  if (!spec_.pointKey.isEmpty()) arguments.push_back(*argumentFor(spec_.pointKey));
  return arguments;
}

image::Image CustomKernelFilter::compositeOutput() {
  const image::Image source = imageInput(FilterKeys::kInputImage);
  const image::Image background = imageInput(FilterKeys::kInputBackgroundImage);
  if (source.isNull() || background.isNull()) return background;
  const QRectF extent = source.extent().united(background.extent());
  image::Kernel::Output output = outputOver(extent, source);
  if (image::Image::isInfinite(extent)) {
    const image::Image& infinite = source.isInfinite() ? source : background;
    const image::Image& other = source.isInfinite() ? background : source;
    output = {extent,
              infinite.region().united(other.isInfinite() ? other.region() : other.extent()),
              infinite.edgeMode()};
  }
  std::vector<image::KernelArgument> arguments{source, background};
  const std::optional<image::Image> result = kernelResult(output, arguments);
  return result && !result->isNull() ? *result : background;
}

image::Image CustomKernelFilter::outputImage() {
  if (spec_.shape == CustomFilterSpec::Shape::Composite) return compositeOutput();
  const image::Image source = imageInput(FilterKeys::kInputImage);
  if (source.isNull()) return {};
  std::vector<image::KernelArgument> arguments{source};
  for (const QString& key : spec_.images) {
    const image::Image image = imageInput(key);
    if (image.isNull() && spec_.inputUnchangedWithoutImages) return source;
    arguments.push_back(image);
  }
  for (image::KernelArgument& argument : parameterArguments())
    arguments.push_back(std::move(argument));
  return applyKernel(source, arguments);
}
