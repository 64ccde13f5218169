#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/QKBMSMCoordinatorInterface.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/BezierPathAdditions.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKFallThruPopUpButtonCell.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "framework/toolkit/QKNSView.h"
#include "framework/toolkit/QKScrollView.h"
#include "framework/toolkit/QKScroller.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/framework/toolkit/SavedTheme.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionSlider>
#include <QTableView>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QColor popUpColor(const char* key) {
  return ThemeDict::color(ThemeDict::popUpColors(), QString::fromLatin1(key));
}

// Pixels of `area` that differ from `color`.
int pixelsOtherThan(const QImage& image, const QRect& area, QColor color) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixel(x, y) != color.rgb()) ++count;
  return count;
}

double distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

}  // namespace

TEST(PopUpButton, RebuildsItsShapesOnlyWhenTheSizeChanges) {
  QKNSPopUpButton button;
  button.addItemWithTitle(QStringLiteral("one"));
  button.resize(120, 20);
  button.grab();
  button.grab();
  EXPECT_EQ(button.pathBuilds(), 1);
  button.resize(150, 20);
  button.grab();
  button.grab();
  EXPECT_EQ(button.pathBuilds(), 2);
}

TEST(PopUpButton, DrawsNoTitleWithoutSelectionAndOnlyRealImages) {
  QKNSPopUpButton button;
  button.resize(160, 40);
  // The title's (and image's) area, clear of the frame and the arrow box.
  const QRect textArea(4, 8, 90, 24);
  const QColor fill = popUpColor("fillColor");
  EXPECT_EQ(pixelsOtherThan(button.grab().toImage(), textArea, fill), 0);

  QAction* titled = button.addItemWithTitle(QStringLiteral("Layer 1"));
  ASSERT_EQ(button.selectedItem(), titled);
  EXPECT_GT(pixelsOtherThan(button.grab().toImage(), textArea, fill), 0);

  // An item with no title and a null image draws nothing there either.
  QAction* blank = button.menu()->addAction(QIcon(QPixmap()), QString());
  button.selectItem(blank);
  EXPECT_EQ(pixelsOtherThan(button.grab().toImage(), textArea, fill), 0);

  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  QAction* pictured = button.menu()->addAction(QIcon(QPixmap::fromImage(red)), QString());
  button.selectItem(pictured);
  const QImage shown = button.grab().toImage();
  EXPECT_EQ(shown.pixel(10, 20), QColor(Qt::red).rgb());  // square at (4, 13.5), side 14.5
}

TEST(PopUpButton, SelectsByIndexTitleTagAndInsideSubmenus) {
  QKNSPopUpButton button;
  QMenu* menu = new QMenu;
  menu->addAction(QStringLiteral("top"));
  QMenu* level = menu->addMenu(QStringLiteral("sub"));
  for (int depth = 1; depth < 9; ++depth)
    level = level->addMenu(QStringLiteral("sub%1").arg(depth));
  QAction* deep = level->addAction(QStringLiteral("deep"));
  QKNSPopUpButton::setTag(deep, 77);
  button.setMenu(menu);
  EXPECT_EQ(button.selectedItem(), nullptr);
  EXPECT_EQ(button.indexOfSelectedItem(), -1);

  button.selectItemWithTitle(QStringLiteral("deep"));
  EXPECT_EQ(button.selectedItem(), deep);
  EXPECT_EQ(button.titleOfSelectedItem(), QStringLiteral("deep"));
  EXPECT_EQ(button.indexOfSelectedItem(), -1);  // not a top-level item

  struct Case {
    const char* name;
    std::function<void()> select;
    QString title;
    int index;
  };
  const Case cases[] = {
      {"index 0", [&] { button.selectItemAtIndex(0); }, QStringLiteral("top"), 0},
      {"index -1", [&] { button.selectItemAtIndex(-1); }, QString(), -1},
      {"index past the end", [&] { button.selectItemAtIndex(5); }, QString(), -1},
      {"a submenu's entry", [&] { button.selectItemWithTitle(QStringLiteral("sub3")); }, QString(),
       -1},
      {"tag", [&] { button.selectItemWithTag(77); }, QStringLiteral("deep"), -1},
      {"unknown tag", [&] { button.selectItemWithTag(5); }, QString(), -1},
      {"foreign item",
       [&] {
         QAction other(QStringLiteral("x"));
         button.selectItem(&other);
       },
       QString(), -1},
  };
  for (const Case& c : cases) {
    button.selectItemAtIndex(0);
    c.select();
    EXPECT_EQ(button.titleOfSelectedItem(), c.title) << c.name;
    EXPECT_EQ(button.indexOfSelectedItem(), c.index) << c.name;
  }

  // Choosing an item deep in the submenus selects it and says so.
  std::vector<QAction*> activated;
  QObject::connect(&button, &QKNSPopUpButton::activated,
                   [&](QAction* item) { activated.push_back(item); });
  deep->trigger();
  EXPECT_EQ(button.selectedItem(), deep);
  EXPECT_EQ(activated, std::vector<QAction*>{deep});

  button.removeAllItems();
  EXPECT_EQ(button.selectedItem(), nullptr);
  EXPECT_EQ(button.titleOfSelectedItem(), QString());
  button.selectItemAtIndex(0);
  EXPECT_EQ(button.selectedItem(), nullptr);
}

TEST(PopUpButton, ThemeRedrawNotificationRepaints) {
  SavedTheme theme;
  QKNSPopUpButton button;
  button.resize(100, 20);
  TheApplication::instance()->setPopUpColorDict({{QStringLiteral("fillColor"), QColor(0, 90, 0)}});
  NotificationCenter::defaultCenter().post(QKNSPopUpButton::kRedrawNotification);
  EXPECT_EQ(button.grab().toImage().pixel(30, 10), QColor(0, 90, 0).rgb());
}

TEST(PopUpButton, Screenshot) {
  QWidget window;
  window.resize(220, 150);
  window.setAutoFillBackground(true);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, QColor(26, 26, 26));
  window.setPalette(palette);
  auto* layout = new QVBoxLayout(&window);
  auto* button = new QKNSPopUpButton;
  button->setFixedSize(160, 20);
  QMenu* menu = new QMenu;
  menu->addAction(QStringLiteral("Layer 1"));
  menu->addMenu(QStringLiteral("Effects"))->addAction(QStringLiteral("Blur"));
  button->setMenu(menu);
  button->selectItemAtIndex(0);
  auto* empty = new QKNSPopUpButton;
  empty->setFixedSize(160, 20);
  auto* table = new QTableView;
  auto* model = new QStandardItemModel(2, 1, table);
  model->setItem(0, new QStandardItem(QStringLiteral("Folder")));
  model->setItem(1, new QStandardItem(QString()));
  table->setModel(model);
  table->setItemDelegate(new QKFallThruPopUpButtonCell(table));
  layout->addWidget(button);
  layout->addWidget(empty);
  layout->addWidget(table);
  window.show();
  MainThread::processUntil([&] { return window.isVisible(); }, 2.0);
  const QImage image = window.grab().toImage();
  EXPECT_FALSE(saveScreenshot(image, QStringLiteral("pop-up")).isEmpty());
  // The arrow box of the selected button, at its trailing end, is drawn.
  const QImage selected = button->grab().toImage();
  EXPECT_EQ(selected.pixel(150, 3), popUpColor("strokeColor").rgb());
}

TEST(PopUpCell, NoTitleWithoutSelectionAndToolTipLookUp) {
  QKFallThruPopUpButtonCell cell;
  QStandardItemModel model(2, 1);
  model.setItem(0, new QStandardItem(QStringLiteral("chosen")));
  model.setItem(1, new QStandardItem(QString()));
  const auto draw = [&](int row) {
    QImage image(160, 40, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 160, 40);
    cell.paint(&painter, option, model.index(row, 0));
    return image;
  };
  const QRect textArea(6, 9, 90, 24);
  EXPECT_GT(pixelsOtherThan(draw(0), textArea, popUpColor("fillColor")), 0);
  EXPECT_EQ(pixelsOtherThan(draw(1), textArea, popUpColor("fillColor")), 0);
  EXPECT_EQ(cell.lastRenderedRect(), QRectF(1, 1, 160, 39));

  QMenu menu;
  menu.addAction(QStringLiteral("a"))->setToolTip(QStringLiteral("port-1"));
  menu.addAction(QStringLiteral("b"))->setToolTip(QStringLiteral("port-2"));
  EXPECT_EQ(QKFallThruPopUpButtonCell::indexOfItemWithToolTip(&menu, QStringLiteral("port-2")), 1);
  EXPECT_EQ(QKFallThruPopUpButtonCell::indexOfItemWithToolTip(&menu, QStringLiteral("port-3")), -1);
  EXPECT_EQ(QKFallThruPopUpButtonCell::indexOfItemWithToolTip(nullptr, QStringLiteral("x")), -1);
}

// PostScript's arct: the arc tangent to P0→P1 and P1→P2.
TEST(BezierPathAdditions, TangentArcMeetsComputedPoints) {
  struct Case {
    const char* name;
    QPointF p0, p1, p2;
    double radius;
    QPointF tangent1, tangent2, centre;
  };
  const double s = std::sqrt(3.0);
  const Case cases[] = {
      {"right angle", {0, 0}, {10, 0}, {10, 10}, 2, {8, 0}, {10, 2}, {8, 2}},
      {"right angle the other way", {10, 10}, {0, 10}, {0, 0}, 3, {3, 10}, {0, 7}, {3, 7}},
      // 60° at P1: the tangent points lie r·√3 from it.
      {"sixty degrees",
       {0, 0},
       {10, 0},
       {10 - 5, 5 * s},
       1,
       {10 - s, 0},
       {10 - s / 2, 1.5},
       {10 - s, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QPainterPath path;
    path.moveTo(c.p0);
    BezierPathAdditions::appendArcFromPointToPoint(path, c.p1, c.p2, c.radius);
    ASSERT_GE(path.elementCount(), 3);
    EXPECT_NEAR(distance(path.elementAt(1), c.tangent1), 0.0, 1e-9);
    EXPECT_NEAR(distance(path.currentPosition(), c.tangent2), 0.0, 1e-6);
    // Every curve ends on the circle.
    for (int i = 2; i < path.elementCount(); ++i) {
      const bool curveEnd = path.elementAt(i).type == QPainterPath::CurveToDataElement &&
                            (i + 1 == path.elementCount() ||
                             path.elementAt(i + 1).type != QPainterPath::CurveToDataElement);
      if (curveEnd) {
        EXPECT_NEAR(distance(path.elementAt(i), c.centre), c.radius, 1e-6) << i;
      }
    }
    // The middle of the arc is on the circle, on the side of P1.
    const double lineLength = distance(c.p0, c.tangent1);
    const double length = path.length();
    const QPointF middle = path.pointAtPercent(path.percentAtLength((lineLength + length) / 2));
    EXPECT_NEAR(distance(middle, c.centre), c.radius, 0.02);
    EXPECT_LT(distance(middle, c.p1), distance(c.centre, c.p1));
  }
  // Degenerate: collinear points or no radius draw a line to P1.
  for (double radius : {0.0, 2.0}) {
    QPainterPath path;
    path.moveTo(0, 0);
    const QPointF p2 = radius > 0 ? QPointF(20, 0) : QPointF(10, 10);
    BezierPathAdditions::appendArcFromPointToPoint(path, {10, 0}, p2, radius);
    EXPECT_EQ(path.currentPosition(), QPointF(10, 0)) << radius;
    EXPECT_EQ(path.elementCount(), 2);
  }
}

TEST(BezierPathAdditions, ShapesKeepTheirCorners) {
  const QRectF rect(0, 0, 100, 20);
  // The pop-up arrow: apex at the larger y, base h/2 wide.
  const QPainterPath arrow = BezierPathAdditions::popUpArrowPath(rect);
  EXPECT_EQ(arrow.elementAt(0), QPointF(90, 15));
  EXPECT_EQ(arrow.elementAt(1), QPointF(95, 5));
  EXPECT_EQ(arrow.elementAt(2), QPointF(85, 5));
  // The arrow box spans the trailing square.
  EXPECT_EQ(BezierPathAdditions::popUpArrowBoxPath(rect, 4).boundingRect(), QRectF(80, 0, 20, 20));
  // The half-rounded rectangle keeps its square corners at the smaller y.
  const QPainterPath half = BezierPathAdditions::halfRoundRectPath(rect, 5);
  EXPECT_TRUE(half.contains(QPointF(0.2, 0.2)));
  EXPECT_FALSE(half.contains(QPointF(0.2, 19.8)));
  const QPainterPath round = BezierPathAdditions::roundRectPath(rect, 5);
  EXPECT_FALSE(round.contains(QPointF(0.2, 0.2)));
  EXPECT_TRUE(round.contains(QPointF(50, 10)));
}

TEST(QKScrollView, HorizontalScrollerHasNoArrowsAndAnEmptyKnobIsNotDrawn) {
  QKScrollView view;
  EXPECT_TRUE(view.horizontalScroller()->arrowsNone());
  EXPECT_FALSE(view.verticalScroller()->arrowsNone());
  // Drawn on their own (the view hides and sizes its own as it likes).
  QKScroller horizontalScroller(Qt::Horizontal, true);
  QKScroller verticalScroller(Qt::Vertical);
  QKScroller* horizontal = &horizontalScroller;
  QKScroller* vertical = &verticalScroller;
  horizontal->resize(200, 11);
  vertical->resize(11, 200);

  const auto part = [](QScrollBar* bar, QStyle::SubControl control) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.pageStep = bar->pageStep();
    option.rect = bar->rect();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, control, bar);
  };
  EXPECT_TRUE(part(horizontal, QStyle::SC_ScrollBarAddLine).isEmpty());
  EXPECT_TRUE(part(horizontal, QStyle::SC_ScrollBarSubLine).isEmpty());
  EXPECT_EQ(part(horizontal, QStyle::SC_ScrollBarGroove), QRect(0, 0, 200, 11));
  EXPECT_FALSE(part(vertical, QStyle::SC_ScrollBarAddLine).isEmpty());

  const QColor text = ThemeDict::color(ThemeDict::tableColors(), QStringLiteral("textColor"));
  const QColor fill = ThemeDict::color(ThemeDict::tableColors(), QStringLiteral("fill"));
  horizontal->setRange(0, 0);
  EXPECT_TRUE(part(horizontal, QStyle::SC_ScrollBarSlider).isEmpty());
  EXPECT_EQ(horizontal->grab().toImage().pixel(100, 5), fill.rgb());

  horizontal->setRange(0, 100);
  horizontal->setPageStep(100);
  horizontal->setValue(0);
  const QRect knob = part(horizontal, QStyle::SC_ScrollBarSlider);
  ASSERT_FALSE(knob.isEmpty());
  EXPECT_EQ(horizontal->grab().toImage().pixel(knob.center()), text.rgb());
  // The same rectangles answer the hit test.
  QStyleOptionSlider option;
  option.initFrom(horizontal);
  option.orientation = Qt::Horizontal;
  option.maximum = 100;
  option.pageStep = 100;
  option.rect = horizontal->rect();
  EXPECT_EQ(
      horizontal->style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option, {2, 5}, horizontal),
      QStyle::SC_ScrollBarSlider);
}

TEST(BlackTranslucentPanel, BorderlessWhateverItIsGivenAndKeysGoToTheController) {
  DataSourceController controller(DataSourceController::TickThread::Manual);
  BlackTranslucentPanel panel(nullptr, Qt::Dialog | Qt::WindowTitleHint);
  EXPECT_TRUE(panel.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(panel.isWindow());
  EXPECT_TRUE(panel.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_EQ(panel.backgroundColor().alpha(), 230);
  EXPECT_EQ(panel.dataSourceController(), &controller);
  std::vector<QEvent::Type> seen;
  NotificationObservers observers;
  observers.observe(QStringLiteral("QKKeyDetectNotification"), nullptr, [&](const Notification& n) {
    seen.push_back(static_cast<QKeyEvent*>(n.object)->type());
  });
  QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
  QApplication::sendEvent(&panel, &press);
  QApplication::sendEvent(&panel, &release);
  EXPECT_EQ(seen, (std::vector<QEvent::Type>{QEvent::KeyPress, QEvent::KeyRelease}));
}

TEST(QKNSTextLabel, FollowsTheLabelTheme) {
  SavedTheme theme;
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  QKNSTextLabel label(QStringLiteral("Speed"));
  const QColor green(20, 200, 40);
  app->setLabelColorDict({{InterfaceColorScheme::kForegroundColorAttribute, green}});
  EXPECT_NE(label.palette().color(QPalette::WindowText), green);
  NotificationCenter::defaultCenter().post(QKNSTextLabel::kRedrawNotification);
  EXPECT_EQ(label.palette().color(QPalette::WindowText), green);
  // A mistyped font keeps the label's own.
  const QFont font = label.font();
  app->setLabelColorDict({{InterfaceColorScheme::kFontAttribute, 3}});
  label.redrawNotification();
  EXPECT_EQ(label.font(), font);
}

TEST(QKNSView, FocusClearsTheControlSelection) {
  struct Coordinator : QKBMSMCoordinatorInterface {
    void selectSlider() override {}
    void selectButton() override {}
    void selectNothing() override { ++deselections; }
    int deselections = 0;
  } coordinator;
  QKNSView early;  // made before there is a controller: finds it on focus
  DataSourceController controller(DataSourceController::TickThread::Manual);
  controller.setCoordinator(&coordinator);
  QKNSView view;
  EXPECT_EQ(view.dataSourceController(), &controller);
  for (QKNSView* v : {&view, &early}) {
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(v, &focus);
  }
  EXPECT_EQ(coordinator.deselections, 2);
  EXPECT_EQ(early.dataSourceController(), &controller);
  controller.setCoordinator(nullptr);
}

TEST(FirstResponderTextField, SelectsAllItsTextOnceFocused) {
  FirstResponderTextField field(QStringLiteral("Layer 1"));
  QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
  QApplication::sendEvent(&field, &focus);
  field.deselect();  // as the focusing click would
  EXPECT_TRUE(MainThread::processUntil([&] { return field.selectedText() == field.text(); }, 2.0));
}
