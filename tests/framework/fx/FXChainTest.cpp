#include "tests/framework/fx/FXChainFixture.h"

#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonCellPainter.h"
#include "framework/fx/FXChainLayout.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

QVariantMap entry(const QString& name, int value) {
  return {{FXChain::kNameKey, name}, {QStringLiteral("value"), value}};
}

QStringList split(const char* names) {
  return QString::fromLatin1(names).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

class FXChainTest : public ::testing::Test {
 protected:
  void fill(const QStringList& names) {
    for (const QString& name : names) chain.loadEffectNamed(name);
  }
  RecordingManager manager;
  FXChain chain{&manager};
};

TEST_F(FXChainTest, EditsFindAndPassInOrder) {
  fill(split("A,B,A"));
  ASSERT_EQ(namesOf(chain), split("A,B,A"));
  const auto firstA = chain.fxArray()[0];
  const auto lastA = chain.fxArray()[2];
  EXPECT_EQ(chain.findEffectNamed(QStringLiteral("A")), firstA);
  EXPECT_EQ(chain.fromEndFindEffectNamed(QStringLiteral("A")), lastA);
  EXPECT_EQ(firstA->myChain(), &chain);
  EXPECT_EQ(firstA->myChainManager(), &manager);

  chain.insertEffectObject(chain.returnNewEffectNamed(QStringLiteral("Glow")), 3);
  chain.insertEffectObject(chain.returnNewEffectNamed(QStringLiteral("Blur")), 99);
  chain.insertEffectObject(chain.returnNewEffectNamed(QStringLiteral("Glow")), 0);
  chain.insertEffectObject(nullptr, 0);
  EXPECT_EQ(namesOf(chain), split("Glow,A,B,A,Glow,Blur"));

  chain.deleteEffectNamed(QStringLiteral("A"));
  EXPECT_TRUE(firstA->deleted());
  EXPECT_EQ(firstA->myChain(), nullptr);
  EXPECT_FALSE(lastA->deleted());
  chain.deleteEffectNamed(QStringLiteral("Nothing"));
  EXPECT_EQ(namesOf(chain), split("Glow,B,A,Glow,Blur"));

  chain.fxArray()[1]->bypassButton()->setIntValue(0);  // B off
  QStringList passed;
  chain.passPtrThruChain(&passed);
  EXPECT_EQ(passed, split("Glow,A,Glow,Blur"));

  const auto moved = chain.removeEffectFromChain(lastA.get());
  EXPECT_EQ(moved, lastA);
  EXPECT_FALSE(moved->deleted());
  FXChain other(&manager);
  other.insertEffectObject(moved, 0);
  EXPECT_EQ(moved->myChain(), &other);

  chain.loadEffectNamed(QStringLiteral("Unknown"));
  EXPECT_EQ(namesOf(chain), split("Glow,B,Glow,Blur"));
  const auto all = chain.fxArray();
  chain.deleteAllEffects();
  EXPECT_EQ(chain.count(), 0);
  for (const auto& element : all) EXPECT_TRUE(element->deleted());
}

// The button reads "On" while the element is active and "Off" while bypassed.
TEST_F(FXChainTest, FreshElementIsActiveAndFollowsItsButton) {
  RecordingElement unset(QStringLiteral("A"));
  EXPECT_TRUE(unset.bypass());
  const auto element = chain.returnNewEffectNamed(QStringLiteral("A"));
  EXPECT_FALSE(element->bypass());
  EXPECT_EQ(QKButtonCellPainter::text(*element->bypassButton(), 36), "On");
  element->bypassButton()->setIntValue(0);
  EXPECT_TRUE(element->bypass());
  EXPECT_EQ(QKButtonCellPainter::text(*element->bypassButton(), 36), "Off");
  element->bypassButton()->toggle();
  EXPECT_FALSE(element->bypass());
}

struct RestoreCase {
  const char* name;
  const char* present;
  const char* snapshot;
  const char* expected;
  int created;
  int deleted;
};

class FXChainRestoreTest : public FXChainTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(FXChainRestoreTest, KeepsWhatStaysAndPairsByName) {
  const RestoreCase& c = GetParam();
  LogCapture log;  // entries without a button snapshot
  fill(split(c.present));
  const auto before = chain.fxArray();
  QVariantList snapshot;
  int value = 1;
  for (const QString& name : split(c.snapshot)) snapshot.append(entry(name, value++));

  chain.loadSnapshot(snapshot);

  EXPECT_EQ(namesOf(chain), split(c.expected));
  const auto after = chain.fxArray();
  int kept = 0;
  int deleted = 0;
  for (const auto& element : before) {
    if (std::find(after.begin(), after.end(), element) != after.end()) ++kept;
    if (element->deleted()) ++deleted;
  }
  EXPECT_EQ(static_cast<int>(after.size()) - kept, c.created);
  EXPECT_EQ(deleted, c.deleted);
  // The k-th entry of a name went into the k-th element of that name: each
  // name's values, in chain order, run in snapshot order.
  QMap<QString, QList<int>> expectedValues;
  value = 1;
  for (const QString& name : split(c.snapshot))
    if (manager.findClassForKey(name))
      expectedValues[name].append(value++);
    else
      ++value;
  QMap<QString, QList<int>> actualValues;
  for (const auto& element : after)
    actualValues[element->myName()].append(recording(element)->value);
  EXPECT_EQ(actualValues, expectedValues);
}

const RestoreCase kRestoreCases[] = {
    {"DuplicateNameAdded", "B,A", "A,B,A", "A,B,A", 1, 0},
    {"ReorderOnly", "Blur,Glow", "Glow,Blur", "Glow,Blur", 0, 0},
    {"Equal", "A,B", "A,B", "A,B", 0, 0},
    {"SurplusDuplicateDeleted", "A,A,B", "B,A", "B,A", 0, 1},
    {"IntoEmpty", "", "A,B,A", "A,B,A", 3, 0},
    {"ToEmpty", "A,B", "", "", 0, 2},
    {"UnknownNameShiftsNothing", "B", "Unknown,A,B", "A,B", 1, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, FXChainRestoreTest, ::testing::ValuesIn(kRestoreCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FXChainTest, SnapshotRoundTripAndBadSnapshots) {
  fill(split("A,B"));
  recording(chain.fxArray()[0])->value = 7;
  chain.fxArray()[1]->bypassButton()->setIntValue(0);
  chain.fxArray()[1]->fxResizingHeight(44);
  const QVariantList snapshot = chain.createSnapshot();
  ASSERT_EQ(snapshot.size(), 2);
  EXPECT_EQ(snapshot[1].toMap().value(FXChain::kFrameHeightKey).toLongLong(), 44);

  FXChain fresh(&manager);
  fresh.loadSnapshot(snapshot);
  ASSERT_EQ(namesOf(fresh), split("A,B"));
  EXPECT_EQ(recording(fresh.fxArray()[0])->value, 7);
  EXPECT_FALSE(fresh.fxArray()[0]->bypass());
  EXPECT_TRUE(fresh.fxArray()[1]->bypass());

  LogCapture log;
  const auto elements = fresh.fxArray();
  fresh.loadSnapshot(QVariant());                          // none: nothing changes
  fresh.loadSnapshot(QVariant(QStringLiteral("broken")));  // not an array
  EXPECT_EQ(fresh.fxArray(), elements);
  fresh.loadSnapshot(QVariantList{QVariantMap{{QStringLiteral("value"), 3}},
                                  QVariantMap{{FXChain::kNameKey, 5}}, QStringLiteral("x"),
                                  entry(QStringLiteral("B"), 9)});
  EXPECT_EQ(namesOf(fresh), split("B"));
  EXPECT_EQ(recording(fresh.fxArray()[0])->value, 9);

  recording(fresh.fxArray()[0])->snapshotFails = true;
  EXPECT_TRUE(fresh.createSnapshot().isEmpty());
}

TEST_F(FXChainTest, DragDataMakesTheArchivedElement) {
  LogCapture log;
  const auto source = chain.returnNewEffectNamed(QStringLiteral("Glow"));
  const QByteArray data = PropertyList::toXml(source->encode());
  EXPECT_TRUE(chain.insertEffectData(data, 0));
  EXPECT_EQ(namesOf(chain), split("Glow"));
  EXPECT_FALSE(chain.insertEffectData(QByteArray(), 0));
  EXPECT_TRUE(log.contains(QStringLiteral("the passed drag data is nil")));
  EXPECT_FALSE(chain.insertEffectData("not a list", 0));
  EXPECT_FALSE(chain.insertEffectData(PropertyList::toXml(QVariantMap{{"myName", 3}}), 0));
  EXPECT_FALSE(chain.insertEffectData(PropertyList::toXml(QVariantMap{{"myName", "Nope"}}), 0));
  EXPECT_EQ(chain.count(), 1);
}

TEST(FXChainLayoutTest, StacksFromTheTop) {
  EXPECT_EQ(FXChainLayout::stackHeight({40, 60, 30}), 132);
  const auto frames = std::vector<QRectF>{{0, 0, 10, 40}, {0, 0, 10, 60}, {0, 0, 10, 30}};

  // Taller than the visible height: the box is the stack, the last panel at 0.
  auto tall = FXChainLayout::layout({200, 100}, {150, 80}, frames);
  EXPECT_EQ(tall.boxFrame, QRectF(0, 0, 200, 132));
  EXPECT_EQ(tall.viewFrame, QRectF(0, 0, 200, 132));
  EXPECT_EQ(tall.panelFrames[2], QRectF(0, 0, 200, 30));
  EXPECT_EQ(tall.panelFrames[1], QRectF(0, 31, 200, 60));
  EXPECT_EQ(tall.panelFrames[0], QRectF(0, 92, 200, 40));

  // Shorter: the stack hangs from the top of the visible height.
  auto shortStack = FXChainLayout::layout({200, 300}, {200, 300}, frames);
  EXPECT_EQ(shortStack.boxFrame.height(), 300);
  EXPECT_EQ(shortStack.viewFrame.height(), 300);
  EXPECT_EQ(shortStack.panelFrames[0].top() + 40, 300);

  auto empty = FXChainLayout::layout({200, 250}, {120, 10}, {});
  EXPECT_TRUE(empty.panelFrames.empty());
  EXPECT_EQ(empty.viewFrame, QRectF(0, 0, 200, 250));
  EXPECT_EQ(empty.boxFrame, empty.viewFrame);
}

TEST_F(FXChainTest, ElementHeightsCollapseAndMinimum) {
  fill(split("A"));
  const auto element = chain.fxArray()[0];
  element->fxResizingHeight(12);
  EXPECT_EQ(element->localFrame().height(), 30);
  element->fxResizingHeight(80);
  element->collapse();
  EXPECT_TRUE(element->collapsed());
  EXPECT_EQ(element->localFrame().height(), 15);
  EXPECT_EQ(element->expandedFrame().height(), 80);
  element->expand();
  EXPECT_EQ(element->localFrame().height(), 80);
}

TEST(FXChainManagerTest, NamesPresetsAndUnknownElements) {
  RecordingManager manager;
  EXPECT_EQ(manager.chainFXPboardType(), QStringLiteral("testFXChainFXPboardTypeString"));
  EXPECT_EQ(manager.chainFXPboardName(), QStringLiteral("testFXchainFXPboardNameString"));
  EXPECT_EQ(manager.chainPboardType(), QStringLiteral("testFXChainPboardTypeString"));
  EXPECT_EQ(manager.chainPboardName(), QStringLiteral("testFXChainPboardNameString"));
  EXPECT_EQ(FXChainManager::mimeTypeFor(manager.chainFXPboardType()),
            QStringLiteral("application/x-zaph-testFXChainFXPboardTypeString"));
  EXPECT_EQ(manager.fxFolderPathArray().last(), QStringLiteral("testFX"));
  EXPECT_EQ(manager.pluginResourceDict().size(), 6);

  LogCapture log;
  EXPECT_EQ(manager.returnNewEffectNamed(QStringLiteral("Missing")), nullptr);
  EXPECT_TRUE(log.contains(QStringLiteral("couldn't find the bundle named")));
  EXPECT_TRUE(log.contains(QStringLiteral("testFX/Missing.bundle")));
  manager.addClass([](const QString&) { return nullptr; }, QStringLiteral("Broken"));
  EXPECT_EQ(manager.returnNewEffectNamed(QStringLiteral("Broken")), nullptr);
  EXPECT_TRUE(log.contains(QStringLiteral("couldn't create an instance of the bundle class")));

  EXPECT_TRUE(manager.deleteAllPresets());
  auto preset = [](const char* name, int marker) {
    return QVariantMap{{FXChainManager::kPresetNameKey, QString::fromLatin1(name)},
                       {QStringLiteral("marker"), marker}};
  };
  manager.loadSnapshot({preset("one", 1), preset("two", 2), preset("three", 3)});
  manager.loadSnapshot({preset("one", 4)});
  QStringList names;
  for (const QVariantMap& p : manager.fxChainPresetArray())
    names.append(p.value(FXChainManager::kPresetNameKey).toString());
  EXPECT_EQ(names, split("two,three,one"));
  EXPECT_EQ(manager.findPresetNamed(QStringLiteral("one")).value(QStringLiteral("marker")), 4);
  manager.loadSnapshot(manager.createSnapshot());
  EXPECT_EQ(manager.fxChainPresetArray().size(), 3);
  EXPECT_TRUE(manager.deletePresetNamed(QStringLiteral("two")));
  EXPECT_FALSE(manager.deletePresetNamed(QStringLiteral("two")));
  EXPECT_TRUE(manager.deleteAllPresets());
}

// A pass on another thread never sees an element the main thread removed.
TEST_F(FXChainTest, EditsWhilePassesRun) {
  RecordingElement::deletedPassCount = 0;
  std::atomic<bool> stop{false};
  std::thread passer([&] {
    while (!stop.load()) {
      QStringList passed;
      chain.passPtrThruChain(&passed);
    }
  });
  for (int round = 0; round < 300; ++round) {
    fill(split("A,B"));
    chain.moveEffect(chain.fxArray()[0].get(), 5);
    chain.deleteEffectNamed(QStringLiteral("B"));
    chain.loadSnapshot(
        QVariantList{entry(QStringLiteral("Glow"), 1), entry(QStringLiteral("A"), 2)});
    chain.deleteAllEffects();
  }
  stop = true;
  passer.join();
  EXPECT_EQ(RecordingElement::deletedPassCount.load(), 0);
}

}  // namespace
