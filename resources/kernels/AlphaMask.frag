// pointwise
// Keys the input's alpha by the mask's luma (transparent mask: 0), shaped
// about mid-grey by `contrast` and raised by `offset`; 1 and 0 use the luma
// as it is.
uniform sampler2D inputImage;
uniform sampler2D maskImage;
uniform float contrast;
uniform float offset;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  vec4 m = maskImage_sample(destCoord());
  float luma = dot(m.rgb, vec3(0.299, 0.587, 0.114)) * m.a;
  float key = clamp((luma - 0.5) * contrast + 0.5 + offset, 0.0, 1.0);
  return vec4(c.rgb, c.a * key);
}
