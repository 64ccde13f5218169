uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
#include "PorterDuff.glsl"
// The image keyed by its own luma (black clear, white kept), over the
// background.
vec4 composite(vec4 s, vec4 b) {
  float luma = s.a > 0.0 ? dot(s.rgb / s.a, vec3(0.2125, 0.7154, 0.0721)) : 0.0;
  vec4 keyed = s * luma;
  return keyed + b * (1.0 - keyed.a);
}
