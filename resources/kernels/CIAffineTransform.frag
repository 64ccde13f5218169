// `linear` and `offset` are the inverse transform: where each pixel of the
// result comes from in the image.
uniform sampler2D inputImage;
uniform vec4 linear;
uniform vec2 offset;
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  vec2 q = vec2(linear.x * p.x + linear.y * p.y, linear.z * p.x + linear.w * p.y) + offset;
  return inputImage_samplePremultiplied(q);
}
