#include "framework/datasource/DSColorHolder.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/QKDSBuiltIn.h"
#include "tests/framework/datasource/DataSourceFakes.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include <atomic>

namespace {

const QString kZaph = QStringLiteral("ZAPH");

class Swatch : public DSColorHolderDelegate {
 public:
  float rValForColorHolder(DSColorHolder*) override { return ++calls, r; }
  float gValForColorHolder(DSColorHolder*) override { return ++calls, g; }
  float bValForColorHolder(DSColorHolder*) override { return ++calls, b; }
  float r = 0.1f, g = 0.2f, b = 0.3f;
  std::atomic<int> calls{0};
};

class ComponentHolders : public testing::Test {
 protected:
  std::shared_ptr<RecordingTarget> subscribed(const KeyPath& path) {
    auto target = std::make_shared<RecordingTarget>();
    EXPECT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received, path));
    return target;
  }
  std::shared_ptr<DSColorHolder> colorAt(const KeyPath& path) {
    const auto holder = DSColorHolder::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(holder, path));
    return holder;
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

TEST_F(ComponentHolders, PlacingAColorHolderMakesItsChildrenOnce) {
  const auto holder = colorAt({kZaph, "swatch"});
  std::vector<std::shared_ptr<DataSource>> children;
  for (const char* name : {"R", "G", "B"}) {
    const auto child = dsc.dataSourceForKeyArray({kZaph, "swatch", name});
    ASSERT_NE(child, nullptr) << name;
    EXPECT_EQ(child->sourceType(), DSType::FloatFrequent);
    EXPECT_NE(child->setCall(), nullptr);
    children.push_back(child);
  }
  ASSERT_TRUE(dsc.changeNameFrom({kZaph, "swatch"}, {"Moved"}));
  EXPECT_EQ(holder->elementDictCount(), 3u);
  EXPECT_EQ(dsc.dataSourceForKeyArray({"Moved", "R"}), children[0]);
  EXPECT_EQ(dsc.dataSourceForKeyArray({"Moved", "B"}), children[2]);
}

TEST_F(ComponentHolders, WithoutADelegateNothingIsDelivered) {
  colorAt({kZaph, "swatch"});
  const auto target = subscribed({kZaph, "swatch", "R"});
  target->values();
  const auto atSubscription = target->values().size();
  dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(target->values().size(), atSubscription);
}

TEST_F(ComponentHolders, EveryComponentIsDeliveredEveryTickChangedOrNot) {
  const auto holder = colorAt({kZaph, "swatch"});
  const auto swatch = std::make_shared<Swatch>();
  holder->setDelegate(swatch);
  const auto r = subscribed({kZaph, "swatch", "R"});
  const auto g = subscribed({kZaph, "swatch", "G"});
  const auto b = subscribed({kZaph, "swatch", "B"});
  dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(r->values(), (std::vector<float>{0.0f, 0.1f, 0.1f}));
  EXPECT_EQ(g->values(), (std::vector<float>{0.0f, 0.2f, 0.2f}));
  EXPECT_EQ(b->values(), (std::vector<float>{0.0f, 0.3f, 0.3f}));
}

TEST_F(ComponentHolders, NoPullAfterDeletionOrOnceTheDelegateIsGone) {
  const auto deleted = colorAt({kZaph, "deleted"});
  const auto kept = colorAt({kZaph, "kept"});
  const auto swatch = std::make_shared<Swatch>();
  deleted->setDelegate(swatch);
  dsc.threadProc();
  const int perTick = swatch->calls.load();
  EXPECT_EQ(perTick, 3);
  ASSERT_TRUE(dsc.setDataSource(nullptr, {kZaph, "deleted"}));
  dsc.threadProc();
  EXPECT_EQ(swatch->calls.load(), perTick);

  auto gone = std::make_shared<Swatch>();
  kept->setDelegate(gone);
  gone.reset();
  dsc.threadProc();  // the holder does not call a delegate that went away
}

TEST_F(ComponentHolders, APointHolderPullsXAndY) {
  struct Pointer : DSPointHolderDelegate {
    float xValForPointHolder(DSPointHolder*) override { return 0.25f; }
    float yValForPointHolder(DSPointHolder*) override { return 0.75f; }
  };
  const auto holder = DSPointHolder::createWithName("pos");
  ASSERT_TRUE(dsc.setDataSource(holder, {kZaph, "pos"}));
  const auto pointer = std::make_shared<Pointer>();
  holder->setDelegate(pointer);
  const auto x = subscribed({kZaph, "pos", "X"});
  const auto y = subscribed({kZaph, "pos", "Y"});
  dsc.threadProc();
  EXPECT_EQ(x->values().back(), 0.25f);
  EXPECT_EQ(y->values().back(), 0.75f);
  EXPECT_EQ(holder->elementDictCount(), 2u);
}

struct PointerCase {
  const char* name;
  QPointF global;
  QRectF mainDisplay;
  QPointF normalized;
};
void PrintTo(const PointerCase& c, std::ostream* os) { *os << c.name; }

class MousePosition : public testing::TestWithParam<PointerCase> {};

TEST_P(MousePosition, IsMeasuredFromTheMainDisplaysLowerLeftCorner) {
  const PointerCase& c = GetParam();
  const QPointF result = QKDSBuiltIn::normalizedPointer(c.global, c.mainDisplay);
  EXPECT_DOUBLE_EQ(result.x(), c.normalized.x());
  EXPECT_DOUBLE_EQ(result.y(), c.normalized.y());
}

INSTANTIATE_TEST_SUITE_P(
    Positions, MousePosition,
    testing::Values(
        PointerCase{"UpperRight", {1920, 0}, {0, 0, 1920, 1080}, {1.0, 1.0}},
        PointerCase{"LowerLeft", {0, 1080}, {0, 0, 1920, 1080}, {0.0, 0.0}},
        PointerCase{"Centre", {960, 540}, {0, 0, 1920, 1080}, {0.5, 0.5}},
        PointerCase{"MainDisplayNotAtTheOrigin", {1280, 300}, {1024, 0, 1024, 600}, {0.25, 0.5}},
        PointerCase{"AnotherDisplayFallsOutside", {2880, 540}, {0, 0, 1920, 1080}, {1.5, 0.5}},
        PointerCase{"NoDisplay", {100, 100}, {}, {0.0, 0.0}}),
    [](const testing::TestParamInfo<PointerCase>& info) { return std::string(info.param.name); });

TEST_F(ComponentHolders, TheMouseIsDeliveredEveryTick) {
  QKDSBuiltIn* mouse = dsc.builtInDataSources();
  ASSERT_NE(mouse, nullptr);
  const QRectF display = mouse->displayRect();
  if (display.isEmpty()) GTEST_SKIP() << "no screen";
  mouse->setGlobalPointerPosition(QPointF(display.right(), display.top()));
  const auto x = subscribed({"Mouse", "X"});
  const auto y = subscribed({"Mouse", "Y"});
  dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(x->values(), (std::vector<float>{0.0f, 1.0f, 1.0f}));
  EXPECT_EQ(y->values(), (std::vector<float>{0.0f, 1.0f, 1.0f}));
}

TEST(MainDisplayIdentifier, IsTheSameInEveryRunAndTellsMonitorsAndConnectorsApart) {
  struct Case {
    const char* name;
    const char* serialNumber;
    std::uint32_t identifier;
  };
  // Fixed values: a per-process seeded hash would change them from run to run.
  const Case cases[] = {
      {"DP-1", "", 0x465cda03u},
      {"DP-1", "ABC123", 0x7521c256u},
      {"HDMI-1", "ABC123", 0x7f43a106u},
      // Where the name ends and the serial number begins matters.
      {"ab", "c", 0xa7b41edcu},
      {"a", "bc", 0x0a61d1bcu},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QKDSBuiltIn::displayIdentifier(c.name, c.serialNumber), c.identifier)
        << c.name << " / " << c.serialNumber;
}

TEST_F(ComponentHolders, TheMouseSourceKeepsTheMainDisplayItWasMadeOn) {
  QKDSBuiltIn* mouse = dsc.builtInDataSources();
  ASSERT_NE(mouse, nullptr);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) {
    EXPECT_EQ(mouse->mainDisplay(), 0u);
    EXPECT_TRUE(mouse->displayRect().isEmpty());
    return;
  }
  EXPECT_EQ(mouse->mainDisplay(),
            QKDSBuiltIn::displayIdentifier(screen->name(), screen->serialNumber()));
  EXPECT_NE(mouse->mainDisplay(), 0u);
  EXPECT_EQ(mouse->displayRect(), QRectF(screen->geometry()));
}

TEST_F(ComponentHolders, ThePointerIsSampledOnTheMainThreadByTheControllersTimer) {
  QKDSBuiltIn* mouse = dsc.builtInDataSources();
  const QRectF display = mouse->displayRect();
  if (display.isEmpty()) GTEST_SKIP() << "no screen";
  // Not the centre, where a new X server puts the pointer.
  const QPoint spot(static_cast<int>(display.left() + display.width() / 4),
                    static_cast<int>(display.top() + display.height() / 4));
  QCursor::setPos(spot);
  if (QCursor::pos() != spot) GTEST_SKIP() << "this platform does not move the pointer";
  const QPointF expected = QKDSBuiltIn::normalizedPointer(spot, display);
  const auto x = subscribed({"Mouse", "X"});
  QElapsedTimer waited;
  waited.start();
  while (mouse->xValForPointHolder(nullptr) != static_cast<float>(expected.x()) &&
         waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  dsc.threadProc();
  EXPECT_FLOAT_EQ(x->values().back(), static_cast<float>(expected.x()));
  EXPECT_FLOAT_EQ(mouse->yValForPointHolder(nullptr), static_cast<float>(expected.y()));
}

}  // namespace
