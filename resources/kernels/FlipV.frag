// Mirrors the image about its horizontal centre line.
uniform sampler2D inputImage;
vec4 kernelMain() {
  vec2 p = destCoord();
  return inputImage_sample(vec2(p.x, inputImage_extent.y + inputImage_extent.w - p.y));
}
