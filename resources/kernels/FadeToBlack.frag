// pointwise
// Black with the input's alpha: the element's wet/dry amount fades to it.
uniform sampler2D inputImage;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  return vec4(0.0, 0.0, 0.0, c.a);
}
