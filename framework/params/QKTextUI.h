#pragma once

#include "framework/controls/QKButtonCellDelegate.h"
#include "framework/params/QCBoxedElement.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCTextStepping.h"
#include "framework/params/QKNSTextView.h"
#include "framework/params/QKStringParser.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QRect>

#include <atomic>
#include <memory>
#include <mutex>

class QKButton;
class QKTextFile;
class QKNSPopUpButton;

// The text element of a composition's "FileInput" string input: the whole
// text in a text view, of which one unit (a character, a word, a sentence
// or a line) is the string the composition receives. The "prev" and "next"
// buttons (bindable to MIDI, OSC or keys), the composition's own "next"
// and "prev" outputs and media-bin text files step or replace it; a double
// click puts a unit on deck, and the next forward step jumps there.
//
// Its value is the parser's current string, which the render thread reads
// under the parser's read lock. Everything else belongs to the main
// thread: the buttons run their actions there.
//
// The snapshot keeps the text and the range ("originalString",
// "currentRange") besides the buttons, modes and title, so a performer's
// text comes back with the project; older snapshots without them load as
// before.
class QKTextUI : public QCBoxedElement,
                 public QCTextStepping,
                 public QKNSTextViewDelegate,
                 public QKButtonCellDelegate,
                 public std::enable_shared_from_this<QKTextUI> {
 public:
  static const QString kDefaultText;  // "Default text and words. What fun!"
  static const QString kOriginalStringKey;
  static const QString kCurrentRangeKey;

  // The element of a request: frame (0, 0, panel width, 200), titled with
  // the key, awake.
  static std::shared_ptr<QKTextUI> create(const QCElementFactories::Request& request);
  // An element in `parent` with that frame, not awake yet.
  static std::shared_ptr<QKTextUI> create(const QRectF& frame, QWidget* parent);
  ~QKTextUI() override;

  // Builds the views, fills the pop-ups and applies the parser's modes.
  void awakeFromNib();

  // --- QCPanelElement ---
  Row row() const override { return Row::Text; }
  std::optional<composition::PortValue> value() const override;
  bool snapshotAfterDelivery(bool) const override { return false; }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

  // --- QCTextStepping ---
  void parseFwdButtonUsed() override;
  void parseBackButtonUsed() override;
  bool steppingButtonsSynced() const override;
  void loadText(const QString& text) override;
  // A media-bin text file's text, when it has one.
  void loadFile(const QKTextFile* file);

  QKStringParser& stringParser() { return parser_; }
  const QKStringParser& stringParser() const { return parser_; }
  QKButton* parseFwdButton() const { return fwdButton_; }
  QKButton* parseBackButton() const { return backButton_; }
  QKNSPopUpButton* parseModePopUpButton() const { return parseModePopUp_; }
  QKNSPopUpButton* loopModePopUpButton() const { return loopModePopUp_; }
  QKNSTextView* textView() const { return textView_; }
  // The whole text of the view.
  QString currentString() const;
  bool textOnDeck() const { return textOnDeck_; }
  QKStringParser::Range onDeckRange() const { return onDeckRange_; }
  bool deleted() const { return deleted_.load(); }

  void parseModePopUpButtonUsed();
  void loopModePopUpButtonUsed();
  // Tells the panel that the current string changed and redraws the
  // highlights.
  void bang();
  void updateTextHighlights();

  // --- QKNSTextViewDelegate ---
  void textViewEnterKeyPressed() override;
  void textViewDoubleClicked() override;
  void textDidBeginEditing() override {}
  void textDidEndEditing() override;

  // --- QKButtonCellDelegate (the two buttons) ---
  void QKButtonSyncFlagChanged(QKButtonCell&) override { paramSnapUpdated(); }
  void QKButtonThreshValChanged(QKButtonCell&) override { paramSnapUpdated(); }
  void QKButtonUIStateChanged(QKButtonCell&) override { paramSnapUpdated(); }

 private:
  QKTextUI(const QRectF& frame, QWidget* parent);
  void repositionElements(const QRect& content);
  void paramSnapUpdated();
  void applyText(const QString& text);
  void scrollToCurrentRange();

  QKNSTextView* textView_ = nullptr;
  QKNSPopUpButton* parseModePopUp_ = nullptr;
  QKNSPopUpButton* loopModePopUp_ = nullptr;
  QKButton* backButton_ = nullptr;
  QKButton* fwdButton_ = nullptr;
  // Their cells, whose state any thread may read.
  std::shared_ptr<QKButtonCell> backCell_;
  std::shared_ptr<QKButtonCell> fwdCell_;
  QKStringParser parser_;
  QKStringParser::Range onDeckRange_;
  bool textOnDeck_ = false;
  std::atomic<bool> deleted_{false};
  bool awake_ = false;
  NotificationObservers observers_;
};
