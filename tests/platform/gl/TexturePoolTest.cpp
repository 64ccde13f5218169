#include "platform/gl/TexturePool.h"

#include "platform/gl/GLContext.h"
#include "tests/support/GLTest.h"

using gl::TextureHandle;
using gl::TexturePool;

class TexturePoolTest : public GLTest {};

TEST_F(TexturePoolTest, ATextureReturnsAfterItsLastHandleAndIsHandedOutAgain) {
  TexturePool pool;
  onRenderThread([&] {
    TextureHandle first = pool.acquire(QSize(32, 16));
    const GLuint name = first.name();
    ASSERT_NE(name, 0u);
    TextureHandle copy = first;
    first.reset();
    EXPECT_EQ(pool.idleCount(), 0u) << "a copy still holds it";
    TextureHandle other = pool.acquire(QSize(32, 16));
    EXPECT_NE(other.name(), name) << "in use: not handed out twice";
    copy.reset();
    EXPECT_EQ(pool.idleCount(), 1u);
    TextureHandle again = pool.acquire(QSize(32, 16));
    EXPECT_EQ(again.name(), name);
    EXPECT_EQ(pool.createdCount(), 2u);
  });
}

TEST_F(TexturePoolTest, TexturesAreKeptApartBySizeTargetAndFormat) {
  TexturePool pool;
  onRenderThread([&] {
    const GLuint name = pool.acquire(QSize(8, 8)).name();
    ASSERT_EQ(pool.idleCount(), 1u);
    struct Case {
      QSize size;
      gl::TextureTarget target;
      gl::TextureFormat format;
    };
    const Case others[] = {
        {QSize(8, 9), gl::TextureTarget::Texture2D, gl::TextureFormat::RGBA8},
        {QSize(8, 8), gl::TextureTarget::Rectangle, gl::TextureFormat::RGBA8},
        {QSize(8, 8), gl::TextureTarget::Texture2D, gl::TextureFormat::RGBA16F},
    };
    for (const Case& c : others) {
      TextureHandle handle = pool.acquire(c.size, c.target, c.format);
      EXPECT_NE(handle.name(), name);
      EXPECT_EQ(handle.size(), c.size);
    }
    EXPECT_EQ(pool.acquire(QSize(8, 8)).name(), name);
  });
}

TEST_F(TexturePoolTest, EmptyAndOversizedRequestsGiveNoTexture) {
  TexturePool pool;
  pool.setMaxTextureSize(1024);
  for (const QSize size : {QSize(0, 10), QSize(10, 0), QSize(-4, 4), QSize(1025, 4)})
    EXPECT_TRUE(pool.acquire(size).isNull()) << size.width() << "x" << size.height();
  EXPECT_FALSE(pool.acquire(QSize(1024, 1)).isNull());
}

TEST_F(TexturePoolTest, IdleTexturesAreDeletedAfterTheirIdleTrims) {
  TexturePool pool;
  GLuint name = 0;
  onRenderThread([&] {
    name = pool.acquire(QSize(4, 4)).name();
    pool.trim(2);
    pool.trim(2);
    EXPECT_EQ(pool.idleCount(), 1u);
    EXPECT_TRUE(gl::GLContext::current()->functions().glIsTexture(name));
    pool.trim(2);
    EXPECT_EQ(pool.idleCount(), 0u);
    EXPECT_FALSE(gl::GLContext::current()->functions().glIsTexture(name));
  });
}

TEST_F(TexturePoolTest, HandlesMadeOffTheRenderThreadGetTheirStorageThere) {
  TexturePool pool;
  TextureHandle handle = pool.acquire(QSize(16, 16));  // main thread: no GL call
  ASSERT_FALSE(handle.isNull());
  EXPECT_FALSE(handle.storage()->hasName());
  onRenderThread([&] { EXPECT_NE(handle.name(), 0u); });
  handle.reset();  // given back from the main thread
  EXPECT_EQ(pool.idleCount(), 1u);
}
