// pointwise
// The image made fully opaque.
uniform sampler2D inputImage;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  return vec4(c.rgb, 1.0);
}
