#include "framework/render/MutableTextureObject.h"
#include "framework/render/QKBufferHolder.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

namespace {

QVariant holder(QSizeF size = QSizeF(8, 4)) {
  return QVariant::fromValue(QKBufferHolder::create(size));
}

QVariantMap goodDict() {
  return {{"QKBufferRetainKey", 1},
          {"QKBufferAKey", holder()},
          {"QKBufferBKey", holder()},
          {"QKBufferCKey", holder()}};
}
}  // namespace

TEST(QKBufferHolder, HoldsABufferOfTheSizeWithFractionsCutOff) {
  auto made = QKBufferHolder::create(QSizeF(640.7, 480.2));
  ASSERT_TRUE(made);
  EXPECT_EQ(made->bufferRef().size(), QSize(640, 480));
  EXPECT_FALSE(made->bufferRef().isFlipped());
}

TEST(QKBufferHolder, ASizeNoBufferCanHaveIsLoggedWithTheRequestedSize) {
  struct Case {
    QSizeF size;
    const char* logged;
  };
  const Case cases[] = {
      {QSizeF(-3, 5), "\t\terr -6661 while creating buffer sized -3.000000 x 5.000000"},
      {QSizeF(0, 0), "\t\terr -6661 while creating buffer sized 0.000000 x 0.000000"},
      {QSizeF(0.5, 10), "\t\terr -6661 while creating buffer sized 0.500000 x 10.000000"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(QKBufferHolder::create(c.size), nullptr);
    EXPECT_EQ(log.lines(), QStringList{c.logged});
  }
}

TEST(MutableTextureObject, IsMadeOnlyFromACompleteBufferDictionary) {
  struct Case {
    const char* what;
    std::function<void(QVariantMap&)> spoil;
  };
  const std::vector<Case> cases = {
      {"retain count absent", [](QVariantMap& d) { d.remove("QKBufferRetainKey"); }},
      {"retain count 0", [](QVariantMap& d) { d["QKBufferRetainKey"] = 0; }},
      {"retain count negative", [](QVariantMap& d) { d["QKBufferRetainKey"] = -2; }},
      {"retain count as text", [](QVariantMap& d) { d["QKBufferRetainKey"] = "3"; }},
      {"buffer A absent", [](QVariantMap& d) { d.remove("QKBufferAKey"); }},
      {"buffer B absent", [](QVariantMap& d) { d.remove("QKBufferBKey"); }},
      {"buffer C not a holder", [](QVariantMap& d) { d["QKBufferCKey"] = 7; }},
      {"buffer A an empty holder",
       [](QVariantMap& d) { d["QKBufferAKey"] = QVariant::fromValue(QKBufferHolderPtr()); }},
      {"no dictionary", [](QVariantMap& d) { d.clear(); }},
  };
  for (const Case& c : cases) {
    QVariantMap dict = goodDict();
    c.spoil(dict);
    LogCapture log;
    EXPECT_EQ(MutableTextureObject::create({}, dict), nullptr) << c.what;
    EXPECT_EQ(log.lines(), QStringList{"\t\terr: MutableTextureObject init bailing"}) << c.what;
  }
  const QVariantMap dict = goodDict();
  auto object = MutableTextureObject::create({}, dict);
  ASSERT_TRUE(object);
  EXPECT_TRUE(object->bufferARef().sameTexture(
      dict["QKBufferAKey"].value<QKBufferHolderPtr>()->bufferRef()));
  EXPECT_TRUE(object->bufferCRef().sameTexture(
      dict["QKBufferCKey"].value<QKBufferHolderPtr>()->bufferRef()));
  EXPECT_FALSE(object->questionableColors());
  EXPECT_TRUE(object->textureRef().isNull());
  EXPECT_EQ(object->description(), "<MutTex: (null)>");
}

TEST(MutableTextureObject, RotationMovesTheThreeBuffers) {
  const QVariantMap dict = goodDict();
  const gl::TextureHandle a = dict["QKBufferAKey"].value<QKBufferHolderPtr>()->bufferRef();
  const gl::TextureHandle b = dict["QKBufferBKey"].value<QKBufferHolderPtr>()->bufferRef();
  const gl::TextureHandle c = dict["QKBufferCKey"].value<QKBufferHolderPtr>()->bufferRef();
  struct Case {
    std::vector<int> rotations;
    gl::TextureHandle expectedA, expectedB, expectedC;
  };
  const std::vector<Case> cases = {
      {{1}, b, c, a},  {{2}, c, a, b},    {{0}, a, b, c},    {{3}, a, b, c},
      {{-1}, a, b, c}, {{1, 1}, c, a, b}, {{1, 2}, a, b, c}, {{1, 1, 1}, a, b, c},
  };
  for (const Case& k : cases) {
    auto object = MutableTextureObject::create({}, dict);
    for (int n : k.rotations) object->rotateXBuffers(n);
    EXPECT_TRUE(object->bufferARef().sameTexture(k.expectedA));
    EXPECT_TRUE(object->bufferBRef().sameTexture(k.expectedB));
    EXPECT_TRUE(object->bufferCRef().sameTexture(k.expectedC));
  }
}
