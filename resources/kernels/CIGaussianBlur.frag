// One pass of the separable blur: taps along `direction` (the image-plane
// step between taps), weights[0] at the centre, weights[k] on both sides.
uniform sampler2D inputImage;
uniform vec2 direction;
uniform float weights[64];
uniform float tapCount;
vec4 kernelPremultiplied() {
  vec2 p = destCoord();
  vec4 sum = premultiply(inputImage_sample(p)) * weights[0];
  int taps = int(tapCount);
  for (int k = 1; k <= taps; ++k) {
    vec2 d = direction * float(k);
    sum += (premultiply(inputImage_sample(p + d)) + premultiply(inputImage_sample(p - d))) * weights[k];
  }
  return sum;
}
