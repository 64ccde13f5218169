// pointwise
// Scales the colour about mid-grey; 1 leaves the image unchanged, negative
// values invert it about mid-grey.
uniform sampler2D inputImage;
uniform float contrast;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  return vec4(clamp((c.rgb - 0.5) * contrast + 0.5, 0.0, 1.0), c.a);
}
