#include "app/sources/SourceImageFeed.h"

#include "framework/render/DeferredReleaseArrays.h"
#include "platform/composition/QCRenderer.h"

#include <gtest/gtest.h>

namespace {

using composition::PortValue;

// A renderer with one image input that counts what it is given.
class ImageInputRenderer : public composition::QCRenderer {
 public:
  QStringList inputKeys() const override { return {SourceImageFeed::kInputKey}; }
  QStringList outputKeys() const override { return {}; }
  std::optional<composition::PortType> inputType(const QString& key) const override {
    if (key == SourceImageFeed::kInputKey) return composition::PortType::Image;
    return std::nullopt;
  }
  std::optional<composition::PortType> outputType(const QString&) const override {
    return std::nullopt;
  }
  bool setValue(const QString&, const PortValue& value) override {
    value.isEmpty() ? ++clears : ++sets;
    return true;
  }
  bool renderAtTime(double, Compositing) override { return true; }
  QVariant valueForOutputKey(const QString&) const override { return {}; }
  gl::TextureHandle imageForOutputKey(const QString&) const override { return {}; }
  int sets = 0, clears = 0;
};

QKImageFile::Bitmap bitmap() { return std::make_shared<const QImage>(4, 4, QImage::Format_ARGB32); }

// Whether the deferred buffer array still holds `weak` after it is purged
// the full number of times (it then lets go).
bool releasedThroughTheArray(std::weak_ptr<const QImage> weak) {
  if (weak.expired()) return false;
  for (int i = 0; i < DeferredReleaseArrays::kBufferPurges; ++i)
    DeferredReleaseArrays::shared().purgeBuffers();
  return weak.expired();
}

TEST(SourceImageFeed, ABitmapIsPendingUntilTheNextDrawReplacementOrUnload) {
  // nil while one is held: pending until the draw.
  {
    SourceImageFeed feed;
    auto first = bitmap();
    feed.take(first);
    std::weak_ptr<const QImage> weak = first;
    first.reset();
    feed.take(nullptr);
    EXPECT_EQ(feed.pending().get(), weak.lock().get());
    feed.afterDraw();
    EXPECT_EQ(feed.pending(), nullptr);
    EXPECT_TRUE(releasedThroughTheArray(weak));
  }
  // Two replacements before a draw: the first goes at the second.
  {
    SourceImageFeed feed;
    auto a = bitmap(), b = bitmap(), c = bitmap();
    feed.take(a);
    feed.take(b);
    feed.take(c);
    std::weak_ptr<const QImage> weakA = a, weakB = b;
    a.reset();
    b.reset();
    EXPECT_EQ(feed.pending().get(), weakB.lock().get());
    EXPECT_TRUE(releasedThroughTheArray(weakA));
    feed.afterDraw();
    EXPECT_TRUE(releasedThroughTheArray(weakB));
    EXPECT_EQ(feed.held(), c);
  }
  // Unloading the composition releases a pending bitmap at once; the held
  // one stays for the next composition.
  {
    SourceImageFeed feed;
    auto a = bitmap(), b = bitmap();
    feed.take(a);
    feed.take(b);
    std::weak_ptr<const QImage> weakA = a;
    a.reset();
    feed.fileChanged(true);
    EXPECT_EQ(feed.pending(), nullptr);
    EXPECT_TRUE(releasedThroughTheArray(weakA));
    EXPECT_EQ(feed.held(), b);
  }
}

TEST(SourceImageFeed, ABitmapReachesTheRendererOncePerChangeAndPerRenderer) {
  SourceImageFeed feed;
  ImageInputRenderer renderer, next;
  auto a = bitmap();
  ASSERT_TRUE(feed.take(a));
  for (int frame = 0; frame < 5; ++frame) {
    feed.beforeRender(&renderer);
    feed.afterRender(&renderer);
    feed.afterDraw();
  }
  EXPECT_EQ(renderer.sets, 1);
  // The same bitmap again is refused and changes nothing.
  EXPECT_FALSE(feed.take(a));
  EXPECT_EQ(feed.pending(), nullptr);
  // A new composition's renderer gets it at its first frame.
  feed.fileChanged(false);
  feed.beforeRender(&next);
  feed.afterRender(&next);
  EXPECT_EQ(next.sets, 1);
  // A replacement clears the input before the old bitmap goes, then feeds.
  feed.take(bitmap());
  feed.beforeRender(&next);
  feed.afterRender(&next);
  EXPECT_EQ(next.clears, 1);
  EXPECT_EQ(next.sets, 2);
  EXPECT_EQ(feed.feeds(), 3);
}

}  // namespace
