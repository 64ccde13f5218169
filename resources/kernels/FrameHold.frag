// Moves the image by `offset` (image pixels), what leaves one edge coming
// back at the other; (0, 0) leaves the image in place.
uniform sampler2D inputImage;
uniform vec2 offset;
vec4 kernelMain() {
  vec2 origin = inputImage_extent.xy;
  vec2 size = inputImage_extent.zw - origin;
  vec2 p = destCoord() - offset - origin;
  return inputImage_sample(origin + p - size * floor(p / size));
}
