uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
#include "NonSeparable.glsl"
vec3 blend(vec3 cs, vec3 cb) { return setLum(cs, lum(cb)); }
#include "BlendMode.glsl"
