// Scales the image by `level` about `center`, given relative to the extent
// ((0.5, 0.5) is the middle); bilinear on premultiplied colour.
uniform sampler2D inputImage;
uniform vec2 center;
uniform float level;
// Image-plane point p reads p * inputImage_affine.xy + inputImage_affine.zw:
// the centre in image coordinates c plus (p - c) / level, worked out from
// the arguments once per pass.
uniform vec4 inputImage_affine;  // derived
vec4 kernelPremultiplied() { return inputImage_affinePremultiplied(); }
