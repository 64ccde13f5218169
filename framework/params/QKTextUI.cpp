#include "framework/params/QKTextUI.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/media/QKTextFile.h"
#include "framework/params/QKElementBox.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QScrollBar>
#include <QTextBlock>

const QString QKTextUI::kDefaultText = QStringLiteral("Default text and words. What fun!");
const QString QKTextUI::kOriginalStringKey = QStringLiteral("originalString");
const QString QKTextUI::kCurrentRangeKey = QStringLiteral("currentRange");

namespace {

const QStringList kLoopModes = {QStringLiteral("no loop"), QStringLiteral("loop")};
const QStringList kParseModes = {QStringLiteral("character"), QStringLiteral("word"),
                                 QStringLiteral("sentence"), QStringLiteral("line end")};

void fillPopUp(QKNSPopUpButton* popUp, const QStringList& titles) {
  popUp->removeAllItems();
  for (const QString& title : titles) popUp->addItemWithTitle(title);
}

QTextEdit::ExtraSelection highlight(QTextDocument* document, QKStringParser::Range range,
                                    const QColor& foreground, const QColor& background) {
  QTextEdit::ExtraSelection selection;
  QTextCursor cursor(document);
  const int size = document->characterCount() - 1;  // without the closing paragraph mark
  const int start = std::clamp(int(range.location), 0, size);
  const int end = std::clamp(int(range.end()), start, size);
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  selection.cursor = cursor;
  selection.format.setForeground(foreground);
  selection.format.setBackground(background);
  selection.format.setFontUnderline(true);
  return selection;
}

}  // namespace

std::shared_ptr<QKTextUI> QKTextUI::create(const QCElementFactories::Request& request) {
  auto element = create(rowFrame(Row::Text, request.panelWidth), request.parent);
  element->setTitleAndKey(request.key);
  element->awakeFromNib();
  return element;
}

std::shared_ptr<QKTextUI> QKTextUI::create(const QRectF& frame, QWidget* parent) {
  return std::shared_ptr<QKTextUI>(new QKTextUI(frame, parent));
}

QKTextUI::QKTextUI(const QRectF& frame, QWidget* parent) : QCBoxedElement(frame, parent) {
  parser_.setParseMode(QKStringParser::Word);
}

QKTextUI::~QKTextUI() {
  if (!deleted_.load()) prepareToBeDeleted();
  if (backCell_ && backCell_->delegate() == this) backCell_->setDelegate(nullptr);
  if (fwdCell_ && fwdCell_->delegate() == this) fwdCell_->setDelegate(nullptr);
  if (textView_ && box_) textView_->setDelegate(nullptr);
}

void QKTextUI::awakeFromNib() {
  if (awake_ || !box_) return;
  awake_ = true;
  std::weak_ptr<QKTextUI> self = weak_from_this();
  QWidget* parent = box_;

  auto makeButton = [&](const QString& title, void (QKTextUI::*step)()) {
    QKButton* button = new QKButton(parent);
    button->setTitle(title);
    button->setTitle2(title);
    button->setTriggerOnMain(true);
    button->setDelegate(this);
    button->setTarget(self);
    button->setAction([self, step](QKButtonCell&) {
      if (auto element = self.lock()) ((*element).*step)();
    });
    return button;
  };
  backButton_ = makeButton(QStringLiteral("prev"), &QKTextUI::parseBackButtonUsed);
  fwdButton_ = makeButton(QStringLiteral("next"), &QKTextUI::parseFwdButtonUsed);
  backCell_ = backButton_->cell();
  fwdCell_ = fwdButton_->cell();

  loopModePopUp_ = new QKNSPopUpButton(parent);
  fillPopUp(loopModePopUp_, kLoopModes);
  QObject::connect(loopModePopUp_, &QKNSPopUpButton::activated, loopModePopUp_, [self](QAction*) {
    if (auto element = self.lock()) element->loopModePopUpButtonUsed();
  });
  parseModePopUp_ = new QKNSPopUpButton(parent);
  fillPopUp(parseModePopUp_, kParseModes);
  QObject::connect(parseModePopUp_, &QKNSPopUpButton::activated, parseModePopUp_, [self](QAction*) {
    if (auto element = self.lock()) element->parseModePopUpButtonUsed();
  });

  textView_ = new QKNSTextView(parent);
  textView_->setDelegate(this);
  textView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  textView_->verticalScrollBar()->setAttribute(Qt::WA_MacMiniSize);
  textView_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  textView_->setToolTip(
      QStringLiteral("Press Enter to update text or shift+Enter to update and stop editing"));
  textView_->setPlainText(kDefaultText);
  textView_->awakeFromNib();

  box_->setLayoutHandler([this](const QRect& content) { repositionElements(content); });

  loopModePopUp_->selectItemAtIndex(parser_.loopMode() != 0 ? 1 : 0);
  loopModePopUpButtonUsed();
  parseModePopUp_->selectItemAtIndex(parser_.parseMode());
  parseModePopUpButtonUsed();

  observers_.observe(QKNSTextLabel::kRedrawNotification, nullptr, [self](const Notification&) {
    MainThread::run([self] {
      if (auto element = self.lock()) element->updateTextHighlights();
    });
  });
}

void QKTextUI::repositionElements(const QRect& content) {
  const int x = content.x(), y = content.y(), w = content.width(), h = content.height();
  backButton_->setFrame(QRectF(x, y, 23, 15));
  fwdButton_->setFrame(QRectF(x + 24, y, 23, 15));
  loopModePopUp_->setGeometry(x + 48, y, 52, 15);
  parseModePopUp_->setGeometry(x + 100, y, std::max(0, w - 103), 15);
  textView_->setGeometry(x, y + 18, w, std::max(0, h - 18));
}

// --- Element -----------------------------------------------------------------------

std::optional<composition::PortValue> QKTextUI::value() const {
  const QString unit = parser_.currentString();
  if (unit.isNull()) return std::nullopt;
  return composition::PortValue::string(unit);
}

void QKTextUI::paramSnapUpdated() {
  if (!deleted_.load()) callbacks_.fireNotice();
}

QString QKTextUI::currentString() const {
  return textView_ && box_ ? textView_->toPlainText() : QString();
}

bool QKTextUI::steppingButtonsSynced() const {
  return (backCell_ && backCell_->syncFlag()) || (fwdCell_ && fwdCell_->syncFlag());
}

// --- Stepping ------------------------------------------------------------------------

void QKTextUI::parseBackButtonUsed() {
  if (deleted_.load()) return;
  parser_.parseBy(-1);
  bang();
  paramSnapUpdated();
}

void QKTextUI::parseFwdButtonUsed() {
  if (deleted_.load()) return;
  if (textOnDeck_) {
    textOnDeck_ = false;
    parser_.setCurrentRange(onDeckRange_);
  } else {
    parser_.parseBy(1);
  }
  bang();
  paramSnapUpdated();
}

void QKTextUI::parseModePopUpButtonUsed() {
  if (deleted_.load() || !parseModePopUp_ || parseModePopUp_->indexOfSelectedItem() < 0) return;
  parser_.setParseMode(parseModePopUp_->indexOfSelectedItem());
  bang();
  paramSnapUpdated();
}

void QKTextUI::loopModePopUpButtonUsed() {
  if (deleted_.load() || !loopModePopUp_ || loopModePopUp_->indexOfSelectedItem() < 0) return;
  parser_.setLoopMode(loopModePopUp_->indexOfSelectedItem());
  bang();
  paramSnapUpdated();
}

void QKTextUI::applyText(const QString& text) {
  parser_.setOriginalString(text);
  textOnDeck_ = false;
  bang();
  paramSnapUpdated();
}

void QKTextUI::loadText(const QString& text) {
  if (deleted_.load() || !textView_ || !box_) return;
  textView_->setPlainText(text);
  applyText(text);
}

void QKTextUI::loadFile(const QKTextFile* file) {
  if (file && file->hasText()) loadText(file->myString());
}

void QKTextUI::textViewEnterKeyPressed() {
  if (deleted_.load() || !textView_) return;
  applyText(textView_->toPlainText());
}

void QKTextUI::textDidEndEditing() {
  if (deleted_.load() || !textView_) return;
  const QString text = textView_->toPlainText();
  if (!parser_.hasOriginalString() || text != parser_.originalString()) applyText(text);
}

void QKTextUI::textViewDoubleClicked() {
  if (deleted_.load() || !textView_) return;
  const qsizetype location = textView_->textCursor().selectionStart();
  // The unit is found in the text on screen, which may be newer than the
  // parser's.
  QKStringParser finder;
  finder.setOriginalString(textView_->toPlainText());
  switch (parser_.parseMode()) {
    case QKStringParser::Character:
      onDeckRange_ = finder.findCharacterAround(location);
      break;
    case QKStringParser::Word:
      onDeckRange_ = finder.findWordAround(location);
      break;
    case QKStringParser::Sentence:
      onDeckRange_ = finder.findSentenceAround(location);
      break;
    case QKStringParser::Line:
      onDeckRange_ = finder.findLineAround(location);
      break;
    default:
      onDeckRange_ = {location, 1};
  }
  textOnDeck_ = true;
  updateTextHighlights();
}

void QKTextUI::bang() {
  if (deleted_.load()) return;
  callbacks_.fireAction();
  std::weak_ptr<QKTextUI> self = weak_from_this();
  MainThread::run([self] {
    if (auto element = self.lock()) element->updateTextHighlights();
  });
}

// --- Highlights ----------------------------------------------------------------------

void QKTextUI::updateTextHighlights() {
  if (deleted_.load() || !textView_ || !box_) return;
  const QVariantMap colours = ThemeDict::tableColors();
  QPalette palette = textView_->palette();
  palette.setColor(QPalette::Text,
                   ThemeDict::color(colours, QStringLiteral("textColor"), Qt::white));
  palette.setColor(QPalette::Base, ThemeDict::color(colours, QStringLiteral("fill"), Qt::black));
  textView_->setPalette(palette);
  textView_->setFont(ThemeDict::font(colours, QStringLiteral("font"), textView_->font()));

  QList<QTextEdit::ExtraSelection> selections;
  QTextDocument* document = textView_->document();
  if (textOnDeck_ && onDeckRange_.length > 0)
    selections << highlight(document, onDeckRange_, Qt::black, QColor::fromRgbF(0.75f, 0.75f, 0));
  if (parser_.hasOriginalString())
    selections << highlight(document, parser_.currentRange(), Qt::white, Qt::darkGray);
  textView_->setExtraSelections(selections);
  if (!textView_->isBeingEdited()) scrollToCurrentRange();
}

void QKTextUI::scrollToCurrentRange() {
  if (!parser_.hasOriginalString()) return;
  QTextCursor cursor(textView_->document());
  const int size = textView_->document()->characterCount() - 1;
  cursor.setPosition(std::clamp(int(parser_.currentRange().location), 0, std::max(size, 0)));
  textView_->setTextCursor(cursor);
  textView_->ensureCursorVisible();
}

// --- Snapshots -----------------------------------------------------------------------

QVariantMap QKTextUI::createSnapshot() const {
  QVariantMap snapshot;
  auto put = [&snapshot](const QString& key, const QVariant& value, const char* missing) {
    if (value.isNull() || !value.isValid()) {
      Log::line(missing);
      return;
    }
    snapshot.insert(key, value);
  };
  put(QStringLiteral("parseBackButton"),
      backButton_ && box_ ? QVariant(backButton_->createSnapshot()) : QVariant(),
      "\t\terr: parsebackbutton was nil");
  put(QStringLiteral("parseFwdButton"),
      fwdButton_ && box_ ? QVariant(fwdButton_->createSnapshot()) : QVariant(),
      "\t\terr: parsefwdbutton was nil");
  put(QStringLiteral("loopModePopUpButton"),
      loopModePopUp_ && box_ ? QVariant(loopModePopUp_->titleOfSelectedItem()) : QVariant(),
      "\t\terr: loopmode was nil");
  put(QStringLiteral("parseModePopUpButton"),
      parseModePopUp_ && box_ ? QVariant(parseModePopUp_->titleOfSelectedItem()) : QVariant(),
      "\t\terr: parsemode was nil");
  const QString boxTitle = title();
  snapshot.insert(QStringLiteral("title"),
                  boxTitle.isEmpty() ? QStringLiteral("untitled_text_ui") : boxTitle);
  if (parser_.hasOriginalString()) {
    snapshot.insert(kOriginalStringKey, parser_.originalString());
    const QKStringParser::Range range = parser_.currentRange();
    snapshot.insert(kCurrentRangeKey, QVariantList{qint64(range.location), qint64(range.length)});
  }
  const QString ownKey = key();
  if (!ownKey.isEmpty()) snapshot.insert(QStringLiteral("key"), ownKey);
  return snapshot;
}

void QKTextUI::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_.load() || !box_ || !awake_) return;
  const auto back = snapshot.constFind(QStringLiteral("parseBackButton"));
  if (back != snapshot.constEnd()) backButton_->loadSnapshot(back->toMap(), false);
  const auto fwd = snapshot.constFind(QStringLiteral("parseFwdButton"));
  if (fwd != snapshot.constEnd()) fwdButton_->loadSnapshot(fwd->toMap(), false);
  const auto text = snapshot.constFind(kOriginalStringKey);
  if (text != snapshot.constEnd() && text->typeId() == QMetaType::QString) {
    textView_->setPlainText(text->toString());
    parser_.setOriginalString(text->toString());
    textOnDeck_ = false;
  }
  const auto loop = snapshot.constFind(QStringLiteral("loopModePopUpButton"));
  if (loop != snapshot.constEnd()) {
    loopModePopUp_->selectItemWithTitle(loop->toString());
    loopModePopUpButtonUsed();
  }
  const auto parse = snapshot.constFind(QStringLiteral("parseModePopUpButton"));
  if (parse != snapshot.constEnd()) {
    parseModePopUp_->selectItemWithTitle(parse->toString());
    parseModePopUpButtonUsed();
  }
  const QVariantList range = snapshot.value(kCurrentRangeKey).toList();
  if (range.size() == 2 && parser_.hasOriginalString()) {
    parser_.restoreCurrentRange({range[0].toLongLong(), range[1].toLongLong()});
    bang();
  }
}

void QKTextUI::prepareToBeDeleted() {
  observers_.clear();
  MainThread::cancel(this);
  deleted_.store(true);
  callbacks_.clear();
  if (box_) {
    if (backButton_) backButton_->prepareToBeDeleted();
    if (fwdButton_) fwdButton_->prepareToBeDeleted();
  }
}
