#include "tests/framework/fx/FXChainFixture.h"

#include "framework/controls/QKButton.h"
#include "framework/fx/BehaviorObjectPanel.h"
#include "framework/fx/FXChainDragDestBox.h"
#include "framework/fx/FXChainScrollView.h"
#include "framework/fx/FXObjectPanel.h"
#include "framework/fx/QKRedView.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QMimeData>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace {

// A panel that records drag starts instead of running the drag's loop.
class RecordingPanel : public BehaviorObjectPanel {
 public:
  using BehaviorObjectPanel::BehaviorObjectPanel;
  int dragsStarted = 0;

 protected:
  void startDrag(const QPointF&) override { ++dragsStarted; }
};

// An element with a panel of its own; a "copyable" one gives a copy
// archive (as filter effects do), the others are moved by an Alt-drag.
class PanelElement : public RecordingElement {
 public:
  explicit PanelElement(const QString& name, int height = 40)
      : RecordingElement(name), height_(height) {}
  void awakeFromNib() override {
    FXObject::awakeFromNib();
    panel_ = std::make_unique<RecordingPanel>();
    panel_->resize(200, height_);
    setLocalFrame(QRectF(0, 0, 200, height_));
    panel_->setMyFXObject(this);
  }
  QWidget* myPanel() const override { return panel_.get(); }
  RecordingPanel* panel() const { return panel_.get(); }
  QByteArray copyDragData() const override {
    if (!myName().startsWith(QLatin1Char('C'))) return {};
    return PropertyList::toXml(QVariantMap{{kArchiveNameKey, myName()}});
  }

 private:
  int height_;
  std::unique_ptr<RecordingPanel> panel_;
};

class PanelManager : public FXChainManager {
 public:
  explicit PanelManager(const QString& folder = QStringLiteral("testFX")) {
    setFXFolder(folder);
    for (const char* name : {"A", "B", "C", "Copyable"})
      addClass([](const QString& n) { return FXObject::make<PanelElement>(n); },
               QLatin1String(name));
  }
};

PanelElement* panelElement(const FXChain::Element& element) {
  return static_cast<PanelElement*>(element.get());
}

QStringList split(const char* names) {
  return QString::fromLatin1(names).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

std::unique_ptr<QMimeData> dragOf(const FXChainManager& manager, const QByteArray& payload = {}) {
  auto data = std::make_unique<QMimeData>();
  data->setData(FXChainManager::mimeTypeFor(manager.chainFXPboardType()), payload);
  return data;
}

// Frames in the chain's layout (y up): A on top (40), B (30), C at the
// bottom (30), 1 point apart.
const std::vector<QRectF> kThree = {QRectF(0, 62, 200, 40), QRectF(0, 31, 200, 30),
                                    QRectF(0, 0, 200, 30)};

TEST(FXChainDropGeometry, InsertionIndexFollowsThePointer) {
  struct Case {
    const char* what;
    std::vector<QRectF> frames;
    double y;
    int index;
  };
  const Case cases[] = {
      {"empty chain", {}, 50, 0},
      {"above the first", kThree, 103, 0},
      {"upper half of the first", kThree, 95, 0},
      {"lower half of the first", kThree, 70, 1},
      {"upper half of the middle", kThree, 55, 1},
      {"lower half of the middle", kThree, 40, 2},
      {"lower half of the last", kThree, 5, 3},
      {"below the last", kThree, -4, 3},
      {"the gap between two panels", kThree, 61.5, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FXChainDragDestBox::insertionIndex(c.frames, QPointF(10, c.y)), c.index) << c.what;
}

TEST(FXChainDropGeometry, TheBarSitsOnTheEdgeWhereTheElementLands) {
  const QSizeF box(200, 300);
  struct Case {
    const char* what;
    std::vector<QRectF> frames;
    int index;
    QRectF bar;
  };
  const Case cases[] = {
      {"empty chain: the top of the box", {}, 0, QRectF(0, 290, 200, 10)},
      {"before the first: inside the box's top", kThree, 0, QRectF(0, 92, 200, 10)},
      {"before the middle: on its top edge", kThree, 1, QRectF(0, 56, 200, 10)},
      {"after the last: at its foot", kThree, 3, QRectF(0, 0, 200, 10)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FXChainDragDestBox::barRect(c.frames, c.index, box), c.bar) << c.what;
}

TEST(FXObjectPanelGeometry, PressesHitTheTitleStripImages) {
  const FXObjectPanel::ImageRects rects = FXObjectPanel::imageRectsFor(200);
  EXPECT_EQ(rects.expandCollapse, QRectF(3, 2, 12, 12));
  EXPECT_EQ(rects.remove, QRectF(189, 1, 10, 10));
  EXPECT_EQ(FXObjectPanel::bypassButtonFrameFor(200), QRectF(152, 1, 36, 12));
  struct Case {
    QPointF point;
    FXObjectPanel::ClickMask mask;
  };
  const Case cases[] = {{{195, 5}, FXObjectPanel::kClickDelete},
                        {{8, 8}, FXObjectPanel::kClickExpandCollapse},
                        {{100, 8}, FXObjectPanel::kClickNothing},
                        {{195, 30}, FXObjectPanel::kClickNothing}};
  for (const Case& c : cases) EXPECT_EQ(FXObjectPanel::clickMaskAt(rects, c.point), c.mask);

  EXPECT_FALSE(FXObjectPanel::isDragDistance({10, 10}, {50, 50}));
  EXPECT_TRUE(FXObjectPanel::isDragDistance({10, 10}, {51, 10}));
  EXPECT_TRUE(FXObjectPanel::isDragDistance({10, 50}, {10, 9}));

  // Unfolded the triangle points down (its tip lowest), folded right.
  const QRectF box(0, 0, 12, 12);
  const QPolygonF down = FXObjectPanel::triangleIn(box, false);
  const QPolygonF right = FXObjectPanel::triangleIn(box, true);
  EXPECT_GT(down.boundingRect().width(), down.boundingRect().height());
  EXPECT_DOUBLE_EQ(down[2].y(), down.boundingRect().bottom());
  EXPECT_GT(right.boundingRect().height(), right.boundingRect().width());
  EXPECT_DOUBLE_EQ(right[2].x(), right.boundingRect().right());
}

class FXChainEditingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (FXChain* chain : {&first, &second}) {
      scroll.showChain(chain);
      chain->myView();
    }
    scroll.resize(220, 200);
    scroll.showChain(&first);
    for (const QString& name : split("A,B,C")) first.loadEffectNamed(name);
  }
  FXChain::Element at(FXChain& chain, int index) { return chain.fxArray()[size_t(index)]; }
  // Drops the panel of `element` on `chain` at `index`.
  bool dropPanel(FXChain& chain, const FXChain::Element& element, int index,
                 Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    FXChainDragDestBox* box = chain.backgroundBox();
    const auto data = dragOf(manager);
    EXPECT_TRUE(box->dragMovedTo(data.get(), pointFor(chain, index)));
    EXPECT_EQ(box->dropInsertionLocation(), index);
    return box->performDrop(data.get(), panelElement(element)->panel(), actions);
  }
  // A point of the box (widget coordinates) whose insertion index is `index`.
  QPointF pointFor(FXChain& chain, int index) {
    const auto elements = chain.fxArray();
    const double boxHeight = chain.backgroundBox()->height();
    if (elements.empty()) return {10, 10};
    if (index >= int(elements.size())) return {10, boxHeight - 1};
    const QRectF frame = elements[size_t(index)]->localFrame();
    return {10, boxHeight - (frame.y() + frame.height()) + 2};
  }

  PanelManager manager;
  FXChain first{&manager};
  FXChain second{&manager};
  FXChainScrollView scroll;
};

TEST_F(FXChainEditingTest, PanelsStackTopDownInTheBoxAndLeaveItWithTheirElements) {
  FXChainDragDestBox* box = first.backgroundBox();
  ASSERT_EQ(box->parentWidget(), first.myView());
  EXPECT_EQ(scroll.widget(), first.myView());
  double top = -1;
  for (const auto& element : first.fxArray()) {
    RecordingPanel* panel = panelElement(element)->panel();
    EXPECT_EQ(panel->parentWidget(), box);
    EXPECT_EQ(panel->width(), scroll.viewport()->width());
    EXPECT_GT(panel->y(), top);
    top = panel->y();
  }
  const auto b = at(first, 1);
  first.deleteThisEffect(b.get());
  EXPECT_EQ(panelElement(b)->panel()->parentWidget(), nullptr);
  EXPECT_FALSE(panelElement(b)->panel()->isVisible());
}

TEST_F(FXChainEditingTest, ReordersCountTheDraggedElementOnce) {
  struct Case {
    int from;
    int drop;
    const char* order;
  };
  const Case cases[] = {
      {0, 3, "B,C,A"},  // the first to the end
      {0, 2, "B,A,C"},  // between the other two
      {0, 1, "A,B,C"},  // just below itself: unchanged
      {0, 0, "A,B,C"}, {2, 0, "C,A,B"},
  };
  for (const Case& c : cases) {
    first.deleteAllEffects();
    for (const QString& name : split("A,B,C")) first.loadEffectNamed(name);
    const auto moved = at(first, c.from);
    EXPECT_TRUE(dropPanel(first, moved, c.drop)) << c.from << "→" << c.drop;
    EXPECT_EQ(namesOf(first), split(c.order)) << c.from << "→" << c.drop;
    EXPECT_EQ(first.indexOf(moved.get()), split(c.order).indexOf(moved->myName()));
    EXPECT_EQ(first.backgroundBox()->highlight(), nullptr);
    EXPECT_EQ(first.backgroundBox()->dropInsertionLocation(), -1);
  }
}

TEST_F(FXChainEditingTest, AMoveBetweenChainsKeepsTheElementAndItsPanel) {
  second.loadEffectNamed(QStringLiteral("C"));
  const auto b = at(first, 1);
  EXPECT_TRUE(dropPanel(second, b, 0));
  EXPECT_EQ(namesOf(first), split("A,C"));
  EXPECT_EQ(namesOf(second), split("B,C"));
  EXPECT_EQ(at(second, 0), b);
  EXPECT_EQ(b->myChain(), &second);
  EXPECT_FALSE(b->deleted());
  EXPECT_EQ(panelElement(b)->panel()->parentWidget(), second.backgroundBox());
}

TEST_F(FXChainEditingTest, AltDragsCopyWhatCanBeCopiedAndMoveTheRest) {
  first.loadEffectNamed(QStringLiteral("Copyable"));
  const auto copyable = at(first, 3);
  QTest::mousePress(panelElement(copyable)->panel(), Qt::LeftButton, Qt::AltModifier,
                    QPoint(100, 20));
  QTest::mouseRelease(panelElement(copyable)->panel(), Qt::LeftButton, Qt::AltModifier,
                      QPoint(100, 20));
  ASSERT_TRUE(panelElement(copyable)->panel()->optOnClick());
  EXPECT_TRUE(dropPanel(second, copyable, 0));
  EXPECT_EQ(namesOf(first), split("A,B,C,Copyable"));
  ASSERT_EQ(namesOf(second), split("Copyable"));
  EXPECT_NE(at(second, 0), copyable);

  // An element that gives no copy moves, Alt or not.
  const auto a = at(first, 0);
  QTest::mousePress(panelElement(a)->panel(), Qt::LeftButton, Qt::AltModifier, QPoint(100, 20));
  QTest::mouseRelease(panelElement(a)->panel(), Qt::LeftButton, Qt::AltModifier, QPoint(100, 20));
  EXPECT_TRUE(dropPanel(second, a, 1));
  EXPECT_EQ(namesOf(first), split("B,C,Copyable"));
  EXPECT_EQ(namesOf(second), split("Copyable,A"));
  EXPECT_EQ(at(second, 1), a);
}

TEST_F(FXChainEditingTest, ATableDropInsertsTheArchivedElement) {
  QTableView table;
  FXChainDragDestBox* box = first.backgroundBox();
  const auto data =
      dragOf(manager, PropertyList::toXml(QVariantMap{{FXObject::kArchiveNameKey, "B"}}));
  ASSERT_TRUE(box->dragMovedTo(data.get(), pointFor(first, 1)));
  EXPECT_NE(box->highlight(), nullptr);
  EXPECT_TRUE(box->performDrop(data.get(), &table, Qt::CopyAction));
  EXPECT_EQ(namesOf(first), split("A,B,B,C"));
}

// Every refused drop answers false and leaves both chains as they were.
TEST_F(FXChainEditingTest, RefusedDropsChangeNothing) {
  PanelManager otherFamily(QStringLiteral("otherFX"));
  FXChain foreign(&otherFamily);
  foreign.loadEffectNamed(QStringLiteral("A"));
  QTableView table;
  const auto a = at(first, 0);
  const auto typed = dragOf(manager);
  const auto wrongType = dragOf(otherFamily);
  const auto notAnArchive = dragOf(manager, "not a property list");
  const auto unknownName =
      dragOf(manager, PropertyList::toXml(QVariantMap{{FXObject::kArchiveNameKey, "Zz"}}));
  struct Case {
    const char* what;
    const QMimeData* data;
    QObject* source;
    Qt::DropActions actions;
  };
  const Case cases[] = {
      {"another family's type", wrongType.get(), panelElement(a)->panel(), Qt::CopyAction},
      {"no copy in the mask", typed.get(), panelElement(a)->panel(), Qt::MoveAction},
      {"a table without data", typed.get(), &table, Qt::CopyAction},
      {"a table with bad data", notAnArchive.get(), &table, Qt::CopyAction},
      {"a name nobody makes", unknownName.get(), &table, Qt::CopyAction},
      {"a panel of another process", typed.get(), nullptr, Qt::CopyAction},
      {"another family's panel", typed.get(), panelElement(foreign.fxArray()[0])->panel(),
       Qt::CopyAction},
  };
  LogCapture log;
  FXChainDragDestBox* box = second.backgroundBox();
  for (const Case& c : cases) {
    box->dragMovedTo(typed.get(), pointFor(second, 0));
    EXPECT_FALSE(box->performDrop(c.data, c.source, c.actions)) << c.what;
    EXPECT_EQ(namesOf(first), split("A,B,C")) << c.what;
    EXPECT_TRUE(namesOf(second).isEmpty()) << c.what;
    EXPECT_EQ(namesOf(foreign), split("A")) << c.what;
    EXPECT_EQ(box->dropInsertionLocation(), -1) << c.what;
  }
  // A drag of another family's type is not even offered a place.
  EXPECT_FALSE(box->dragMovedTo(wrongType.get(), pointFor(second, 0)));
  EXPECT_EQ(box->highlight(), nullptr);
  // Nor is a drop without a place.
  EXPECT_FALSE(box->performDrop(typed.get(), &table, Qt::CopyAction));
}

TEST_F(FXChainEditingTest, PanelPressesDeleteFoldOrDrag) {
  const auto a = at(first, 0);
  RecordingPanel* panel = panelElement(a)->panel();
  const QPoint onDelete = panel->imageRects().remove.center().toPoint();

  // A press on the delete image dragged 60 points deletes on release and
  // starts no drag.
  QTest::mousePress(panel, Qt::LeftButton, {}, onDelete);
  QTest::mouseMove(panel, onDelete + QPoint(-60, 60));
  QTest::mouseRelease(panel, Qt::LeftButton, {}, onDelete + QPoint(-60, 60));
  EXPECT_EQ(panel->dragsStarted, 0);
  QTest::qWait(20);  // deleted from the event loop
  EXPECT_EQ(namesOf(first), split("B,C"));
  EXPECT_TRUE(a->deleted());

  // A press on the title dragged past 40 points starts one drag.
  const auto b = at(first, 0);
  RecordingPanel* bPanel = panelElement(b)->panel();
  QTest::mousePress(bPanel, Qt::LeftButton, {}, QPoint(60, 8));
  QTest::mouseMove(bPanel, QPoint(60, 30));
  EXPECT_EQ(bPanel->dragsStarted, 0);
  QTest::mouseMove(bPanel, QPoint(60, 49));
  QTest::mouseMove(bPanel, QPoint(60, 80));
  QTest::mouseRelease(bPanel, Qt::LeftButton, {}, QPoint(60, 80));
  EXPECT_EQ(bPanel->dragsStarted, 1);
  EXPECT_EQ(namesOf(first), split("B,C"));

  // The triangle folds to the title strip and unfolds again.
  const QPoint onTriangle = bPanel->imageRects().expandCollapse.center().toPoint();
  QTest::mouseClick(bPanel, Qt::LeftButton, {}, onTriangle);
  EXPECT_TRUE(b->collapsed());
  EXPECT_TRUE(bPanel->collapsedFlag());
  EXPECT_EQ(bPanel->height(), int(FXObject::kCollapsedHeight));
  QTest::mouseClick(bPanel, Qt::LeftButton, {}, onTriangle);
  EXPECT_FALSE(b->collapsed());
  EXPECT_EQ(bPanel->height(), 40);
}

TEST_F(FXChainEditingTest, TheOnOffButtonStartsOnAndBypasses) {
  const auto a = at(first, 0);
  QKButton* button = panelElement(a)->panel()->bypassButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->intValue(), 1);
  EXPECT_FALSE(a->bypass());
  EXPECT_EQ(QRectF(button->geometry()), FXObjectPanel::bypassButtonFrameFor(200));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_TRUE(a->bypass());
}

TEST_F(FXChainEditingTest, ScreenshotOfTwoPanelsOneFoldedWithTheBar) {
  first.deleteEffectNamed(QStringLiteral("C"));
  scroll.resize(240, 160);
  scroll.show();
  const auto b = at(first, 1);
  RecordingPanel* panel = panelElement(b)->panel();
  QTest::mouseClick(panel, Qt::LeftButton, {},
                    panel->imageRects().expandCollapse.center().toPoint());
  const auto data = dragOf(manager);
  ASSERT_TRUE(first.backgroundBox()->dragMovedTo(data.get(), pointFor(first, 1)));
  QTest::qWait(50);
  const QImage shot = scroll.grab().toImage();
  EXPECT_FALSE(saveScreenshot(shot, QStringLiteral("fx-chain-panels")).isEmpty());
  // The bar is red where it lies, the title strips are the "stroke" colour.
  const QRect bar = first.backgroundBox()->highlight()->geometry();
  const QPoint inBar = first.backgroundBox()->mapTo(&scroll, bar.center());
  EXPECT_EQ(shot.pixelColor(inBar).red(), 255);
  first.backgroundBox()->dragLeft();
}

// Frames pass both chains on another thread while elements move between
// them and reorder: no pass ever sees a deleted element.
TEST_F(FXChainEditingTest, MovesAndReordersWhileFramesPass) {
  second.loadEffectNamed(QStringLiteral("C"));
  RecordingElement::deletedPassCount = 0;
  std::atomic<bool> stop{false};
  std::thread frames([&] {
    while (!stop) {
      QStringList seen;
      first.passPtrThruChain(&seen);
      second.passPtrThruChain(&seen);
    }
  });
  for (int i = 0; i < 200; ++i) {
    FXChain& from = i % 2 ? second : first;
    FXChain& to = i % 2 ? first : second;
    if (from.count() == 0) continue;
    dropPanel(to, at(from, 0), to.count());
    if (to.count() > 1) dropPanel(to, at(to, 0), 2);
  }
  stop = true;
  frames.join();
  EXPECT_EQ(first.count() + second.count(), 4);
  EXPECT_EQ(RecordingElement::deletedPassCount.load(), 0);
}

}  // namespace
