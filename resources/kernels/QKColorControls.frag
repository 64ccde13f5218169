// pointwise
// Saturation about the luma, then brightness added, then contrast about the
// middle grey; 1, 0 and 1 leave the image unchanged.
uniform sampler2D inputImage;
uniform float contrast;
uniform float brightness;
uniform float saturation;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  float luma = dot(c.rgb, vec3(0.2125, 0.7154, 0.0721));
  vec3 rgb = mix(vec3(luma), c.rgb, saturation) + brightness;
  rgb = (rgb - 0.5) * contrast + 0.5;
  return vec4(clamp(rgb, 0.0, 1.0), c.a);
}
