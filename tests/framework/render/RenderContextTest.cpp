// The offscreen render context and the filter-image context: the draw
// cycle, reshapes, the output texture's life and the effect-chain hand-over.
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/MutableTextureObject.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/render/QKCIGLContext.h"
#include "framework/render/QKGLContext.h"
#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

using image::Image;

namespace {

gl::GLContext* mainContext() { return gl::RenderThread::instance().mainContext(); }

// 2 × 2: red top left, green top right, blue bottom left, white bottom right.
QImage quadrants() {
  QImage image(2, 2, QImage::Format_RGBA8888);
  image.setPixelColor(0, 0, QColor(255, 0, 0));
  image.setPixelColor(1, 0, QColor(0, 255, 0));
  image.setPixelColor(0, 1, QColor(0, 0, 255));
  image.setPixelColor(1, 1, QColor(255, 255, 255));
  return image;
}

// A filter context with a buffer of its size.
struct FilterContext {
  FilterContext(QSizeF size)
      : context(QKCIGLContext::create(mainContext(), &gl::TexturePool::shared(), size)),
        buffer(QKBufferHolder::create(size)) {
    context->setPBufferRef(buffer->bufferRef());
  }
  std::shared_ptr<QKCIGLContext> context;
  QKBufferHolderPtr buffer;
};
}  // namespace

class RenderContextTest : public GLTest {};

TEST_F(RenderContextTest, CreationNeedsTheSharedContextAndTheTextureCache) {
  gl::GLContext* shared = nullptr;
  onRenderThread([&] { shared = mainContext(); });
  gl::TexturePool* cache = &gl::TexturePool::shared();
  EXPECT_EQ(QKGLContext::create(nullptr, cache, QSizeF(4, 4)), nullptr);
  EXPECT_EQ(QKGLContext::create(shared, nullptr, QSizeF(4, 4)), nullptr);
  EXPECT_EQ(QKCIGLContext::create(nullptr, cache, QSizeF(4, 4)), nullptr);
  EXPECT_EQ(QKCIGLContext::create(shared, nullptr, QSizeF(4, 4)), nullptr);
  auto context = QKGLContext::create(shared, cache, QSizeF(4, 4));  // on the main thread
  ASSERT_TRUE(context);
  EXPECT_FALSE(context->initialized());
  EXPECT_TRUE(context->needsReshape());
  EXPECT_EQ(context->customPixelFormat().profile(), QSurfaceFormat::CoreProfile);
}

TEST_F(RenderContextTest, OnlyARealSizeChangeAsksForOneReshape) {
  onRenderThread([&] {
    auto context = QKGLContext::create(mainContext(), &gl::TexturePool::shared(), QSizeF(64, 48));
    context->render();
    EXPECT_TRUE(context->initialized());
    EXPECT_FALSE(context->needsReshape());
    EXPECT_EQ(context->context().viewport(), QRect(0, 0, 64, 48));
    context->setSize(QSizeF(64, 48));
    EXPECT_FALSE(context->needsReshape());
    context->setSize(QSizeF(32.9, 16));
    EXPECT_TRUE(context->needsReshape());
    context->render();
    EXPECT_FALSE(context->needsReshape());
    EXPECT_EQ(context->context().viewport(), QRect(0, 0, 32, 16));
    // y runs downward from the top edge.
    EXPECT_EQ(context->context().projection().map(QPointF(0, 0)), QPointF(-1, 1));
    EXPECT_EQ(context->context().projection().map(QPointF(32, 16)), QPointF(1, -1));
  });
}

TEST_F(RenderContextTest, TheOutputTextureLastsUntilTheNextRenderOrDraw) {
  onRenderThread([&] {
    FilterContext f(QSizeF(2, 2));
    const Image picture = Image::fromTexture(imageTexture(quadrants()));
    f.context->render();
    f.context->drawImage(picture);
    const gl::TextureHandle out = f.context->textureRef();
    ASSERT_TRUE(out);
    EXPECT_TRUE(out.sameTexture(f.buffer->bufferRef()));
    EXPECT_FALSE(out.isFlipped());
    EXPECT_TRUE(near(read(out).pixelColor(0, 0), QColor(255, 0, 0)));
    f.context->render();
    EXPECT_TRUE(f.context->textureRef().isNull());
    f.context->drawImage(picture);
    EXPECT_TRUE(f.context->textureRef());
    f.context->justDrawImage(picture);
    EXPECT_TRUE(f.context->textureRef().isNull()) << "a draw releases the previous output";
    EXPECT_TRUE(out) << "a copy kept by the owner stays valid";
  });
}

TEST_F(RenderContextTest, ADrawWithoutATargetBufferIsSkippedAndLoggedOnce) {
  Log::resetLimits();
  LogCapture log;
  onRenderThread([&] {
    auto context = QKCIGLContext::create(mainContext(), &gl::TexturePool::shared(), QSizeF(4, 4));
    auto other = QKBufferHolder::create(QSizeF(4, 4));
    context->render();
    for (int frame = 0; frame < 100; ++frame) {
      context->drawImage(Image());
      EXPECT_TRUE(context->textureRef().isNull());
    }
    // What was bound before is not drawn into by mistake.
    gl::RenderTarget bound;
    ASSERT_TRUE(bound.bind(other->bufferRef()));
    bound.clear(QVector4D(0, 1, 0, 1));
    context->drawImage(Image());
    bound.detach();
    EXPECT_TRUE(
        near(read(other->bufferRef().withFlipped(false)).pixelColor(1, 1), QColor(0, 255, 0)));
  });
  EXPECT_EQ(log.lines().count("\t\terr attaching buffer"), 1);
}

TEST_F(RenderContextTest, ADeletedContextReleasesItsOutputAndMakesNoMore) {
  onRenderThread([&] {
    FilterContext f(QSizeF(2, 2));
    f.context->render();
    f.context->drawImage(Image());
    ASSERT_TRUE(f.context->textureRef());
    f.context->prepareToBeDeleted();
    EXPECT_TRUE(f.context->textureRef().isNull());
    f.context->render();
    f.context->drawImage(Image());
    EXPECT_TRUE(f.context->textureRef().isNull());
    uchar bitmap[16];
    EXPECT_FALSE(f.context->render(Image(), bitmap, 8, QRectF(0, 0, 2, 2),
                                   image::ImageContext::BitmapFormat::RGBA8));
  });
}

TEST_F(RenderContextTest, AContextLetGoOffTheRenderThreadHandsItsTargetOver) {
  std::shared_ptr<QKCIGLContext> context;
  onRenderThread([&] {
    FilterContext f(QSizeF(4, 4));
    f.context->render();
    f.context->drawImage(Image());  // makes the framebuffer
    context = f.context;
  });
  const std::size_t before = DeferredReleaseArrays::shared().pendingRenderers();
  context.reset();  // main thread
  EXPECT_EQ(DeferredReleaseArrays::shared().pendingRenderers(), before + 1);
  ASSERT_TRUE(gl::RenderThread::instance().runFrameNow());
  EXPECT_EQ(DeferredReleaseArrays::shared().pendingRenderers(), 0u);
}

TEST_F(RenderContextTest, ANullImageClearsToTransparentAndStillGivesATexture) {
  onRenderThread([&] {
    FilterContext f(QSizeF(3, 3));
    f.context->render();
    f.context->drawImage(Image::fromTexture(solidTexture(QSize(3, 3), Qt::red)));
    f.context->render();
    f.context->drawImage(Image());
    ASSERT_TRUE(f.context->textureRef());
    EXPECT_EQ(read(f.context->textureRef()).pixelColor(1, 1).alpha(), 0);
  });
}

TEST_F(RenderContextTest, TheImageIsDrawnFromTheContextsRectangleWhateverItsExtent) {
  onRenderThread([&] {
    FilterContext f(QSizeF(4, 4));
    f.context->render();
    // A 2 × 2 red image at (1, 1): the rest stays transparent.
    f.context->drawImage(Image::fromTexture(solidTexture(QSize(2, 2), Qt::red))
                             .byApplyingTransform(QTransform::fromTranslate(1, 1)));
    QImage out = read(f.context->textureRef());  // top row first
    EXPECT_EQ(out.pixelColor(0, 3).alpha(), 0) << "image-plane (0, 0)";
    EXPECT_TRUE(near(out.pixelColor(1, 2), QColor(255, 0, 0))) << "image-plane (1, 1)";
    EXPECT_EQ(out.pixelColor(3, 0).alpha(), 0);
    // A larger image is cut off at the context's size.
    f.context->render();
    f.context->drawImage(Image::fromTexture(solidTexture(QSize(9, 9), Qt::blue))
                             .byApplyingTransform(QTransform::fromTranslate(-2, -2)));
    out = read(f.context->textureRef());
    for (QPoint p : {QPoint(0, 0), QPoint(3, 3), QPoint(0, 3)})
      EXPECT_TRUE(near(out.pixelColor(p), QColor(0, 0, 255)));
  });
}

// The buffer holds opaque yellow from an earlier frame: whatever is drawn
// next, none of it may show through, neither under half-transparent pixels
// nor where the image or the context's size does not reach.
TEST_F(RenderContextTest, NothingOfTheBuffersEarlierPixelsShowsThrough) {
  struct Case {
    const char* name;
    QSizeF contextSize;
    QSize bufferSize;
    QColor colour;  // the image's, 4 × 4 at `offset`; invalid: no image
    QPointF offset;
    QPoint probe;  // top row first, in the buffer
    QColor expected;
  };
  const QColor red(255, 0, 0, 128);
  const QColor none(0, 0, 0, 0);
  const QSize four(4, 4);
  const Case cases[] = {
      {"a half-transparent image over all of it", QSizeF(four), four, red, {}, {1, 1}, red},
      {"an image of a smaller extent", QSizeF(four), four, red, {2, 2}, {0, 3}, none},
      {"beyond a context smaller than its buffer", QSizeF(2, 2), four, red, {}, {3, 0}, none},
      {"within a context smaller than its buffer", QSizeF(2, 2), four, red, {}, {0, 3}, red},
      {"a fractional size short of the buffer", QSizeF(3.4, 3.4), four, red, {}, {3, 0}, none},
      {"a fractional size reaching the buffer", QSizeF(3.6, 3.6), four, red, {}, {3, 0}, red},
      {"no image", QSizeF(four), four, QColor(), {}, {2, 2}, none},
  };
  onRenderThread([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      auto context =
          QKCIGLContext::create(mainContext(), &gl::TexturePool::shared(), c.contextSize);
      auto buffer = QKBufferHolder::create(QSizeF(c.bufferSize));
      gl::RenderTarget earlier;
      ASSERT_TRUE(earlier.bind(buffer->bufferRef()));
      earlier.clear(QVector4D(1, 1, 0, 1));
      earlier.detach();
      context->setPBufferRef(buffer->bufferRef());
      context->render();
      const Image image =
          c.colour.isValid()
              ? Image::fromTexture(solidTexture(four, c.colour))
                    .byApplyingTransform(QTransform::fromTranslate(c.offset.x(), c.offset.y()))
              : Image();
      context->drawImage(image);
      ASSERT_TRUE(context->textureRef());
      EXPECT_TRUE(near(read(context->textureRef()).pixelColor(c.probe), c.expected));
    }
  });
}

TEST_F(RenderContextTest, AfterASizeChangeTheFirstRenderMakesANewImageContext) {
  onRenderThread([&] {
    auto context = QKCIGLContext::create(mainContext(), &gl::TexturePool::shared(), QSizeF(2, 2));
    context->render();
    image::ImageContext* first = context->ciContext();
    context->render();
    EXPECT_EQ(context->ciContext(), first) << "no size change, no new context";
    context->setSize(QSizeF(4, 4));
    auto bigger = QKBufferHolder::create(QSizeF(4, 4));
    context->setPBufferRef(bigger->bufferRef());
    context->render();
    EXPECT_NE(context->ciContext(), nullptr);
    context->drawImage(Image::fromTexture(solidTexture(QSize(4, 4), Qt::green)));
    EXPECT_TRUE(near(read(context->textureRef()).pixelColor(3, 0), QColor(0, 255, 0)))
        << "drawn from the new size's rectangle";
  });
}

// A layer's frame through two filter effects with rotating buffers, each
// effect wrapping the previous output as the next input: the picture must
// come out upright and never be drawn into the buffer it is read from.
TEST_F(RenderContextTest, AnEffectChainThroughRotatingBuffersKeepsThePictureUpright) {
  onRenderThread([&] {
    const QSizeF size(2, 2);
    const QVariantMap buffers{
        {QKBufferHolder::kRetainKey, 1},
        {QKBufferHolder::kBufferAKey, QVariant::fromValue(QKBufferHolder::create(size))},
        {QKBufferHolder::kBufferBKey, QVariant::fromValue(QKBufferHolder::create(size))},
        {QKBufferHolder::kBufferCKey, QVariant::fromValue(QKBufferHolder::create(size))}};
    auto frame = MutableTextureObject::create(imageTexture(quadrants()), buffers);
    ASSERT_TRUE(frame);
    auto first = QKCIGLContext::create(mainContext(), &gl::TexturePool::shared(), size);
    auto second = QKCIGLContext::create(mainContext(), &gl::TexturePool::shared(), size);
    auto controls = image::FilterRegistry::shared().filterWithName("CIColorControls");
    for (auto* effect : {first.get(), second.get()}) {
      const gl::TextureHandle in = frame->textureRef();
      const Image input = Image::withTexture(in, QSizeF(in.size()), !in.isFlipped());
      effect->setPBufferRef(frame->bufferARef());
      frame->rotateXBuffers(1);
      ASSERT_FALSE(effect->pBufferRef().sameTexture(in));
      effect->render();
      controls->setValue(QVariant::fromValue(input), "inputImage");
      effect->drawImage(controls->outputImage());
      effect->setPBufferRef({});
      frame->setTextureRef(effect->textureRef());
    }
    const QImage out = read(frame->textureRef());
    EXPECT_TRUE(near(out.pixelColor(0, 0), QColor(255, 0, 0)));
    EXPECT_TRUE(near(out.pixelColor(1, 0), QColor(0, 255, 0)));
    EXPECT_TRUE(near(out.pixelColor(0, 1), QColor(0, 0, 255)));
    EXPECT_TRUE(near(out.pixelColor(1, 1), QColor(255, 255, 255)));
  });
}
