// pointwise
// A blend mode: where both images are opaque the colour is
// blend(image colour, background colour) on straight colour; elsewhere each
// image shows through by its own coverage. The kernel file defines
// vec3 blend(vec3 cs, vec3 cb) and includes this after its uniforms.
vec3 blend(vec3 cs, vec3 cb);
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  vec4 s = inputImage_sample(p);
  vec4 b = inputBackgroundImage_sample(p);
  float a = s.a + b.a - s.a * b.a;
  vec3 c = (1.0 - b.a) * s.a * s.rgb + (1.0 - s.a) * b.a * b.rgb +
           s.a * b.a * clamp(blend(s.rgb, b.rgb), 0.0, 1.0);
  return vec4(clamp(c, 0.0, a), a);
}
