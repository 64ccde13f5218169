// pointwise
// Clears the alpha of pixels whose colour lies nearer to `keyColor` than
// `range` (the distance in RGB, channels 0 to 1); a range of 0 keys nothing.
uniform sampler2D inputImage;
uniform vec4 keyColor;
uniform float range;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  return distance(c.rgb, keyColor.rgb) < range ? vec4(c.rgb, 0.0) : c;
}
