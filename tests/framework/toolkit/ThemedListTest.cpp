#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/QKBMSMCoordinatorInterface.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/ActiveDeleteOutlineView.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/MouseEventTableView.h"
#include "framework/toolkit/QKNSOutlineView.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKTextImageCell.h"
#include "framework/toolkit/TableViewAdditions.h"
#include "framework/toolkit/ThemedList.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/framework/toolkit/SavedTheme.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// What reached the data-source controller: the key and press or release.
struct ControllerKeys {
  ControllerKeys() {
    observers.observe(QStringLiteral("QKKeyDetectNotification"), nullptr,
                      [this](const Notification& n) {
                        const auto* event = static_cast<QKeyEvent*>(n.object);
                        seen.push_back({event->key(), event->type()});
                      });
  }
  std::vector<std::pair<int, QEvent::Type>> seen;
  NotificationObservers observers;
};

// Counts the keys that come up from its children.
class KeyRecordingParent : public QWidget {
 public:
  int keys = 0;

 protected:
  void keyPressEvent(QKeyEvent*) override { ++keys; }
  void keyReleaseEvent(QKeyEvent*) override { ++keys; }
};

class CountingCoordinator : public QKBMSMCoordinatorInterface {
 public:
  void selectSlider() override {}
  void selectButton() override {}
  void selectNothing() override { ++deselections; }
  int deselections = 0;
};

class CountingDeleteDelegate : public ActiveDeleteDelegate {
 public:
  void deleteKeyPressed() override { ++presses; }
  int presses = 0;
};

QStandardItemModel* makeModel(QObject* parent, int rows) {
  auto* model = new QStandardItemModel(rows, 1, parent);
  for (int row = 0; row < rows; ++row)
    model->setItem(row, new QStandardItem(QStringLiteral("row %1").arg(row)));
  return model;
}

void pressAndRelease(QWidget* view, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(view, &press);
  QApplication::sendEvent(view, &release);
}

// Whether a cell editor is open in the view.
bool editing(const QAbstractItemView& view) {
  for (const QLineEdit* editor : view.viewport()->findChildren<QLineEdit*>())
    if (!editor->isHidden()) return true;
  return false;
}

std::unique_ptr<QAbstractItemView> makeList(bool outline, bool activeDelete) {
  if (outline)
    return activeDelete ? std::unique_ptr<QAbstractItemView>(new ActiveDeleteOutlineView)
                        : std::unique_ptr<QAbstractItemView>(new QKNSOutlineView);
  return activeDelete ? std::unique_ptr<QAbstractItemView>(new ActiveDeleteTableView)
                      : std::unique_ptr<QAbstractItemView>(new QKNSTableView);
}

}  // namespace

// Which keys a list keeps and which reach the controller, pressed and
// released; in the active-delete lists Delete reaches only the delegate.
// None goes on to the list's parent.
TEST(ThemedList, KeyRouting) {
  DataSourceController controller(DataSourceController::TickThread::Manual);
  struct Case {
    int key;
    QString text;
    bool tableKeeps;
    bool outlineKeeps;
  };
  const Case keys[] = {
      {Qt::Key_Up, {}, true, true},
      {Qt::Key_Down, {}, true, true},
      {Qt::Key_Left, {}, false, true},
      {Qt::Key_Right, {}, false, true},
      {Qt::Key_A, QStringLiteral("a"), false, false},
      {Qt::Key_Backspace, {}, false, false},
      {Qt::Key_Delete, {}, false, false},
      {Qt::Key_Return, {}, false, false},
      {Qt::Key_Enter, {}, false, false},
  };
  for (bool outline : {false, true}) {
    for (bool activeDelete : {false, true}) {
      for (const Case& c : keys) {
        SCOPED_TRACE(testing::Message()
                     << (outline ? "outline" : "table") << (activeDelete ? " active-delete" : "")
                     << " key " << QKeySequence(c.key).toString().toStdString());
        KeyRecordingParent parent;
        std::unique_ptr<QAbstractItemView> view = makeList(outline, activeDelete);
        view->setParent(&parent);
        view->setModel(makeModel(view.get(), 3));
        view->setCurrentIndex(view->model()->index(0, 0));  // Up can go nowhere
        CountingDeleteDelegate deletes;
        if (auto* table = dynamic_cast<ActiveDeleteTableView*>(view.get()))
          table->setDeleteDelegate(&deletes);
        if (auto* tree = dynamic_cast<ActiveDeleteOutlineView*>(view.get()))
          tree->setDeleteDelegate(&deletes);
        ControllerKeys keysSeen;
        pressAndRelease(view.get(), c.key, c.text);

        const bool deleteKey = c.key == Qt::Key_Backspace || c.key == Qt::Key_Delete;
        const bool toDelegate = activeDelete && deleteKey;
        const bool kept = outline ? c.outlineKeeps : c.tableKeeps;
        const decltype(keysSeen.seen) forwarded{{c.key, QEvent::KeyPress},
                                                {c.key, QEvent::KeyRelease}};
        EXPECT_EQ(keysSeen.seen, (kept || toDelegate) ? decltype(forwarded){} : forwarded);
        EXPECT_EQ(deletes.presses, toDelegate ? 1 : 0);
        EXPECT_EQ(parent.keys, 0);
        view.reset();
      }
    }
  }
}

TEST(ThemedList, ArrowsTheListKeepsMoveTheSelection) {
  QKNSTableView table;
  table.setModel(makeModel(&table, 3));
  table.setCurrentIndex(table.model()->index(0, 0));
  pressAndRelease(&table, Qt::Key_Down);
  EXPECT_EQ(table.currentIndex().row(), 1);

  QKNSOutlineView outline;
  auto* model = makeModel(&outline, 2);
  model->item(0)->appendRow(new QStandardItem(QStringLiteral("child")));
  outline.setModel(model);
  outline.setCurrentIndex(model->index(0, 0));
  pressAndRelease(&outline, Qt::Key_Right);
  EXPECT_TRUE(outline.isExpanded(model->index(0, 0)));
  pressAndRelease(&outline, Qt::Key_Left);
  EXPECT_FALSE(outline.isExpanded(model->index(0, 0)));
}

TEST(ThemedList, KeyWithoutControllerIsLoggedAndDroppedThenFound) {
  QKNSTableView table;
  ControllerKeys keysSeen;
  {
    LogCapture log;
    pressAndRelease(&table, Qt::Key_A, QStringLiteral("a"));
    EXPECT_TRUE(log.contains(QStringLiteral("\t\terror: dataSourceController is NIL")));
  }
  EXPECT_TRUE(keysSeen.seen.empty());
  DataSourceController controller(DataSourceController::TickThread::Manual);
  pressAndRelease(&table, Qt::Key_A, QStringLiteral("a"));
  EXPECT_EQ(table.dataSourceController(), &controller);
  EXPECT_EQ(keysSeen.seen.size(), 2u);
}

TEST(ThemedList, ClickAndFocusClearTheControlSelection) {
  DataSourceController controller(DataSourceController::TickThread::Manual);
  CountingCoordinator coordinator;
  controller.setCoordinator(&coordinator);
  for (bool outline : {false, true}) {
    SCOPED_TRACE(outline ? "outline" : "table");
    coordinator.deselections = 0;
    std::unique_ptr<QAbstractItemView> view = makeList(outline, false);
    view->setModel(makeModel(view.get(), 3));
    view->resize(200, 100);
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(view->viewport(), &click);
    EXPECT_EQ(coordinator.deselections, 1);
    const int modifiers = outline ? static_cast<QKNSOutlineView*>(view.get())->modifiersOnClick()
                                  : static_cast<QKNSTableView*>(view.get())->modifiersOnClick();
    EXPECT_EQ(modifiers, static_cast<int>(Qt::ControlModifier));
    QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(view.get(), &focus);
    EXPECT_EQ(coordinator.deselections, 2);
  }
  controller.setCoordinator(nullptr);
}

TEST(ThemedList, ReturnEndsEditingAndTheListKeepsTheFocus) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "needs a window with focus";
  DataSourceController controller(DataSourceController::TickThread::Manual);
  for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
    ActiveDeleteTableView table;
    auto* model = makeModel(&table, 3);
    table.setModel(model);
    table.show();
    table.activateWindow();
    MainThread::processUntil([&] { return table.isActiveWindow(); }, 3.0);
    const QModelIndex cell = model->index(1, 0);
    table.edit(cell);
    auto* editor = table.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("renamed"));
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(editor, &press);
    QCoreApplication::processEvents();
    EXPECT_EQ(model->data(cell).toString(), QStringLiteral("renamed"));
    EXPECT_FALSE(editing(table));
    EXPECT_EQ(table.window()->focusWidget(), &table);
  }
}

TEST(ThemedList, RowHeightFollowsTheThemeFontAtOnce) {
  SavedTheme theme;
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  QKNSTableView table;
  QKNSOutlineView outline;
  table.setModel(makeModel(&table, 2));
  outline.setModel(makeModel(&outline, 2));
  table.resize(200, 200);
  outline.resize(200, 200);
  const auto textHeight = [](const QFont& font) {
    return QFontMetricsF(font).size(0, ThemedList::kRowHeightSample).height();
  };
  for (int pixelSize : {9, 24}) {
    SCOPED_TRACE(pixelSize);
    QFont font = table.font();
    font.setPixelSize(pixelSize);
    app->setTableColorDict({{QStringLiteral("font"), font}});
    NotificationCenter::defaultCenter().post(ThemedList::kRedrawNotification);
    const int expected = static_cast<int>(std::ceil(textHeight(font)));
    EXPECT_EQ(table.rowHeight(), expected);
    EXPECT_EQ(table.rowHeight(1), expected);
    EXPECT_EQ(outline.rowHeight(), static_cast<int>(std::ceil(textHeight(font) - 2.0)));
    EXPECT_EQ(outline.visualRect(outline.model()->index(1, 0)).height(), outline.rowHeight());
    EXPECT_EQ(table.font().pixelSize(), pixelSize);
  }
}

TEST(ThemedList, MistypedThemeEntriesKeepTheViewsOwn) {
  SavedTheme theme;
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  const QColor fill(1, 2, 3);
  QKNSTableView table;
  const QColor textBefore = table.palette().color(QPalette::Text);
  const QFont fontBefore = table.font();
  app->setTableColorDict({{QStringLiteral("font"), QStringLiteral("Helvetica 12")},
                          {QStringLiteral("textColor"), 42},
                          {QStringLiteral("fill"), fill}});
  table.tableRedrawNotification();
  EXPECT_EQ(table.palette().color(QPalette::Base), fill);
  EXPECT_EQ(table.palette().color(QPalette::Text), textBefore);
  EXPECT_EQ(table.font(), fontBefore);
  EXPECT_GT(table.rowHeight(), 0);
}

TEST(ThemedList, ImageSquareClickRunsTheActionAndDoesNotEdit) {
  QKNSTableView table;
  auto* model = makeModel(&table, 2);
  table.setModel(model);
  table.setEditTriggers(QAbstractItemView::AllEditTriggers);
  table.setColumnWidth(0, 150);
  table.resize(200, 120);
  auto* cell = static_cast<QKTextImageCell*>(table.itemDelegate());
  QImage image(8, 8, QImage::Format_ARGB32);
  image.fill(Qt::green);
  cell->setImage(image);
  EXPECT_EQ(cell->imageSrcRect(), QRectF(0, 0, 8, 8));
  std::vector<int> actions;
  cell->setImageAction(
      [&](const QModelIndex& index, const QMouseEvent&) { actions.push_back(index.row()); });
  const QRect rect = table.visualRect(model->index(1, 0));
  EXPECT_EQ(QKTextImageCell::imageSquare(rect),
            QRect(rect.right() + 1 - rect.height(), rect.y(), rect.height(), rect.height()));
  const auto doubleClick = [&](QPoint at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, table.viewport()->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                        Qt::NoModifier);
      QApplication::sendEvent(table.viewport(), &event);
    }
  };
  doubleClick(QKTextImageCell::imageSquare(rect).center());
  EXPECT_EQ(actions, std::vector<int>{1});  // on the press
  EXPECT_FALSE(editing(table));
  EXPECT_FALSE(table.selectionModel()->isRowSelected(1, {}));

  doubleClick(QPoint(rect.x() + 5, rect.center().y()));
  EXPECT_EQ(actions.size(), 1u);
  EXPECT_TRUE(editing(table));
}

TEST(ThemedList, SelectRowIndexAndFirstRow) {
  QKNSTableView table;
  table.setModel(makeModel(&table, 3));
  const auto selectedRows = [&] {
    std::vector<int> rows;
    for (const QModelIndex& index : table.selectionModel()->selectedRows())
      rows.push_back(index.row());
    return rows;
  };
  struct Case {
    int index;
    std::vector<int> selected;
  };
  for (const Case& c : {Case{2, {2}}, Case{0, {0}}, Case{-1, {}}, Case{3, {}}, Case{99, {}}}) {
    TableViewAdditions::selectRowIndex(&table, 1);
    TableViewAdditions::selectRowIndex(&table, c.index);
    EXPECT_EQ(selectedRows(), c.selected) << c.index;
  }
  TableViewAdditions::selectRowIndex(&table, 2);
  TableViewAdditions::selectFirstRow(&table);
  EXPECT_EQ(selectedRows(), std::vector<int>{0});

  QKNSTableView empty;
  empty.setModel(makeModel(&empty, 0));
  TableViewAdditions::selectFirstRow(&empty);
  EXPECT_TRUE(empty.selectionModel()->selectedRows().isEmpty());
  TableViewAdditions::selectRowIndex(nullptr, 0);  // no view: nothing happens
}

TEST(MouseEventTableView, DelegateGetsDeleteAndPresses) {
  struct Recorder : MouseEventTableViewDelegate {
    void tableViewDeleteKeyPressed(MouseEventTableView*, QKeyEvent*) override { ++deletes; }
    void tableViewMouseDown(MouseEventTableView*, QMouseEvent*) override { ++presses; }
    int deletes = 0;
    int presses = 0;
  } recorder;
  MouseEventTableView table;
  table.setModel(makeModel(&table, 2));
  table.resize(200, 100);
  table.setEventDelegate(&recorder);
  pressAndRelease(&table, Qt::Key_Backspace);
  pressAndRelease(&table, Qt::Key_Delete);
  pressAndRelease(&table, Qt::Key_A, QStringLiteral("a"));
  EXPECT_EQ(recorder.deletes, 2);
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(table.viewport(), &click);
  EXPECT_EQ(recorder.presses, 1);
  EXPECT_TRUE(table.selectionModel()->isRowSelected(0, {}));
}
