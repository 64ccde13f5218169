// pointwise
// White where the luma is above `range`, black elsewhere; alpha is kept.
uniform sampler2D inputImage;
uniform float range;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  float luma = dot(c.rgb, vec3(0.2125, 0.7154, 0.0721));
  return vec4(vec3(luma > range ? 1.0 : 0.0), c.a);
}
