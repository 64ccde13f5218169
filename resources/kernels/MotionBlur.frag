// pointwise
// Mixes the image with the previous result by `amount` (the previous
// result's share), on premultiplied colour; 0 gives the image.
uniform sampler2D inputImage;
uniform sampler2D previous;
uniform float amount;
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  return mix(inputImage_premultiplied(p), previous_premultiplied(p), amount);
}
