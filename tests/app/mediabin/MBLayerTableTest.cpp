#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MBLayerTableView.h"
#include "app/mediabin/MBShortcutName.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/mediabin/FakeQueueHost.h"

#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct TableFixture {
  TableFixture() : host({"A", "B", "C", "D"}), controller(&host, 1) {
    controller.setTableView(&table);
    controller.awakeFromNib();
    table.resize(400, 200);
    table.show();
    settle();
  }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }
  QStringList names() const {
    QStringList list;
    for (const auto& item : controller.items()) list << item->layerName();
    return list;
  }
  QPoint cellCentre(int row, int column) const {
    return table.visualRect(controller.index(row, column)).center();
  }
  FakeQueueHost host;
  MBLayerController controller;
  MBLayerTableView table;
};

TEST(MBLayerTable, ColumnsShowNameActiveFlagAndShortcut) {
  TableFixture f;
  f.controller.items()[1]->setActive(false);
  EXPECT_EQ(f.controller.data(f.controller.index(0, MBLayerController::kNameColumn)).toString(),
            QStringLiteral("D"));
  EXPECT_EQ(f.controller.data(f.controller.index(1, MBLayerController::kActiveColumn),
                              Qt::CheckStateRole),
            QVariant(Qt::Unchecked));
  EXPECT_FALSE(
      f.controller.data(f.controller.index(0, MBLayerController::kNextColumn), Qt::DecorationRole)
          .isNull());
  EXPECT_TRUE(
      f.controller.data(f.controller.index(1, MBLayerController::kNextColumn), Qt::DecorationRole)
          .isNull());
  EXPECT_EQ(f.controller.shortcutText(0), QStringLiteral("click to set shortcut"));
  // No on-deck text while "Immediately" fires at once (no picker: first entry).
  f.controller.items()[0]->setToBeTriggeredId(int(f.host.addFile(QStringLiteral("clip"))));
  EXPECT_TRUE(f.controller.data(f.controller.index(0, MBLayerController::kOnDeckColumn)).isNull());
  // Unchecking the active box.
  EXPECT_TRUE(f.controller.setData(f.controller.index(2, MBLayerController::kActiveColumn),
                                   Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_FALSE(f.controller.items()[2]->active());
}

// Clicks in the shortcut column: idle → detecting → idle; another row's
// click moves the learning there.
TEST(MBLayerTable, LearningClicks) {
  TableFixture f;
  auto click = [&](int row) {
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {},
                      f.cellCentre(row, MBLayerController::kShortcutColumn));
  };
  auto detecting = [&] {
    QList<bool> list;
    for (const auto& item : f.controller.items()) list << item->detecting();
    return list;
  };
  click(1);
  EXPECT_EQ(detecting(), (QList<bool>{false, true, false, false}));
  EXPECT_EQ(f.controller.shortcutText(1), QStringLiteral("press note, key, or button"));
  click(2);
  EXPECT_EQ(detecting(), (QList<bool>{false, false, true, false}));
  click(2);
  EXPECT_EQ(detecting(), (QList<bool>{false, false, false, false}));
  EXPECT_EQ(f.controller.shortcutText(2), QStringLiteral("click to set shortcut"));
  f.controller.detectShortcutForItemAtIndex(9);  // outside: nothing
  EXPECT_EQ(detecting(), (QList<bool>{false, false, false, false}));
  // A click in the next column puts the row on deck.
  QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {},
                    f.cellCentre(3, MBLayerController::kNextColumn));
  EXPECT_EQ(f.controller.nextTriggerRow(), 3);
}

TEST(MBLayerTable, HardwareLearnFirstClickSelectsAndVeilsTheTable) {
  TableFixture f;
  f.controller.hardwareLearnModeUpdated(true);
  f.settle();
  QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {},
                    f.cellCentre(2, MBLayerController::kNameColumn));
  EXPECT_TRUE(f.controller.selected());
  EXPECT_TRUE(f.controller.items()[2]->detecting());
  EXPECT_EQ(f.controller.nextTriggerRow(), 0);
  const QImage shot = f.table.viewport()->grab().toImage();
  const QColor pixel = shot.pixelColor(shot.width() - 3, shot.height() - 3);
  EXPECT_GT(pixel.blue(), pixel.red() + 40);
  f.controller.hardwareLearnModeUpdated(false);
  EXPECT_FALSE(f.controller.items()[2]->detecting());
}

TEST(MBLayerTable, DragReorderWithinOneQueueOnly) {
  TableFixture f;  // D, C, B, A
  const int onDeck = 1;
  f.controller.setNextTriggerRow(onDeck);
  QMimeData* mime = f.controller.mimeData({f.controller.index(0, 1), f.controller.index(1, 1)});
  EXPECT_TRUE(mime->hasFormat(MBLayerController::kDragType));
  // Another queue's table, or a foreign type, is refused.
  TableFixture other;
  EXPECT_FALSE(f.table.acceptDrop(mime, &other.table, 3));
  QMimeData foreign;
  foreign.setText(QStringLiteral("x"));
  EXPECT_FALSE(f.table.acceptDrop(&foreign, &f.table, 3));
  EXPECT_EQ(f.names(), (QStringList{"D", "C", "B", "A"}));
  EXPECT_TRUE(f.table.acceptDrop(mime, &f.table, 3));
  EXPECT_EQ(f.names(), (QStringList{"B", "D", "C", "A"}));
  EXPECT_EQ(f.controller.nextTriggerRow(), onDeck);
  delete mime;
  f.controller.setDraggedRows({3});
  EXPECT_TRUE(f.controller.moveDraggedRows(-1));
  EXPECT_EQ(f.names(), (QStringList{"A", "B", "D", "C"}));
}

TEST(MBShortcutName, NamesMidiSourcesByWhatTheyAre) {
  struct Case {
    KeyPath path;
    QVariant natural;  // invalid: default absent
    const char* text;
  };
  const Case cases[] = {
      {{"MIDI", "note [60] ch. 1"}, QVariant(), "C3"}, {{"MIDI", "note [60] ch. 1"}, 1, "C3"},
      {{"MIDI", "note [60] ch. 1"}, 0, "n60"},         {{"MIDI", "ctrl [7] ch. 1"}, 1, "CC7"},
      {{"MIDI", "ptch.whl. ch. 3"}, 1, "PB"},          {{"Key", "a"}, 1, "Key: a"},
      {{"OSC", "hidden", "/fader"}, 1, "OSC: /fader"}, {{"MIDI"}, 1, ""},
  };
  for (const Case& c : cases) {
    if (c.natural.isValid())
      UserDefaults::standard().setValue(MBShortcutName::kNaturalNamesDefault, c.natural);
    else
      UserDefaults::standard().remove(MBShortcutName::kNaturalNamesDefault);
    EXPECT_EQ(MBShortcutName::forQueueItem(c.path), QString::fromLatin1(c.text))
        << c.path.join('/').toStdString();
  }
  UserDefaults::standard().remove(MBShortcutName::kNaturalNamesDefault);
}

TEST(MBLayerItem, SnapshotSkipsAnItemWithoutLayer) {
  auto target = std::make_shared<int>(0);
  auto item = MBLayerItem::createWithLayer(QStringLiteral("A"), target, nullptr, nullptr);
  item->setActive(false);
  const QVariantMap snapshot = item->createSnapshot();
  EXPECT_EQ(snapshot.value("layerName").toString(), QStringLiteral("A"));
  EXPECT_FALSE(snapshot.value("active").toBool());
  EXPECT_TRUE(snapshot.contains("superSnap"));
  auto nameless = MBLayerItem::createWithLayer(QString(), target, nullptr, nullptr);
  EXPECT_TRUE(nameless->createSnapshot().isEmpty());
  auto loaded = MBLayerItem::createWithLayer(QString(), target, nullptr, nullptr);
  loaded->loadSnapshot({{"layerName", "B"}, {"active", QString("no")}});
  EXPECT_EQ(loaded->layerName(), QStringLiteral("B"));
  EXPECT_TRUE(loaded->active());  // a mistyped flag is ignored
  EXPECT_EQ(loaded->triggerMode(), 1);
  for (auto& each : {item, nameless, loaded}) each->prepareToBeDeleted();
}

}  // namespace
