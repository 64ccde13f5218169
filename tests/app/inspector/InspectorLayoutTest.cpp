// The inspector palette at the size it first opens with: a movie's whole
// pane (preview, options, time-warp editor) is on view without scrolling,
// every label is whole, the frame fits a 1280 x 800 screen, and the palette
// still resizes and keeps the frame stored in the user defaults.
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/Screenshot.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

// The part of `widget` that shows: its rect cut by every ancestor's up to
// (not including) `top`, in the widget's own coordinates.
QRect shownPart(const QWidget* widget, const QWidget* top) {
  QRect shown = widget->rect();
  QPoint offset;  // widget origin in the ancestor's coordinates
  for (const QWidget* w = widget; w && w != top; w = w->parentWidget()) {
    const QWidget* parent = w->parentWidget();
    if (!parent) break;
    offset += w->pos();
    shown &= parent->rect().translated(-offset);
  }
  return shown;
}

// The widgets a performer works with: every visible leaf control under
// `root` (containers and scroll-area parts left out).
QList<QWidget*> controlsUnder(QWidget* root) {
  QList<QWidget*> controls;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(root) || qobject_cast<QScrollBar*>(w)) continue;
    const bool leaf = w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty();
    if (leaf || qobject_cast<QAbstractButton*>(w) || qobject_cast<QKSliderControl*>(w))
      controls.append(w);
  }
  return controls;
}

QString describe(const QWidget* w) {
  QString text;
  if (auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(w)) text = button->text();
  if (auto* slider = qobject_cast<const QKSliderControl*>(w)) text = slider->sliderName();
  return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), text);
}

// The room a widget's own text needs across (0 for widgets without text).
int textWidthNeeded(const QWidget* w) {
  if (auto* label = qobject_cast<const QLabel*>(w); label && !label->wordWrap())
    return label->fontMetrics().horizontalAdvance(label->text().section(QLatin1Char('\n'), 0, 0));
  if (auto* slider = qobject_cast<const QKSliderControl*>(w))
    // The name starts two points in from the track's left edge.
    return 2 + int(std::ceil(slider->cell()->sliderNameText().textSize().width()));
  return 0;
}

struct InspectorLayout : ::testing::Test {
  InspectorLayout() : inspector(&host) {
    UserDefaults::standard().remove(frameKey());
    inspector.awakeFromNib();
    content()->expand();
    settle();
  }
  ~InspectorLayout() override {
    inspector.selectTheseFiles({});
    UserDefaults::standard().remove(frameKey());
  }
  static QString frameKey() {
    return PaletteGeometry::storedFrameKey(MediaInspector::kPaletteTitle);
  }
  QKWindowContentView* content() const { return inspector.window()->contentView(); }
  void showMovie() {
    TestClipSpec spec;
    file = files.movie(spec);
    file->addWarpMarkerAtTime({15 * 512, 30 * 512, 0});
    inspector.selectTheseFiles({entry(file)});
    QKMIRangeSelectorController* preview = inspector.rangeSelector();
    MainThread::processUntil([&] { return preview->currentMovie() && !preview->loading(); }, 5.0);
    settle(0.1);
  }

  FakeInspectorHost host;
  InspectorFiles files;
  MediaInspector inspector;
  std::shared_ptr<QKQTFile> file;
};

TEST_F(InspectorLayout, FirstFrameFitsASmallScreen) {
  const auto snapshot = PaletteGeometry::defaultFrameSnapshot(MediaInspector::kPaletteTitle);
  ASSERT_TRUE(snapshot);
  // Counted from the top of the screen: the bottom edge is at "originY".
  const QVariantMap s = *snapshot;
  const int top =
      s.value(QStringLiteral("originY")).toInt() - s.value(QStringLiteral("height")).toInt();
  EXPECT_GE(top, 0);
  EXPECT_LE(s.value(QStringLiteral("originY")).toInt(), 800);
  EXPECT_LE(s.value(QStringLiteral("originX")).toInt() + s.value(QStringLiteral("width")).toInt(),
            1280);
}

TEST_F(InspectorLayout, MoviePaneIsWholeAtTheFirstSize) {
  const auto first = PaletteGeometry::defaultFrameSnapshot(MediaInspector::kPaletteTitle);
  ASSERT_TRUE(first);
  ASSERT_EQ(content()->actualLocation().size(),
            QSizeF(first->value(QStringLiteral("width")).toInt(),
                   first->value(QStringLiteral("height")).toInt()));
  showMovie();
  ASSERT_EQ(inspector.shownBox(), MediaInspector::Box::Movie);
  QTabWidget* tabs = inspector.movieOptionsTabView();
  QWidget* body = content()->body();
  for (int tab = 0; tab < tabs->count(); ++tab) {
    SCOPED_TRACE(tabs->tabText(tab).toStdString());
    tabs->setCurrentIndex(tab);
    settle();
    saveScreenshot(inspector.window()->grab().toImage(),
                   QStringLiteral("inspector-movie-%1").arg(tab));
    for (QAbstractScrollArea* area : body->findChildren<QAbstractScrollArea*>()) {
      if (!area->isVisibleTo(body)) continue;
      EXPECT_FALSE(area->verticalScrollBar()->isVisibleTo(body)) << "the pane scrolls";
      EXPECT_FALSE(area->horizontalScrollBar()->isVisibleTo(body)) << "the pane scrolls";
    }
    const QList<QWidget*> controls = controlsUnder(body);
    EXPECT_GT(controls.size(), 10);
    for (QWidget* w : controls) {
      SCOPED_TRACE(describe(w).toStdString());
      const QRect shown = shownPart(w, inspector.window());
      EXPECT_EQ(shown, w->rect()) << "cut off: " << shown.width() << " x " << shown.height()
                                  << " of " << w->width() << " x " << w->height() << " show";
      EXPECT_LE(textWidthNeeded(w), w->width()) << "its text is cut";
    }
  }
}

TEST_F(InspectorLayout, StillResizesAndKeepsItsStoredFrame) {
  showMovie();
  QKWindowContentView* view = content();
  MainThread::processUntil([&] { return inspector.window()->windowHandle()->isExposed(); }, 3.0);
  inspector.movieOptionsTabView()->setCurrentIndex(1);
  settle();
  const QRectF first = view->actualLocation();
  const int editorHeight = inspector.timeWarpView()->height();
  // Drag the resize handle at the lower right corner.
  MouseDrag resize(view, {first.width() - 10, first.height() - 10});
  resize.moveBy({40, 60});
  resize.release();
  settle();
  EXPECT_EQ(view->actualLocation().size(), first.size() + QSizeF(40, 60));
  EXPECT_EQ(UserDefaults::standard().dictionaryValue(frameKey()), view->createSnapshot());
  EXPECT_GT(inspector.timeWarpView()->height(), editorHeight) << "the editor takes the room";
}
}  // namespace
