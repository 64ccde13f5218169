#include "framework/filters/CustomKernelFilter.h"

#include "platform/image/FilterKeys.h"

#include <QVector2D>
#include <QVector4D>

#include <cmath>

CustomKernelFilter::CustomKernelFilter(const QString& name, const CustomFilterSpec& spec)
    : CustomFilter(name, spec.inputKeys(), spec.kernel), spec_(spec) {
  for (const ScalarRow& row : spec_.scalars) Filter::setValue(row.defaultValue, row.key);
  if (!spec_.pointKey.isEmpty()) Filter::setValue(QPointF(0, 0), spec_.pointKey);
}

std::optional<QPointF> CustomKernelFilter::pointFrom(const QVariant& value) {
  if (value.typeId() == QMetaType::QPointF || value.typeId() == QMetaType::QPoint)
    return value.toPointF();
  if (value.typeId() == QMetaType::QVector2D) return value.value<QVector2D>().toPointF();
  const QVariantList pair = value.toList();
  if (value.typeId() == QMetaType::QVariantList && pair.size() >= 2) {
    bool okX = false;
    bool okY = false;
    const QPointF point(pair[0].toDouble(&okX), pair[1].toDouble(&okY));
    if (okX && okY) return point;
  }
  return std::nullopt;
}

void CustomKernelFilter::storeValue(const QVariant& value, const QString& forKey) {
  if (forKey == spec_.pointKey) {
    const std::optional<QPointF> point = pointFrom(value);
    if (point && std::isfinite(point->x()) && std::isfinite(point->y()))
      Filter::setValue(*point, forKey);
    return;
  }
  CustomFilter::storeValue(value, forKey);
}

image::Image CustomKernelFilter::outputImage() {
  const image::Image source = imageInput(FilterKeys::kInputImage);
  if (source.isNull()) return {};
  std::vector<image::KernelArgument> arguments{source};
  for (const QString& key : spec_.images) {
    const image::Image image = imageInput(key);
    if (image.isNull() && spec_.inputUnchangedWithoutImages) return source;
    arguments.push_back(image);
  }
  if (spec_.scalarsPassed == CustomFilterSpec::Scalars::Vector4 && spec_.scalars.size() == 4) {
    QVector4D vector;
    for (int i = 0; i < 4; ++i)
      vector[i] = float(number(spec_.scalars[i].key, spec_.scalars[i].defaultValue));
    arguments.push_back(vector);
  } else {
    for (const ScalarRow& row : spec_.scalars)
      arguments.push_back(float(number(row.key, row.defaultValue)));
  }
  if (!spec_.pointKey.isEmpty())
    arguments.push_back(QVector2D(pointFrom(input(spec_.pointKey)).value_or(QPointF())));
  return applyKernel(source, arguments);
}
