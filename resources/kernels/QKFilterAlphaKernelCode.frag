// pointwise
uniform sampler2D inputImage;
uniform float alphaNumber;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  return vec4(c.rgb, c.a * clamp(alphaNumber, 0.0, 1.0));
}
