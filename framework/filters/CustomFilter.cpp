#include "framework/filters/CustomFilter.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/gl/GLContext.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/KernelPass.h"

#include <QSet>

#include <cmath>
#include <mutex>

using namespace FilterKeys;

namespace {

std::mutex& failureMutex() {
  static std::mutex mutex;
  return mutex;
}
QSet<QString>& failures() {
  static QSet<QString> names;
  return names;
}

}  // namespace

QVariantMap CustomFilter::scalarAttribute(const ScalarRow& row) {
  QVariantMap attribute{{kMin, row.min},
                        {kMax, row.max},
                        {kSliderMin, row.sliderMin},
                        {kSliderMax, row.sliderMax},
                        {kDefault, row.defaultValue},
                        {kIdentity, row.identity},
                        {kType, kTypeScalar}};
  if (row.basicSet) attribute.insert(kUIParameterSet, kUISetBasic);
  return attribute;
}

QVariantMap CustomFilter::imageAttribute(const QString& displayName) {
  return {{kClass, kClassImage}, {kDisplayName, displayName}};
}

CustomFilter::CustomFilter(const QString& name, QStringList inputKeys, QString kernelName)
    : Filter(name, std::move(inputKeys)), kernelName_(std::move(kernelName)) {}

QVariantMap CustomFilter::attributeFor(const QString& key) const {
  return attributes().value(key).toMap();
}

void CustomFilter::setValue(const QVariant& value, const QString& forKey) {
  if (!value.isValid() || value.isNull()) return;
  if (!VariantNumbers::isNumber(value)) {
    storeValue(value, forKey);
    return;
  }
  double number = value.toDouble();
  if (!std::isfinite(number)) return;
  const QVariantMap attribute = attributeFor(forKey);
  if (attribute.contains(kMin)) number = std::max(number, attribute.value(kMin).toDouble());
  if (attribute.contains(kMax)) number = std::min(number, attribute.value(kMax).toDouble());
  storeValue(number, forKey);
}

void CustomFilter::storeValue(const QVariant& value, const QString& forKey) {
  Filter::setValue(value, forKey);
}

bool CustomFilter::kernelFailureLogged(const QString& filterName) {
  std::lock_guard lock(failureMutex());
  return failures().contains(filterName);
}

void CustomFilter::logKernelFailureOnce(const QString& why) const {
  {
    std::lock_guard lock(failureMutex());
    if (failures().contains(name())) return;
    failures().insert(name());
  }
  Log::line(QStringLiteral("\t\terr: %1: the kernel \"%2\" %3; the image passes unchanged")
                .arg(name(), kernelName_, why));
}

image::Kernel::Output CustomFilter::outputOver(const QRectF& extent, const image::Image& input) {
  if (!image::Image::isInfinite(extent)) return {extent, extent, image::EdgeMode::Transparent};
  return {extent, input.region(), input.edgeMode()};
}

std::optional<image::Image> CustomFilter::kernelResult(
    const image::Kernel::Output& output, const std::vector<image::KernelArgument>& arguments) {
  const std::shared_ptr<image::Kernel> kernel = image::Kernel::named(kernelName_);
  if (!kernel) {
    logKernelFailureOnce(QStringLiteral("is missing or unreadable"));
    return std::nullopt;
  }
  if (gl::GLContext* context = gl::GLContext::current();
      context && !image::KernelPass::compiles(*context, *kernel)) {
    logKernelFailureOnce(QStringLiteral("does not compile"));
    return std::nullopt;
  }
  return kernel->apply(output, arguments);
}

image::Image CustomFilter::applyKernel(const image::Image& input,
                                       const std::vector<image::KernelArgument>& arguments) {
  const std::optional<image::Image> result =
      kernelResult(outputOver(input.extent(), input), arguments);
  return result && !result->isNull() ? *result : input;
}
