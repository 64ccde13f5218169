uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
#include "PorterDuff.glsl"
// The image where the background is, the background elsewhere.
vec4 composite(vec4 s, vec4 b) { return s * b.a + b * (1.0 - s.a); }
