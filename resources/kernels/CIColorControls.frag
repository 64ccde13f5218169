// pointwise
uniform sampler2D inputImage;
uniform float saturation;
uniform float brightness;
uniform float contrast;
vec4 kernelMain() {
  vec4 c = inputImage_sample(destCoord());
  float luma = dot(c.rgb, vec3(0.2125, 0.7154, 0.0721));
  vec3 rgb = mix(vec3(luma), c.rgb, saturation) + brightness;
  rgb = (rgb - 0.5) * contrast + 0.5;
  return vec4(clamp(rgb, 0.0, 1.0), c.a);
}
