// pointwise
// Adds `bright` to each colour channel; 0 leaves the image unchanged.
uniform sampler2D inputImage;
uniform float bright;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  return vec4(clamp(c.rgb + bright, 0.0, 1.0), c.a);
}
