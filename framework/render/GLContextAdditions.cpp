#include "framework/render/GLContextAdditions.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"

namespace GLContextAdditions {

namespace {
struct Capability {
  const char* label;
  GLenum capability;  // 0: gone from core contexts
};

const Capability kCapabilities[] = {
    {"auto normal", 0},
    {"blend", GL_BLEND},
    {"color mat", 0},
    {"cull face", GL_CULL_FACE},
    {"depth test", GL_DEPTH_TEST},
    {"dither", GL_DITHER},
    {"fog", 0},
    {"lighting", 0},
    {"line smooth", GL_LINE_SMOOTH},
    {"line stipple", 0},
    {"logic op", GL_COLOR_LOGIC_OP},
    {"map1 index", 0},
    {"map1 norm", 0},
    {"map1 tex coord 1", 0},
    {"map1 tex coord 2", 0},
    {"map1 tex coord 3", 0},
    {"map1 tex coord 4", 0},
    {"map1 vertex 3", 0},
    {"map1 vertex 4", 0},
    {"map2 color 4", 0},
    {"map2 index", 0},
    {"map2 norm", 0},
    {"map2 tex coord 1", 0},
    {"map2 tex coord 2", 0},
    {"map2 tex coord 3", 0},
    {"map2 tex coord 4", 0},
    {"map2 vertex 3", 0},
    {"map2 vertex 4", 0},
    {"normalize", 0},
    {"point smooth", 0},
    {"poly stipple", 0},
    {"scissor test", GL_SCISSOR_TEST},
    {"stencil test", GL_STENCIL_TEST},
    {"texture 1d", 0},
    {"texture 2d", 0},
    {"tex gen q", 0},
    {"tex gen r", 0},
    {"tex gen s", 0},
    {"tex gen t", 0},
};
}  // namespace

void postDetails(gl::GLContext& context) {
  gl::GLContext* previous = gl::GLContext::current();
  if (!context.makeCurrent()) return;
  gl::GLFunctions& f = context.functions();
  Log::line("************************");
  Log::line("GLAdditions:postDetails:");
  Log::line("\t\t alpha test is 0");
  Log::line("\t\t test func = 0");
  Log::line("\t\t test ref = 0");
  for (const Capability& c : kCapabilities) {
    const long enabled = c.capability ? long(f.glIsEnabled(c.capability)) : 0;
    Log::line(QStringLiteral("\t\t %1 is %2").arg(QLatin1String(c.label)).arg(enabled));
  }
  if (previous && previous != &context) previous->makeCurrent();
}

}  // namespace GLContextAdditions
