#pragma once

#include "framework/filters/CustomKernelFilter.h"
#include "platform/image/ImageAccumulator.h"

#include <memory>

// "RGB_Trails" and "MotionBlur": each output mixes the input with the
// filter's previous result, kept in an accumulator that follows the input's
// size. An input of another extent than the accumulator's restarts it,
// filled with that input (a new filter's accumulator is 320 × 240, so a
// first input of exactly (0, 0, 320, 240) mixes with transparent black).
// Every `outputImage` is one step, stored at once into a texture of its
// own. The filter holds its input until the next one; setting none keeps
// the last.
class FeedbackFilter : public CustomKernelFilter {
 public:
  static const QRectF kInitialExtent;  // (0, 0, 320, 240)

  FeedbackFilter(const QString& name, const CustomFilterSpec& spec);

  void setValue(const QVariant& value, const QString& forKey) override;
  image::Image outputImage() override;

  QRectF accumulatorExtent() const { return accumulatorExtent_; }

 private:
  std::unique_ptr<image::ImageAccumulator> accumulator_;
  QRectF accumulatorExtent_ = kInitialExtent;
  // The input that restarted the accumulator, stored by the next step (on
  // the render thread).
  image::Image seed_;
};
