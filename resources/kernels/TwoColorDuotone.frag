// pointwise
// `highColor` where the luma is above `range`, `lowColor` elsewhere; the
// image's alpha is kept.
uniform sampler2D inputImage;
uniform float range;
uniform vec4 lowColor;
uniform vec4 highColor;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  float luma = dot(c.rgb, vec3(0.2125, 0.7154, 0.0721));
  return vec4(luma > range ? highColor.rgb : lowColor.rgb, c.a);
}
