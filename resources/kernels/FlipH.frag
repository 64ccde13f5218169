// Mirrors the image about its vertical centre line.
uniform sampler2D inputImage;
vec4 kernelMain() {
  vec2 p = destCoord();
  return inputImage_sample(vec2(inputImage_extent.x + inputImage_extent.z - p.x, p.y));
}
