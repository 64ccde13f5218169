// Scales the image by `level` about `center`, given relative to the extent
// ((0.5, 0.5) is the middle); bilinear on premultiplied colour.
uniform sampler2D inputImage;
uniform vec2 center;
uniform float level;
vec4 kernelPremultiplied() {
  vec2 origin = inputImage_extent.xy;
  vec2 c = origin + center * (inputImage_extent.zw - origin);
  return inputImage_samplePremultiplied(c + (destCoord() - c) / level);
}
