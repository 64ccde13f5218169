// pointwise
// Keeps the rectangle `center` (x, y, width, height in image pixels) and
// clears the rest.
uniform sampler2D inputImage;
uniform vec4 center;
vec4 kernelMain() {
  vec2 p = destCoord();
  bool inside = all(greaterThanEqual(p, center.xy)) && all(lessThan(p, center.xy + center.zw));
  return inside ? inputImage_sample(p) : vec4(0.0);
}
