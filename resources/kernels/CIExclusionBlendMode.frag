uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
vec3 blend(vec3 cs, vec3 cb) {
  return cs + cb - 2.0 * cs * cb;
}
#include "BlendMode.glsl"
