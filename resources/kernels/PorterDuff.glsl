// pointwise
// The two images of a compositing kernel, premultiplied: s (the image) and
// b (the background). Included after their uniforms; the kernel file
// defines vec4 composite(vec4 s, vec4 b) on premultiplied colour, which
// keeps a colour whose channels lie within its alpha so.
vec4 composite(vec4 s, vec4 b);
// The background first: in a chain joined into one pass, each kernel then
// reads its image once the layers below are composited, which keeps few
// colours live at a time.
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  vec4 b = inputBackgroundImage_premultiplied(p);
  vec4 s = inputImage_premultiplied(p);
  return composite(s, b);
}
