#include "framework/render/QKBufferHolder.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/TexturePool.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {

const QString kEmpty = QKTapManager::kEmptyDeselectedString;

gl::TextureHandle frame(QSize size = QSize(4, 4)) {
  return gl::TexturePool::shared().acquire(size);
}

// The sources and receivers of one test, by index, and the checks of the
// registry's invariant against them.
class Taps {
 public:
  explicit Taps(QKTapManager& manager) : manager_(manager) {}
  ~Taps() {
    for (auto& [index, source] : sources_) source->prepareToBeDeleted();
    for (auto& [index, receiver] : receivers_) receiver->prepareToBeDeleted();
  }

  void source(int index, const QString& name) {
    layers_[index] = std::make_unique<FakeLayer>(name);
    sources_[index] = QKSTap::create(layers_[index].get());
  }
  void receiver(int index, const QString& name) {
    if (!receivers_.count(index)) receivers_[index] = QKRTap::create();
    receivers_[index]->useTapNamed(name);
  }
  void removeSource(int index) { sources_.at(index)->prepareToBeDeleted(); }
  void removeReceiver(int index) {
    receivers_.at(index)->prepareToBeDeleted();
    receivers_.erase(index);
  }
  void renameSource(int index, const QString& name) { sources_.at(index)->changeTapNameTo(name); }
  QKSTap& sourceAt(int index) { return *sources_.at(index); }
  QKRTap& receiverAt(int index) { return *receivers_.at(index); }

  // "name=source index" for every stub, sorted.
  QString stubs() const {
    QStringList entries;
    const auto table = manager_.rTapStubDict();
    for (auto it = table.cbegin(); it != table.cend(); ++it)
      entries << QStringLiteral("%1=%2").arg(it.key()).arg(indexOf(it.value()->sTap()));
    entries.sort();
    return entries.join(QLatin1Char(','));
  }

  // A stub exactly while a name has a source and receivers; the source and
  // every receiver of the name share it; everyone else has none.
  void expectInvariant() const {
    const auto table = manager_.rTapStubDict();
    for (const auto& [index, source] : sources_) {
      const QString name = source->tapName();
      SCOPED_TRACE(("source " + name).toStdString());
      if (manager_.sTapNamed(name) != source.get()) {  // removed, displaced or nameless
        EXPECT_EQ(source->stub(), nullptr);
        continue;
      }
      const bool served = !manager_.rTapsForName(name).empty();
      EXPECT_EQ(served, table.contains(name));
      EXPECT_EQ(source->stub(), served ? table.value(name) : nullptr);
      if (served) {
        EXPECT_EQ(table.value(name)->sTap(), source.get());
      }
    }
    for (const auto& [index, receiver] : receivers_) {
      const QString name = receiver->lastSelectedTapName();
      const auto listed = manager_.rTapsForName(name);
      SCOPED_TRACE(("receiver of " + name).toStdString());
      EXPECT_EQ(QKTapManager::isValidTapName(name),
                std::count(listed.begin(), listed.end(), receiver.get()) == 1);
      EXPECT_EQ(receiver->stub(), table.value(name));
    }
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
      EXPECT_NE(manager_.sTapNamed(it.key()), nullptr) << it.key().toStdString();
      EXPECT_FALSE(manager_.rTapsForName(it.key()).empty()) << it.key().toStdString();
    }
  }

 private:
  int indexOf(const QKSTap* tap) const {
    for (const auto& [index, source] : sources_)
      if (source.get() == tap) return index;
    return -1;
  }

  QKTapManager& manager_;
  std::map<int, std::unique_ptr<FakeLayer>> layers_;
  std::map<int, std::shared_ptr<QKSTap>> sources_;
  std::map<int, std::shared_ptr<QKRTap>> receivers_;
};

enum class Op { Source, Receiver, RemoveSource, RemoveReceiver, RenameSource };

struct Step {
  Op op;
  int index;
  QString name;
  QString stubs;  // expected after the step
};

struct Sequence {
  const char* label;
  std::vector<Step> steps;
};

void PrintTo(const Sequence& sequence, std::ostream* os) { *os << sequence.label; }

const Sequence kSequences[] = {
    {"ReceiverBeforeSource",
     {{Op::Receiver, 0, "A", ""}, {Op::Source, 0, "A", "A=0"}, {Op::Receiver, 1, "A", "A=0"}}},
    {"LastReceiverLeaves",
     {{Op::Source, 0, "A", ""},
      {Op::Receiver, 0, "A", "A=0"},
      {Op::Receiver, 1, "A", "A=0"},
      {Op::RemoveReceiver, 0, {}, "A=0"},
      {Op::Receiver, 1, kEmpty, ""},
      {Op::Receiver, 1, "A", "A=0"}}},
    {"SourceDeletedAndRecreated",
     {{Op::Source, 0, "A", ""},
      {Op::Receiver, 0, "A", "A=0"},
      {Op::Receiver, 1, "A", "A=0"},
      {Op::RemoveSource, 0, {}, ""},
      {Op::Source, 1, "A", "A=1"}}},
    {"MovingBetweenNames",
     {{Op::Source, 0, "A", ""},
      {Op::Source, 1, "B", ""},
      {Op::Receiver, 0, "A", "A=0"},
      {Op::Receiver, 0, "B", "B=1"},
      {Op::Receiver, 0, "B", "B=1"},
      {Op::Receiver, 0, "", ""},
      {Op::Receiver, 0, "A", "A=0"}}},
    {"RenameWithReceivers",
     {{Op::Source, 0, "A", ""},
      {Op::Receiver, 0, "A", "A=0"},
      {Op::RenameSource, 0, "B", "B=0"},
      {Op::Receiver, 1, "A", "B=0"},
      {Op::RenameSource, 0, "B", "B=0"},
      {Op::RenameSource, 0, kEmpty, "B=0"}}},
    {"RenameOntoATakenName",
     {{Op::Source, 0, "A", ""},
      {Op::Source, 1, "B", ""},
      {Op::Receiver, 0, "A", "A=0"},
      {Op::Receiver, 1, "B", "A=0,B=1"},
      {Op::RenameSource, 0, "B", "B=0"},
      {Op::RemoveSource, 1, {}, "B=0"}}},
    {"DuplicateSource",
     {{Op::Source, 0, "A", ""},
      {Op::Receiver, 0, "A", "A=0"},
      {Op::Source, 1, "A", "A=1"},
      {Op::RenameSource, 0, "C", "A=1"},
      {Op::RemoveSource, 0, {}, "A=1"},
      {Op::RemoveSource, 1, {}, ""}}},
};

class TapSequenceTest : public testing::TestWithParam<Sequence> {};

TEST_P(TapSequenceTest, KeepsOneSharedStubExactlyWhileANameHasBothSides) {
  QKTapManager manager;
  LogCapture log;
  Taps taps(manager);
  int number = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE("step " + std::to_string(++number));
    switch (step.op) {
      case Op::Source:
        taps.source(step.index, step.name);
        break;
      case Op::Receiver:
        taps.receiver(step.index, step.name);
        break;
      case Op::RemoveSource:
        taps.removeSource(step.index);
        break;
      case Op::RemoveReceiver:
        taps.removeReceiver(step.index);
        break;
      case Op::RenameSource:
        taps.renameSource(step.index, step.name);
        break;
    }
    EXPECT_EQ(taps.stubs().toStdString(), step.stubs.toStdString());
    taps.expectInvariant();
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, TapSequenceTest, testing::ValuesIn(kSequences),
                         [](const auto& info) { return std::string(info.param.label); });

class TapManagerTest : public testing::Test {
 protected:
  QKTapManager manager;
  Taps taps{manager};
};

TEST_F(TapManagerTest, RebindingToTheSameNameKeepsTheStubAndANewReceiverGetsAFreshOne) {
  taps.source(0, "A");
  taps.receiver(0, "A");
  const auto first = taps.receiverAt(0).stub();
  taps.receiver(0, "A");
  EXPECT_EQ(taps.receiverAt(0).stub(), first);
  taps.removeReceiver(0);
  taps.receiver(1, "A");
  EXPECT_NE(taps.receiverAt(1).stub(), nullptr);
  EXPECT_NE(taps.receiverAt(1).stub(), first);
  EXPECT_EQ(first->sTap(), nullptr);  // the dropped stub is detached
}

TEST_F(TapManagerTest, ADisplacedSourceIsDetachedAndLogged) {
  LogCapture log;
  taps.source(0, "A");
  taps.receiver(0, "A");
  const auto firstStub = taps.sourceAt(0).stub();
  taps.source(1, "A");
  EXPECT_EQ(taps.sourceAt(0).stub(), nullptr);
  EXPECT_EQ(firstStub->sTap(), nullptr);
  EXPECT_EQ(manager.sTapNamed("A"), &taps.sourceAt(1));
  EXPECT_EQ(log.lines().filter("a second tap source named A").size(), 1);
  // Removing or renaming the displaced one posts nothing.
  NotificationCounter reloads(QKTapManager::kReloadSTapListNotification);
  taps.renameSource(0, "C");
  taps.removeSource(0);
  EXPECT_EQ(reloads.count(), 0);
  EXPECT_EQ(manager.sTapKeyArray(), QStringList{"A"});
}

// Two managers alive (two compositors in one process): the one that took
// a tap last keeps it, and the other forgets it, so that a tap gone since
// is never touched through the first manager's tables when it goes.
TEST_F(TapManagerTest, ATapTakenByALaterManagerIsForgottenByTheEarlierOne) {
  auto later = std::make_unique<QKTapManager>();
  taps.source(0, "A");
  taps.receiver(0, "A");
  EXPECT_EQ(taps.sourceAt(0).tapManager(), later.get());
  EXPECT_TRUE(manager.sTapKeyArray().isEmpty());
  EXPECT_TRUE(manager.rTapsForName("A").empty());
  EXPECT_EQ(later->sTapKeyArray(), QStringList{"A"});
  EXPECT_EQ(later->rTapsForName("A").size(), 1u);
  taps.removeSource(0);
  taps.removeReceiver(0);
  later.reset();
  EXPECT_TRUE(manager.rTapStubDict().isEmpty());
}

TEST_F(TapManagerTest, SourcesWithoutAValidNameAreNeverFiled) {
  LogCapture log;
  NotificationCounter reloads(QKTapManager::kReloadSTapListNotification);
  for (const QString& name : {QString(), kEmpty}) {
    taps.source(0, name);
    taps.receiver(0, name);
    taps.removeSource(0);
  }
  EXPECT_TRUE(manager.sTapKeyArray().isEmpty());
  EXPECT_TRUE(manager.rTapsForName(kEmpty).empty());
  EXPECT_EQ(reloads.count(), 0);
  EXPECT_EQ(log.lines().filter("is not listed").size(), 2);
}

TEST_F(TapManagerTest, ReloadsCarryTheChange) {
  NotificationCounter reloads(QKTapManager::kReloadSTapListNotification);
  taps.source(0, "A");
  taps.renameSource(0, "B");
  taps.removeSource(0);
  const std::vector<QVariantMap> expected = {
      {{"reason", "createTap"}, {"createdTapName", "A"}},
      {{"reason", "changeName"}, {"oldName", "A"}, {"newName", "B"}},
      {{"reason", "deleteTap"}, {"deletedTapName", "B"}},
  };
  ASSERT_EQ(reloads.count(), 3);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(reloads.notes()[i].userInfo, expected[i]) << i;
    EXPECT_EQ(reloads.notes()[i].object, &manager);
  }
}

TEST_F(TapManagerTest, MenusListInputsFirstThenLayersInLayerOrderIndentedByDepth) {
  FakeLayer back("Back", 2, 0);
  FakeLayer inner("Inner", 1, 2);
  auto backTap = QKSTap::create(&back);
  auto innerTap = QKSTap::create(&inner);
  auto camera = InputTap::create("Camera");
  auto movie = InputTap::create("Aux");
  const QKTapMenuItem none;
  const QKTapMenuItem aux{"Aux", 0, false};
  const QKTapMenuItem cam{"Camera", 0, false};
  const QKTapMenuItem in{"Inner", 2, true};
  const QKTapMenuItem bk{"Back", 0, true};
  EXPECT_EQ(manager.sortedSTapMenu(), (QKTapManager::Menu{none, aux, cam, in, bk}));
  EXPECT_EQ(manager.sortedLayerSTapMenu(), (QKTapManager::Menu{none, in, bk}));
  EXPECT_EQ(manager.sortedInputSTapMenu(), (QKTapManager::Menu{none, aux, cam}));
  EXPECT_EQ(manager.sTapKeyArraySortedByIndex(), (QStringList{"Aux", "Camera", "Inner", "Back"}));
  EXPECT_EQ(manager.layerForSTapNamed("Inner"), &inner);
  EXPECT_EQ(manager.layerForSTapNamed("Camera"), nullptr);
  for (auto* tap : {backTap.get(), innerTap.get(), static_cast<QKSTap*>(camera.get()),
                    static_cast<QKSTap*>(movie.get())})
    tap->prepareToBeDeleted();
  EXPECT_EQ(manager.sortedSTapMenu(), QKTapManager::Menu{none});
}

TEST_F(TapManagerTest, StubsComeDeepestFirst) {
  FakeLayer top("Top", 0, 0);
  FakeLayer deep("Deep", 1, 3);
  FakeLayer mid("Mid", 2, 1);
  std::vector<std::shared_ptr<QKSTap>> sources;
  std::vector<std::shared_ptr<QKRTap>> receivers;
  for (FakeLayer* layer : {&top, &deep, &mid}) {
    sources.push_back(QKSTap::create(layer));
    receivers.push_back(QKRTap::create());
    receivers.back()->useTapNamed(layer->layerName());
  }
  const auto passOrder = [&] {
    std::lock_guard<QKTapManager> lock(manager);
    QStringList order;
    for (const auto& stub : manager.stubsDeepestFirst()) order << stub->sTap()->tapName();
    return order;
  };
  EXPECT_EQ(passOrder(), (QStringList{"Deep", "Mid", "Top"}));
  top.setDepth(5);
  EXPECT_EQ(passOrder(), (QStringList{"Top", "Deep", "Mid"}));
  receivers[1]->useTapNamed(kEmpty);
  EXPECT_EQ(passOrder(), (QStringList{"Top", "Mid"}));
  receivers[1]->useTapNamed("Deep");
  EXPECT_EQ(passOrder(), (QStringList{"Top", "Deep", "Mid"}));
  for (auto& tap : sources) tap->prepareToBeDeleted();
  for (auto& tap : receivers) tap->prepareToBeDeleted();
}

TEST_F(TapManagerTest, SizeUpdatesFollowBoundsChangesAndEveryBufferFrame) {
  taps.source(0, "A");
  CountingDelegate first;
  CountingDelegate second;
  taps.receiver(0, "A");
  taps.receiver(1, "A");
  taps.receiverAt(0).setDelegate(&first);
  taps.receiverAt(1).setDelegate(&second);
  const auto stub = taps.sourceAt(0).stub();
  const auto buffer = QKBufferHolder::create(QSizeF(8, 8));
  struct Case {
    const char* what;
    std::function<void()> act;
    int updates;  // each receiver's count after it
  };
  const Case cases[] = {
      {"first frame", [&] { stub->setTextureRef(frame()); }, 1},
      {"next frame", [&] { stub->setTextureRef(frame()); }, 1},
      {"bounds changed", [&] { taps.sourceAt(0).boundsChanged(); }, 1},
      {"frame after it", [&] { stub->setTextureRef(frame()); }, 2},
      {"and the next", [&] { stub->setTextureRef(frame()); }, 2},
      {"buffer frame", [&] { stub->setTextureRefFromOpenGLBufferRef(buffer); }, 3},
      {"another buffer frame", [&] { stub->setTextureRefFromOpenGLBufferRef(buffer); }, 4},
      {"no buffer", [&] { stub->setTextureRefFromOpenGLBufferRef(nullptr); }, 4},
  };
  for (const Case& c : cases) {
    c.act();
    EXPECT_EQ(first.updates.load(), c.updates) << c.what;
    EXPECT_EQ(second.updates.load(), c.updates) << c.what;
  }
  EXPECT_TRUE(taps.receiverAt(0).getTextureRef().isNull());
  stub->setTextureRefFromOpenGLBufferRef(buffer);
  EXPECT_TRUE(taps.receiverAt(1).getTextureRef().sameTexture(buffer->bufferRef()));
  taps.receiverAt(0).prepareToBeDeleted();
  stub->boundsChanged();
  stub->setTextureRef(frame());
  EXPECT_EQ(first.updates.load(), 5);  // gone: not told any more
  EXPECT_EQ(second.updates.load(), 6);
}

TEST_F(TapManagerTest, AFrameHandedOutOutlivesItsStub) {
  taps.source(0, "A");
  taps.receiver(0, "A");
  auto stub = taps.sourceAt(0).stub();
  const gl::TextureHandle given = frame(QSize(6, 5));
  stub->setTextureRef(given);
  const gl::TextureHandle held = taps.receiverAt(0).getTextureRef();
  taps.removeReceiver(0);  // the manager drops the stub
  EXPECT_EQ(taps.sourceAt(0).stub(), nullptr);
  stub->setTextureRef(frame());  // a producer still holding it
  stub.reset();
  EXPECT_TRUE(held.sameTexture(given));
  EXPECT_EQ(held.size(), QSize(6, 5));
}

TEST_F(TapManagerTest, RectangleFramesAreRefused) {
  LogCapture log;
  Log::resetLimits();
  taps.source(0, "A");
  taps.receiver(0, "A");
  taps.sourceAt(0).stub()->setTextureRef(
      gl::TexturePool::shared().acquire(QSize(4, 4), gl::TextureTarget::Rectangle));
  EXPECT_TRUE(taps.receiverAt(0).getTextureRef().isNull());
  EXPECT_TRUE(log.contains("must be a 2D texture"));
}

TEST_F(TapManagerTest, SourceSizeComesFromTheBoundSource) {
  auto camera = InputTap::create("Camera");
  taps.receiver(0, "Camera");
  EXPECT_EQ(taps.receiverAt(0).sourceSize(), QSizeF(320, 240));
  taps.source(0, "Layer");
  taps.receiver(0, "Layer");
  EXPECT_EQ(taps.receiverAt(0).sourceSize(), QSizeF(64, 48));
  taps.receiver(0, "Nothing");
  EXPECT_EQ(taps.receiverAt(0).sourceSize(), QSizeF(0, 0));
  EXPECT_TRUE(taps.receiverAt(0).getTextureRef().isNull());
  camera->prepareToBeDeleted();
}

TEST(TapManagerLifetimeTest, TapsOutlivingTheManagerFindItGone) {
  auto manager = std::make_unique<QKTapManager>();
  FakeLayer layer("A");
  auto source = QKSTap::create(&layer);
  auto receiver = QKRTap::create();
  receiver->useTapNamed("A");
  const auto stub = receiver->stub();
  ASSERT_NE(stub, nullptr);
  manager.reset();
  EXPECT_EQ(receiver->tapManager(), nullptr);
  EXPECT_EQ(receiver->stub(), nullptr);
  EXPECT_EQ(stub->sTap(), nullptr);
  stub->setTextureRef(frame());
  receiver->useTapNamed("B");
  source->changeTapNameTo("C");
  EXPECT_EQ(source->tapName(), "C");
  receiver->prepareToBeDeleted();
  source->prepareToBeDeleted();
}

TEST(TapManagerLifetimeTest, ATapWithoutAManagerIsAFailedCheck) {
#ifdef NDEBUG
  LogCapture log;
  auto receiver = QKRTap::create();
  EXPECT_TRUE(log.contains("no tap manager adopted a tap"));
  receiver->prepareToBeDeleted();
#else
  EXPECT_DEATH(QKRTap::create(), "no tap manager");
#endif
}

TEST(TapManagerLifetimeTest, AReceiverNotPreparedPreparesItself) {
  QKTapManager manager;
  LogCapture log;
  FakeLayer layer("A");
  auto source = QKSTap::create(&layer);
  auto receiver = QKRTap::create();
  receiver->useTapNamed("A");
  receiver.reset();
  EXPECT_TRUE(manager.rTapsForName("A").empty());
  EXPECT_EQ(source->stub(), nullptr);
  EXPECT_TRUE(log.contains("wasn't prepped for deletion"));
  source->prepareToBeDeleted();
}

}  // namespace
