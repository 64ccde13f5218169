// pointwise
// The two images of a compositing kernel, premultiplied: s (the image) and
// b (the background). Included after their uniforms; the kernel file
// defines vec4 composite(vec4 s, vec4 b) on premultiplied colour.
vec4 composite(vec4 s, vec4 b);
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  vec4 s = inputImage_premultiplied(p);
  vec4 b = inputBackgroundImage_premultiplied(p);
  return clamp(composite(s, b), 0.0, 1.0);
}
