#include "framework/controls/QKButton.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QKNSTextView.h"
#include "framework/params/QKTextUI.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "tests/support/Screenshot.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class TextElementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(320, 220);
    QCElementFactories::Request request{
        QCElementFactories::Kind::Text, QStringLiteral("FileInput"), {}, 300, &window};
    made = QCElementFactories::create(request);
    element = std::dynamic_pointer_cast<QKTextUI>(made);
    ASSERT_TRUE(element);
    element->setAction([this] { ++actions; });
    element->setSnapshotNotice([this] { ++notices; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void TearDown() override {
    if (element) element->prepareToBeDeleted();
  }
  QString unit() const { return element->value() ? *element->value()->get<QString>() : QString(); }
  void type(const QString& text) {
    QKNSTextView* view = element->textView();
    view->setFocus();
    QApplication::processEvents();
    view->selectAll();
    QTest::keyClicks(view, text);
  }

  QWidget window;
  std::shared_ptr<QCPanelElement> made;
  std::shared_ptr<QKTextUI> element;
  int actions = 0;
  int notices = 0;
};

TEST_F(TextElementTest, IsTheTextElementOfAFileInput) {
  EXPECT_EQ(element->key(), QStringLiteral("FileInput"));
  EXPECT_EQ(element->title(), QStringLiteral("FileInput"));
  EXPECT_EQ(element->view()->height(), 200);
  EXPECT_EQ(element->textView()->toPlainText(), QKTextUI::kDefaultText);
  EXPECT_EQ(element->parseModePopUpButton()->titleOfSelectedItem(), QStringLiteral("word"));
  EXPECT_EQ(element->loopModePopUpButton()->titleOfSelectedItem(), QStringLiteral("loop"));
  EXPECT_FALSE(element->value());  // nothing handed on before a text is entered
  element->view()->parentWidget()->resize(320, 220);
  saveScreenshot(window.grab().toImage(), QStringLiteral("text-element"));
}

TEST_F(TextElementTest, EnterKeepsEditingShiftEnterEndsIt) {
  type(QStringLiteral("one two"));
  QTest::keyClick(element->textView(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(element->stringParser().originalString(), QStringLiteral("one two"));
  EXPECT_EQ(unit(), QStringLiteral("one "));
  EXPECT_TRUE(element->textView()->hasFocus());
  EXPECT_GT(actions, 0);

  // Return types a new line; Shift+Enter hands the text on and stops editing.
  QTest::keyClick(element->textView(), Qt::Key_Return);
  QTest::keyClicks(element->textView(), QStringLiteral("three"));
  EXPECT_EQ(element->stringParser().originalString(), QStringLiteral("one two"));
  QTest::keyClick(element->textView(), Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
  EXPECT_FALSE(element->textView()->hasFocus());
  EXPECT_EQ(element->stringParser().originalString(), QStringLiteral("one two\nthree"));
}

TEST_F(TextElementTest, DoubleClickPutsAUnitOnDeckForTheNextStep) {
  element->loadText(QKTextUI::kDefaultText);
  ASSERT_EQ(unit(), QStringLiteral("Default "));
  QKNSTextView* view = element->textView();
  QTextCursor cursor(view->document());
  cursor.setPosition(25);  // inside "What"
  const QPoint at = view->cursorRect(cursor).center() + QPoint(2, 0);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  ASSERT_TRUE(element->textOnDeck());
  EXPECT_EQ(element->onDeckRange(), (QKStringParser::Range{24, 4}));
  const int before = actions;
  element->parseFwdButton()->bang();
  QApplication::processEvents();
  EXPECT_EQ(unit(), QStringLiteral("What "));
  EXPECT_FALSE(element->textOnDeck());
  EXPECT_GT(actions, before);
  element->parseFwdButton()->bang();
  QApplication::processEvents();
  EXPECT_EQ(unit(), QStringLiteral("fun!"));
  element->parseBackButton()->bang();
  QApplication::processEvents();
  EXPECT_EQ(unit(), QStringLiteral("What"));
}

TEST_F(TextElementTest, ModePopUpsApplyAndBang) {
  element->loadText(QStringLiteral("ab. cd"));
  const struct {
    QKNSPopUpButton* popUp;
    int index;
    QString unit;
  } cases[] = {
      {element->parseModePopUpButton(), 0, "a"},
      {element->parseModePopUpButton(), 2, "ab. "},
      {element->loopModePopUpButton(), 0, "ab. "},
      {element->parseModePopUpButton(), 3, "ab. cd"},
  };
  for (const auto& c : cases) {
    const int before = actions;
    const int noticesBefore = notices;
    c.popUp->selectItemAtIndex(c.index);
    Q_EMIT c.popUp->activated(c.popUp->selectedItem());
    EXPECT_EQ(unit(), c.unit);
    EXPECT_EQ(actions, before + 1);
    EXPECT_GT(notices, noticesBefore);
  }
  EXPECT_EQ(element->stringParser().loopMode(), 0);
  EXPECT_EQ(element->stringParser().parseMode(), 3);
}

TEST_F(TextElementTest, SnapshotKeepsTheTypedTextAndItsPlace) {
  type(QStringLiteral("red green blue"));
  QTest::keyClick(element->textView(), Qt::Key_Enter, Qt::KeypadModifier);
  element->parseFwdButtonUsed();
  element->loopModePopUpButton()->selectItemAtIndex(0);
  element->loopModePopUpButtonUsed();
  const QVariantMap snapshot = element->createSnapshot();
  EXPECT_EQ(snapshot.value("originalString").toString(), QStringLiteral("red green blue"));
  EXPECT_EQ(snapshot.value("title").toString(), QStringLiteral("FileInput"));
  EXPECT_EQ(snapshot.value("loopModePopUpButton").toString(), QStringLiteral("no loop"));
  EXPECT_TRUE(snapshot.contains("parseBackButton") && snapshot.contains("parseFwdButton"));

  QWidget other;
  auto restored = QKTextUI::create(QCElementFactories::Request{
      QCElementFactories::Kind::Text, QStringLiteral("FileInput"), {}, 300, &other});
  restored->loadSnapshot(snapshot);
  EXPECT_EQ(restored->textView()->toPlainText(), QStringLiteral("red green blue"));
  EXPECT_EQ(*restored->value()->get<QString>(), QStringLiteral("green"));
  EXPECT_EQ(restored->stringParser().loopMode(), 0);

  // An older snapshot (no text) keeps the element's own text.
  QVariantMap older = snapshot;
  older.remove("originalString");
  older.remove("currentRange");
  auto fresh = QKTextUI::create(QCElementFactories::Request{
      QCElementFactories::Kind::Text, QStringLiteral("FileInput"), {}, 300, &other});
  fresh->loadSnapshot(older);
  EXPECT_EQ(fresh->textView()->toPlainText(), QKTextUI::kDefaultText);
  EXPECT_EQ(fresh->stringParser().loopMode(), 0);
  restored->prepareToBeDeleted();
  fresh->prepareToBeDeleted();
}

TEST_F(TextElementTest, SyncedButtonsAndDeletion) {
  EXPECT_FALSE(element->steppingButtonsSynced());
  element->loadText(QStringLiteral("x y"));
  element->prepareToBeDeleted();
  const int before = actions;
  element->parseFwdButtonUsed();
  EXPECT_EQ(actions, before);
  EXPECT_EQ(unit(), QStringLiteral("x "));
}

}  // namespace
