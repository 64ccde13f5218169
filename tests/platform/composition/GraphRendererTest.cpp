#include "tests/platform/composition/CompositionFixture.h"

#include "platform/composition/CompositionFormat.h"

using namespace composition;

namespace {

const char* kTintSource = R"(
uniform vec4 colour;
uniform float amount;
vec4 shaderMain() { return vec4(colour.rgb * amount, colour.a); }
)";

}  // namespace

TEST_F(CompositionFixture, TypedInputsReachUniforms) {
  const auto doc = document(file(
      state({splitter("c", "QCColorPort"), splitter("a", "QCNumberPort", 1.0),
             shader("s", kTintSource)},
            {connection("c", "output", "s", "colour"), connection("a", "output", "s", "amount")},
            {port("colour", "c", "input"), port("amount", "a", "input")}),
      "s"));
  ASSERT_TRUE(doc);
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  EXPECT_EQ(renderer->inputKeys(), (QStringList{"colour", "amount"}));
  EXPECT_TRUE(renderer->setColor("colour", QColor(200, 100, 50)));
  EXPECT_TRUE(renderer->setNumber("amount", 0.5));
  const QImage out = render(*renderer);
  ASSERT_FALSE(out.isNull());
  EXPECT_TRUE(near(out.pixelColor(1, 1), QColor(100, 50, 25)));
}
