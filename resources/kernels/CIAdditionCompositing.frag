uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
#include "PorterDuff.glsl"
vec4 composite(vec4 s, vec4 b) { return min(s + b, vec4(1.0)); }
