// pointwise
// Mixes the image with the previous result channel by channel: each weight
// (red, green, blue, alpha) is the previous result's share of its channel,
// on premultiplied colour; weights of 0 give the image.
uniform sampler2D inputImage;
uniform sampler2D previous;
uniform vec4 weights;
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  return mix(inputImage_premultiplied(p), previous_premultiplied(p), weights);
}
