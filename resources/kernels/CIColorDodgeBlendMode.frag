uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
vec3 blend(vec3 cs, vec3 cb) {
  vec3 r;
  for (int i = 0; i < 3; ++i)
    r[i] = cb[i] <= 0.0 ? 0.0 : (cs[i] >= 1.0 ? 1.0 : min(1.0, cb[i] / (1.0 - cs[i])));
  return r;
}
#include "BlendMode.glsl"
