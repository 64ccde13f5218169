uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
vec3 blend(vec3 cs, vec3 cb) {
  return mix(2.0 * cs * cb, 1.0 - 2.0 * (1.0 - cs) * (1.0 - cb), step(0.5, cs));
}
#include "BlendMode.glsl"
