#include "app/plugins/midioutput/MIDIOutput.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DataSourceHolder.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PluginHost.h"

#include <cmath>
#include <limits>

namespace {

class MIDIOutputTest : public PluginHost {
 protected:
  MIDIOutputTest() {
    dsc.setDataSource(DataSourceHolder::createWithName(QStringLiteral("T")), {QStringLiteral("T")});
    output = make<MIDIOutput>();
  }
  std::shared_ptr<DSFloatInfreqRepeat> addSource(const QString& name) {
    auto source = DSFloatInfreqRepeat::createWithName(name);
    dsc.setDataSource(source, {QStringLiteral("T"), name});
    return source;
  }
  void bind(int row, const QString& name) {
    output->items()[row]->setSource({QStringLiteral("T"), name});
    output->items()[row]->setSyncFlag(true);
  }
  // The data bytes queued, as (controller, value).
  std::vector<std::pair<int, int>> queued() const {
    std::vector<std::pair<int, int>> bytes;
    for (const QKMIDIMessage& m : output->queuedMessages())
      bytes.emplace_back(m.data1(), m.data2());
    return bytes;
  }
  using Bytes = std::vector<std::pair<int, int>>;

  MIDIOutput* output = nullptr;
};

TEST_F(MIDIOutputTest, ValuesBecomeDataBytesHeldToTheirRange) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float value;
    std::optional<int> byte;
  } cases[] = {{1.0f, 127}, {0.5f, 63}, {0.999f, 126},      {0.0f, 0},
               {1.7f, 127}, {-0.2f, 0}, {nan, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(MIDIOutputItem::dataByteFor(c.value), c.byte) << c.value;
}

TEST_F(MIDIOutputTest, ANewPluginHasControllerOneOnChannelOneAndQueuesOnlyChanges) {
  ASSERT_EQ(output->items().size(), 1u);
  const auto& row = static_cast<const MIDIOutputItem&>(*output->items()[0]);
  EXPECT_EQ(row.controllerValue(), 1);
  EXPECT_EQ(row.channelValue(), 1);
  auto source = addSource(QStringLiteral("a"));
  bind(0, QStringLiteral("a"));
  source->setValue(0.25f);
  source->setValue(0.25f);
  source->setValue(0.2501f);
  EXPECT_EQ(queued(), (Bytes{{1, 0}, {1, 31}, {1, 31}}));  // 0 from subscribing
  const QKMIDIMessage first = output->queuedMessages().front();
  EXPECT_EQ(first.type(), 0xB0);
  EXPECT_EQ(first.channel(), 1);
}

TEST_F(MIDIOutputTest, ANaNSendsNothingAndIsLogged) {
  LogCapture log;
  auto source = addSource(QStringLiteral("a"));
  bind(0, QStringLiteral("a"));
  output->bang();
  source->setValue(std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(queued().empty());
  EXPECT_TRUE(log.contains(QStringLiteral("not a number")));
}

TEST_F(MIDIOutputTest, BangTakesTheWholeQueueInPushOrder) {
  output->createItem();
  auto a = addSource(QStringLiteral("a"));
  auto b = addSource(QStringLiteral("b"));
  bind(0, QStringLiteral("a"));
  bind(1, QStringLiteral("b"));
  output->bang();
  b->setValue(0.5f);
  a->setValue(1.0f);
  EXPECT_EQ(queued(), (Bytes{{2, 63}, {1, 127}}));
  output->bang();
  EXPECT_TRUE(queued().empty());
}

TEST_F(MIDIOutputTest, AChosenDestinationMakesEveryRowSendItsNextValueAgain) {
  auto source = addSource(QStringLiteral("a"));
  bind(0, QStringLiteral("a"));
  source->setValue(0.5f);
  output->bang();
  source->setValue(0.5f);
  EXPECT_TRUE(queued().empty());
  output->chooseDestination(OutputPlugin::kNone);
  source->setValue(0.5f);
  EXPECT_EQ(queued(), (Bytes{{1, 63}}));
}

TEST_F(MIDIOutputTest, SoloLetsOnlyTheSelectedRowThrough) {
  output->createItem();
  auto a = addSource(QStringLiteral("a"));
  auto b = addSource(QStringLiteral("b"));
  bind(0, QStringLiteral("a"));
  bind(1, QStringLiteral("b"));
  output->bang();
  output->soloToggleUsed(1);
  output->selectRow(-1);
  a->setValue(0.5f);
  b->setValue(0.5f);
  EXPECT_TRUE(queued().empty());
  output->selectRow(1);
  a->setValue(1.0f);
  b->setValue(1.0f);
  EXPECT_EQ(queued(), (Bytes{{2, 127}}));
  // The muted row recorded what it pushed: only a new value leaves.
  output->soloToggleUsed(0);
  a->setValue(1.0f);
  a->setValue(0.0f);
  EXPECT_EQ(queued(), (Bytes{{2, 127}, {1, 0}}));
}

TEST_F(MIDIOutputTest, TableEditsAreHeldToMIDIRanges) {
  const struct {
    int column;
    QVariant typed;
    bool accepted;
    int stored;
  } cases[] = {
      {1, 300, true, 127},
      {1, -5, true, 0},
      {1, QStringLiteral("64"), true, 64},
      {1, QStringLiteral("x"), false, 1},
      {0, 0, true, 1},
      {0, 17, true, 16},
      {0, QStringLiteral("3"), true, 3},
      {0, QStringLiteral("three"), false, 1},
  };
  for (const auto& c : cases) {
    output->deleteAllItems();
    output->createItem();
    auto& row = static_cast<MIDIOutputItem&>(*output->items()[0]);
    row.setControllerValue(1);
    row.setChannelValue(1);
    EXPECT_EQ(output->setCellValue(0, c.column, c.typed), c.accepted)
        << c.typed.toString().toStdString();
    EXPECT_EQ(c.column == 0 ? row.channelValue() : row.controllerValue(), c.stored)
        << c.typed.toString().toStdString();
  }
  output->setCellValue(0, 1, 127);
  output->stepController(0, true);
  EXPECT_EQ(static_cast<MIDIOutputItem&>(*output->items()[0]).controllerValue(), 127);
  output->createItem();  // past 127 new rows stay at 127
  EXPECT_EQ(static_cast<MIDIOutputItem&>(*output->items()[1]).controllerValue(), 127);
}

TEST_F(MIDIOutputTest, LoadingRowsSetsTheNextControllerAndChannel) {
  const QVariantMap snapshot{
      {MIDIOutput::kOutputDeviceName, QStringLiteral("Gone Synth")},
      {MIDIOutput::kItemArray,
       QVariantList{QVariantMap{{"controllerValue", 10}, {"channelValue", 0}},
                    QStringLiteral("not a row"),
                    QVariantMap{{"controllerValue", 4}, {"channelValue", 5}}}}};
  LogCapture log;
  output->loadSnapshot(snapshot);
  ASSERT_EQ(output->items().size(), 2u);
  EXPECT_EQ(static_cast<MIDIOutputItem&>(*output->items()[0]).channelValue(), 1);
  EXPECT_TRUE(log.contains(QStringLiteral("not a dictionary")));
  output->createItem();
  const auto& added = static_cast<MIDIOutputItem&>(*output->items()[2]);
  EXPECT_EQ(added.controllerValue(), 11);
  EXPECT_EQ(added.channelValue(), 5);
  EXPECT_EQ(output->createSnapshot().value(MIDIOutput::kOutputDeviceName),
            QVariant(QStringLiteral("<none>")));
}

TEST_F(MIDIOutputTest, OlderRowsNameTheirSourceByGeneratorAndSpecification) {
  const struct {
    const char* generator;
    const char* spec;
    KeyPath path;
  } cases[] = {{"Hardware", "h.mouse", {"Mouse", "X"}},
               {"Hardware", "v.mouse", {"Mouse", "Y"}},
               {"Oscillators", "Oscillator 1", {"Oscillators", "Oscillator 1"}}};
  for (const auto& c : cases) {
    auto row = MIDIOutputItem::create(&dsc, output);
    row->loadSnapshot({{"syncGen", c.generator}, {"syncSpec", c.spec}});
    EXPECT_EQ(row->syncArray(), c.path) << c.spec;
  }
  auto row = MIDIOutputItem::create(&dsc, output);
  row->loadSnapshot(
      {{"syncArray", QStringList{"T", "a"}}, {"syncGen", "Hardware"}, {"syncSpec", "h.mouse"}});
  EXPECT_EQ(row->syncArray(), (KeyPath{"T", "a"}));
}

TEST_F(MIDIOutputTest, ARecreatedSourceResumesTheRow) {
  auto source = addSource(QStringLiteral("a"));
  bind(0, QStringLiteral("a"));
  output->bang();
  dsc.setDataSource(nullptr, {QStringLiteral("T"), QStringLiteral("a")});
  const auto& row = *output->items()[0];
  EXPECT_FALSE(row.syncFlag());
  EXPECT_TRUE(row.deletedUnderMe());
  auto again = addSource(QStringLiteral("a"));
  EXPECT_TRUE(row.syncFlag());
  output->bang();
  again->setValue(1.0f);
  EXPECT_EQ(queued(), (Bytes{{1, 127}}));
}

TEST_F(MIDIOutputTest, ASnapshotRoundTripsItsRows) {
  output->createItem();
  bind(1, QStringLiteral("a"));
  output->setCellValue(1, 0, 9);
  const QVariantMap snapshot = output->createSnapshot();
  MIDIOutput* other = make<MIDIOutput>();
  other->loadSnapshot(snapshot);
  ASSERT_EQ(other->items().size(), 2u);
  const auto& row = static_cast<const MIDIOutputItem&>(*other->items()[1]);
  EXPECT_EQ(row.channelValue(), 9);
  EXPECT_EQ(row.controllerValue(), 2);
  EXPECT_EQ(row.syncArray(), (KeyPath{"T", "a"}));
}

}  // namespace
