// Moves the image within its extent by `center` - (150, 150) (image pixels),
// so the initial (150, 150) leaves it in place; bilinear on premultiplied
// colour.
uniform sampler2D inputImage;
uniform vec2 center;
vec4 kernelPremultiplied() {
  return inputImage_samplePremultiplied(destCoord() - (center - vec2(150.0)));
}
