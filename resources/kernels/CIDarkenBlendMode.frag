uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
vec3 blend(vec3 cs, vec3 cb) {
  return min(cs, cb);
}
#include "BlendMode.glsl"
