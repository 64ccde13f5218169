// pointwise
// The two images of a compositing kernel, premultiplied: s (the image) and
// b (the background). Included after their uniforms; the kernel file
// defines vec4 composite(vec4 s, vec4 b) on premultiplied colour.
vec4 composite(vec4 s, vec4 b);
vec4 kernelMain() {
  vec2 p = destCoord();
  vec4 s = premultiply(inputImage_sample(p));
  vec4 b = premultiply(inputBackgroundImage_sample(p));
  return unpremultiply(clamp(composite(s, b), 0.0, 1.0));
}
