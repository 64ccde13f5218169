// pointwise
// Adds the image's colour, weighted by its alpha, to the background's; a
// sum above 1 wraps back from 0. Alpha is the image over the background.
uniform sampler2D inputImage;
uniform sampler2D inputBackgroundImage;
vec4 kernelMain() {
  vec2 p = destCoord();
  vec4 b = inputBackgroundImage_sample(p);
  vec4 s = inputImage_sample(p);
  vec3 sum = b.rgb + s.rgb * s.a;
  return vec4(sum - step(1.0 + 1.0 / 512.0, sum), s.a + b.a * (1.0 - s.a));
}
