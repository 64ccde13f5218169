#pragma once

namespace image {

// Colour spaces of images and contexts. Everything is device RGB: the
// values are handed to the display as they are.
enum class ColorSpace { DeviceRGB };

}  // namespace image
