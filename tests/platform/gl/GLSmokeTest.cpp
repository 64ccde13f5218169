// The OpenGL the renderer needs: a 3.3 core context on the display's
// platform, rendering into a framebuffer object that reads back exactly.
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLVersionFunctionsFactory>
#include <QSurfaceFormat>

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr int kSize = 64;

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec2 position;
void main() { gl_Position = vec4(position, 0.0, 1.0); }
)";

const char* kFragmentShader = R"(#version 330 core
out vec4 colour;
void main() { colour = vec4(0.0, 1.0, 0.0, 1.0); }
)";

using Pixel = std::array<int, 4>;

class GLSmokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
      GTEST_SKIP() << "the " << platform.toStdString()
                   << " platform has no OpenGL; run under Xvfb with QT_QPA_PLATFORM=xcb";
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    context.setFormat(format);
    ASSERT_TRUE(context.create()) << "no OpenGL 3.3 core context on " << platform.toStdString();
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(surface.isValid());
    ASSERT_TRUE(context.makeCurrent(&surface));
    gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(&context);
    ASSERT_NE(gl, nullptr);
  }
  void TearDown() override {
    if (context.isValid()) context.doneCurrent();
  }

  GLuint compile(GLenum type, const char* source) {
    const GLuint shader = gl->glCreateShader(type);
    gl->glShaderSource(shader, 1, &source, nullptr);
    gl->glCompileShader(shader);
    GLint ok = 0;
    gl->glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char log[1024] = {};
      gl->glGetShaderInfoLog(shader, sizeof log, nullptr, log);
      ADD_FAILURE() << "shader does not compile: " << log;
    }
    return shader;
  }

  Pixel pixelAt(const std::vector<unsigned char>& pixels, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * kSize + static_cast<size_t>(x)) * 4;
    return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
  }

  QOpenGLContext context;
  QOffscreenSurface surface;
  QOpenGLFunctions_3_3_Core* gl = nullptr;
};

}  // namespace

TEST_F(GLSmokeTest, CoreContextRendersIntoAFramebufferAndReadsBack) {
  EXPECT_GE(context.format().version(), qMakePair(3, 3));
  EXPECT_EQ(context.format().profile(), QSurfaceFormat::CoreProfile);
  const auto* renderer = reinterpret_cast<const char*>(gl->glGetString(GL_RENDERER));
  ASSERT_NE(renderer, nullptr);
  EXPECT_STRNE(renderer, "");

  QOpenGLFramebufferObject fbo(kSize, kSize);
  ASSERT_TRUE(fbo.isValid());
  ASSERT_TRUE(fbo.bind());
  gl->glViewport(0, 0, kSize, kSize);
  gl->glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  gl->glClear(GL_COLOR_BUFFER_BIT);

  // A green quad over the left half.
  const GLuint program = gl->glCreateProgram();
  const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
  const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader);
  gl->glAttachShader(program, vertex);
  gl->glAttachShader(program, fragment);
  gl->glLinkProgram(program);
  GLint linked = 0;
  gl->glGetProgramiv(program, GL_LINK_STATUS, &linked);
  ASSERT_TRUE(linked);
  const GLfloat quad[] = {-1.f, -1.f, 0.f, -1.f, 0.f, 1.f, -1.f, 1.f};
  GLuint vao = 0, vbo = 0;
  gl->glGenVertexArrays(1, &vao);
  gl->glBindVertexArray(vao);
  gl->glGenBuffers(1, &vbo);
  gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
  gl->glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
  gl->glEnableVertexAttribArray(0);
  gl->glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  gl->glUseProgram(program);
  gl->glDrawArrays(GL_TRIANGLE_FAN, 0, 4);

  std::vector<unsigned char> pixels(kSize * kSize * 4);
  gl->glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  EXPECT_EQ(gl->glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  const Pixel green{0, 255, 0, 255};
  const Pixel cleared{51, 102, 153, 255};
  EXPECT_EQ(pixelAt(pixels, 4, 4), green);
  EXPECT_EQ(pixelAt(pixels, kSize / 2 - 2, kSize - 4), green);
  EXPECT_EQ(pixelAt(pixels, kSize / 2 + 2, 4), cleared);
  EXPECT_EQ(pixelAt(pixels, kSize - 4, kSize - 4), cleared);

  gl->glDeleteBuffers(1, &vbo);
  gl->glDeleteVertexArrays(1, &vao);
  gl->glDeleteProgram(program);
  gl->glDeleteShader(vertex);
  gl->glDeleteShader(fragment);
  fbo.release();
}
