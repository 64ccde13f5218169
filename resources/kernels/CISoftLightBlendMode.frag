uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
vec3 blend(vec3 cs, vec3 cb) {
  vec3 d = mix(((16.0 * cb - 12.0) * cb + 4.0) * cb, sqrt(cb), vec3(greaterThan(cb, vec3(0.25))));
  return mix(cb - (1.0 - 2.0 * cs) * cb * (1.0 - cb), cb + (2.0 * cs - 1.0) * (d - cb),
             vec3(greaterThan(cs, vec3(0.5))));
}
#include "BlendMode.glsl"
