#include "framework/filters/FeedbackFilter.h"

#include "platform/image/FilterKeys.h"

const QRectF FeedbackFilter::kInitialExtent(0, 0, 320, 240);

FeedbackFilter::FeedbackFilter(const QString& name, const CustomFilterSpec& spec)
    : CustomKernelFilter(name, spec),
      accumulator_(std::make_unique<image::ImageAccumulator>(kInitialExtent)) {}

void FeedbackFilter::setValue(const QVariant& value, const QString& forKey) {
  if (forKey != FilterKeys::kInputImage) {
    CustomKernelFilter::setValue(value, forKey);
    return;
  }
  const image::Image input = value.value<image::Image>();
  if (input.isNull()) return;
  CustomKernelFilter::setValue(value, forKey);
  if (input.extent() == accumulatorExtent_) return;
  accumulatorExtent_ = input.extent();
  accumulator_ = std::make_unique<image::ImageAccumulator>(accumulatorExtent_);
  seed_ = input;
}

image::Image FeedbackFilter::outputImage() {
  if (!seed_.isNull()) {
    accumulator_->setImage(seed_);
    seed_ = image::Image();
  }
  const image::Image previous = accumulator_->image();
  const image::Image input = imageInput(FilterKeys::kInputImage);
  if (input.isNull()) return previous;
  if (previous.isNull()) return input;  // an extent no texture can hold
  std::vector<image::KernelArgument> arguments{input, previous};
  for (image::KernelArgument& argument : parameterArguments())
    arguments.push_back(std::move(argument));
  const std::optional<image::Image> mixed =
      kernelResult(outputOver(input.extent(), input), arguments);
  if (!mixed) return input;
  if (!mixed->isNull()) accumulator_->setImage(*mixed);
  return accumulator_->image();
}
