#include "framework/datasource/DSColorHolder.h"
#include "framework/datasource/DSFloatFreqNonRepeat.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "tests/framework/datasource/DataSourceFakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

const QString kZaph = QStringLiteral("ZAPH");

TEST(DataSourceConstruction, NullNamesAndNullCalls) {
  EXPECT_EQ(DataSource::createWithName(QString()), nullptr);
  const auto unnamed = DSFloatFrequent::createWithName(QString());
  ASSERT_NE(unnamed, nullptr);
  EXPECT_TRUE(unnamed->sourceName().isNull());

  const auto node = DataSource::createWithName(QStringLiteral("kept"));
  node->setSourceName(QString());
  EXPECT_EQ(node->sourceName(), QStringLiteral("kept"));
  EXPECT_EQ(node->depth(), -1);

  const auto target = std::make_shared<RecordingTarget>();
  EXPECT_EQ(
      DataSourceCall::createWithTarget(std::weak_ptr<DataSourceTarget>(), [](auto&, auto*) {}),
      nullptr);
  EXPECT_EQ(DataSourceCall::createWithTarget(target, nullptr), nullptr);
  EXPECT_EQ(DataSourceCall::createWithTarget(std::weak_ptr<DataSourceTarget>(target), {}), nullptr);
}

struct DescriptionCase {
  const char* name;
  std::function<std::shared_ptr<DataSource>()> make;
  QString text;
};
void PrintTo(const DescriptionCase& c, std::ostream* os) { *os << c.name; }

class Descriptions : public testing::TestWithParam<DescriptionCase> {};

TEST_P(Descriptions, NameTheClassAndType) {
  EXPECT_EQ(GetParam().make()->description(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Descriptions,
    testing::Values(
        DescriptionCase{"Plain", [] { return DataSource::createWithName("n"); }, "<DS: n>"},
        DescriptionCase{"Frequent", [] { return DSFloatFrequent::createWithName("n"); },
                        "<DSFF: n>"},
        DescriptionCase{"NonRepeat", [] { return DSFloatFreqNonRepeat::createWithName("n"); },
                        "<DSFFNR: n>"},
        DescriptionCase{"Infrequent", [] { return DSFloatInfrequent::createWithName("n"); },
                        "<DSFI: n>"},
        DescriptionCase{"ButtonFloat",
                        [] { return DSFloatInfrequent::createWithName("n", DSType::ButtonFloat); },
                        "<DSFI: n>"},
        DescriptionCase{"InfreqRepeat", [] { return DSFloatInfreqRepeat::createWithName("n"); },
                        "<DSFIR: n>"},
        DescriptionCase{"Holder", [] { return DataSourceHolder::createWithName("n"); }, "<DSH: n>"},
        DescriptionCase{"InputHolder",
                        [] { return DataSourceHolder::createWithName("n", DSType::InputHolder); },
                        "<DSIH: n>"},
        DescriptionCase{
            "UntickedHolder",
            [] { return DataSourceHolder::createWithName("n", DSType::UntickedHolder); },
            "<DSIVH: n>"},
        DescriptionCase{"ColorHolder", [] { return DSColorHolder::createWithName("n"); },
                        "<DSCH: n>"},
        DescriptionCase{"PointHolder", [] { return DSPointHolder::createWithName("n"); },
                        "<DSPH: n>"},
        DescriptionCase{"OtherHolder", [] { return DataSourceHolder::createWithName("n", 42); },
                        "<UDSH: n>"}),
    [](const testing::TestParamInfo<DescriptionCase>& info) {
      return std::string(info.param.name);
    });

class DataSourceTree : public testing::Test {
 protected:
  DataSourceController dsc{DataSourceController::TickThread::Manual};

  std::shared_ptr<DataSourceHolder> holderAt(const KeyPath& path) {
    const auto holder = DataSourceHolder::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(holder, path));
    return holder;
  }
  template <class T = DSFloatFrequent>
  std::shared_ptr<T> leafAt(const KeyPath& path) {
    const auto leaf = T::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(leaf, path));
    return leaf;
  }
};

TEST_F(DataSourceTree, LookupsStopAtLeavesAndMissingNames) {
  const auto branch = holderAt({kZaph, "branch"});
  const auto deep = leafAt({kZaph, "branch", "deep"});
  const auto leaf = leafAt({kZaph, "leaf"});

  struct Lookup {
    KeyPath path;
    std::shared_ptr<DataSource> expected;
  };
  const std::vector<Lookup> lookups = {
      {{}, nullptr},
      {{kZaph}, dsc.dataSourceForKeyArray({kZaph})},
      {{kZaph, "branch"}, branch},
      {{kZaph, "branch", "deep"}, deep},
      {{kZaph, "leaf"}, leaf},
      {{kZaph, "leaf", "below"}, nullptr},
      {{kZaph, "missing", "deep"}, nullptr},
      {{"nowhere"}, nullptr},
  };
  for (const auto& lookup : lookups)
    EXPECT_EQ(dsc.dataSourceForKeyArray(lookup.path), lookup.expected)
        << lookup.path.join('/').toStdString();
  EXPECT_NE(dsc.dataSourceForKeyArray({kZaph}), nullptr);

  KeyPath consumed{kZaph, "branch", "deep"};
  EXPECT_EQ(dsc.dataSourceForValidMutableKeyArray(consumed), deep);
  EXPECT_TRUE(consumed.isEmpty());
  KeyPath relative{"deep"};
  EXPECT_EQ(branch->dataSourceForKeyArray(relative), deep);
}

TEST_F(DataSourceTree, PlacementSetsNameParentDepthAndPath) {
  const auto branch = holderAt({kZaph, "branch"});
  const auto leaf = DSFloatFrequent::createWithName("original");
  ASSERT_TRUE(dsc.setDataSource(leaf, {kZaph, "branch", "renamed"}));
  EXPECT_EQ(leaf->sourceName(), "renamed");
  EXPECT_EQ(leaf->parentSource(), branch);
  EXPECT_EQ(leaf->depth(), 3);
  EXPECT_EQ(leaf->pathArray(), (KeyPath{kZaph, "branch", "renamed"}));
  EXPECT_EQ(branch->elementDictCount(), 1u);
}

TEST_F(DataSourceTree, DeletionTellsSubscribersOnceAndLeavesTheNodeInert) {
  const auto holder = holderAt({kZaph, "h"});
  const auto leaf = leafAt({kZaph, "h", "leaf"});
  const auto target = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(target)));
  const auto holderTarget = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(holder->addThisFetchCall(callTo(holderTarget)));

  holder->prepareToBeDeleted();
  holder->prepareToBeDeleted();

  EXPECT_EQ(target->count("deleted"), 1);
  EXPECT_EQ(holderTarget->count("deleted"), 1);
  EXPECT_EQ(leaf->sourceType(), DSType::Deleted);
  EXPECT_EQ(holder->sourceType(), DSType::Deleted);
  EXPECT_EQ(leaf->fetchCallCount(), 0u);
  EXPECT_FALSE(leaf->addThisFetchCall(callTo(std::make_shared<RecordingTarget>())));
  leaf->setValue(0.5f);
  leaf->DSCProc();
  EXPECT_TRUE(target->values().empty());
}

TEST_F(DataSourceTree, OneObjectSubscribedTwiceHasTwoCallsAndUnsubscribesOneAtATime) {
  const auto leaf = leafAt<DSFloatInfreqRepeat>({kZaph, "leaf"});
  const auto target = std::make_shared<RecordingTarget>();
  const auto call = callTo(target);
  ASSERT_TRUE(leaf->addThisFetchCall(call));
  ASSERT_TRUE(leaf->addThisFetchCall(call));  // the same call is not added twice
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(target)));
  EXPECT_EQ(leaf->fetchCallCount(), 2u);

  leaf->setValue(0.5f);
  EXPECT_EQ(target->values().size(), 2u);
  EXPECT_TRUE(leaf->removeFetchCallForObject(target.get()));
  leaf->setValue(0.5f);
  EXPECT_EQ(target->values().size(), 3u);
  EXPECT_TRUE(leaf->removeFetchCallForObject(target.get()));
  EXPECT_FALSE(leaf->removeFetchCallForObject(target.get()));
}

TEST_F(DataSourceTree, AGoneTargetIsSkippedAndItsCallDropped) {
  const auto leaf = leafAt<DSFloatInfreqRepeat>({kZaph, "leaf"});
  auto gone = std::make_shared<RecordingTarget>();
  const std::weak_ptr<RecordingTarget> watch = gone;
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(gone)));
  gone.reset();
  ASSERT_TRUE(watch.expired());
  leaf->setValue(0.5f);  // skipped, not called through a dangling pointer

  const auto living = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(living)));
  EXPECT_EQ(leaf->fetchCallCount(), 1u);  // the dead call was dropped
}

TEST_F(DataSourceTree, ADeliveryUnderWayFinishesBeforeTheTargetIsDestroyed) {
  struct Slow : DataSourceTarget {
    std::atomic<bool>* destroyed;
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> sawDestroyed{false};
    explicit Slow(std::atomic<bool>* d) : destroyed(d) {}
    ~Slow() override { destroyed->store(true); }
    void received(DataSource*) {
      entered.store(true);
      while (!release.load()) std::this_thread::yield();
      sawDestroyed.store(destroyed->load());
    }
  };
  std::atomic<bool> destroyed{false};
  const auto leaf = leafAt<DSFloatInfreqRepeat>({kZaph, "leaf"});
  auto target = std::make_shared<Slow>(&destroyed);
  Slow* raw = target.get();
  ASSERT_TRUE(leaf->addThisFetchCall(DataSourceCall::createWithTarget(target, &Slow::received)));

  std::thread producer([&] { leaf->setValue(1.0f); });
  while (!raw->entered.load()) std::this_thread::yield();
  target.reset();  // the owner lets go while the delivery runs
  EXPECT_FALSE(destroyed.load());
  raw->release.store(true);
  producer.join();
  EXPECT_TRUE(destroyed.load());  // destroyed by the delivering thread, after the action
}

TEST_F(DataSourceTree, ASubscriberMayUnsubscribeItselfFromItsOwnAction) {
  const auto leaf = leafAt<DSFloatInfreqRepeat>({kZaph, "leaf"});
  const auto target = std::make_shared<RecordingTarget>();
  target->onReceive = [&](DataSource* source) { source->removeFetchCallForObject(target.get()); };
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(target)));
  const auto other = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(other)));
  leaf->setValue(0.1f);
  leaf->setValue(0.2f);
  EXPECT_EQ(target->values().size(), 1u);
  EXPECT_EQ(other->values().size(), 2u);
}

TEST_F(DataSourceTree, AThrowingSubscriberIsLoggedAndThePushCompletes) {
  LogCapture log;
  const auto leaf = leafAt({kZaph, "leaf"});
  const auto thrower = std::make_shared<RecordingTarget>();
  thrower->onReceive = [](DataSource*) { throw std::runtime_error("boom"); };
  ASSERT_TRUE(leaf->addThisFetchCall(callTo(thrower)));
  leaf->setValue(0.5f);
  leaf->DSCProc();
  EXPECT_FALSE(leaf->needsToBePushed());
  EXPECT_TRUE(
      log.contains("\t\tcaught error while banging fetch calls of data source <DSFF: leaf>: boom"));
  leaf->DSCProc();
  EXPECT_EQ(thrower->values().size(), 1u);
}

TEST_F(DataSourceTree, TypeChangesAreAnnounced) {
  const auto leaf = leafAt<DSFloatInfrequent>({kZaph, "leaf"});
  const auto target = std::make_shared<RecordingTarget>();
  leaf->addThisFetchCall(callTo(target));
  leaf->setSourceType(DSType::ButtonFloat);
  EXPECT_EQ(target->events(), QStringList{"type 5"});
}

TEST_F(DataSourceTree, TheDumpIndentsOneTabPerAncestor) {
  holderAt({kZaph, "h"});
  leafAt({kZaph, "h", "leaf"});
  const QString dump = dsc.description();
  EXPECT_TRUE(dump.contains("<DSH: ZAPH>\n\t<DSH: h>\n\t\t<DSFF: leaf>\n")) << dump.toStdString();
  EXPECT_TRUE(dump.contains("<DSIH: MIDI>\n"));
}

struct PathCase {
  QStringList paths;
  QString name;
  bool contains;
};

TEST(KeyPathAdditions, Helpers) {
  EXPECT_EQ(KeyPathAdditions::createArrayWithStrings({"a", "b", QString(), "c"}),
            (KeyPath{"a", "b"}));
  EXPECT_EQ(KeyPathAdditions::createArrayWithStrings({QString(), "b"}), std::nullopt);
  EXPECT_EQ(KeyPathAdditions::joined({"OSC", "/fader/1"}), "OSC//fader/1");

  const std::vector<PathCase> cases = {
      {{"/a/b/file.mov", "/c/d"}, "file.mov", true},
      {{"/a/b/dir/"}, "dir", true},
      {{"/a/b"}, "a", false},
      {{"/"}, "/", true},
      {{"plain"}, "plain", true},
      {{"/a/b"}, QString(), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KeyPathAdditions::containsPathEndingWith(c.paths, c.name), c.contains)
        << c.paths.join(',').toStdString() << " " << c.name.toStdString();
}

}  // namespace
