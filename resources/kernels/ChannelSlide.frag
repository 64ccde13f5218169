// pointwise
// Adds the offsets (red, green, blue, alpha) to the channels, wrapping what
// passes 1 back from 0; offsets of 0 leave the image unchanged.
uniform sampler2D inputImage;
uniform vec4 offsets;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord()) + offsets;
  return c - step(1.0 + 1.0 / 512.0, c);
}
