#include "app/plugins/clock/MasterClockUIController.h"

#include "app/plugins/clock/MasterClock.h"
#include "app/plugins/clock/MasterClockMeasureDial.h"
#include "app/plugins/clock/NudgeSlider.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"
#include "framework/toolkit/TitleBarOnlyCollapsedLevelView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QEvent>
#include <QFrame>
#include <QLineEdit>

#include <cmath>

const QString MasterClockUIController::kPaletteTitle = QStringLiteral("Clock");

namespace {

const char kExactValue[] = "exactValue";
const char kShownText[] = "shownText";

const QString kRestoreStart = QStringLiteral("QKPMRestoreStartNotification");
const QString kPluginDeleted = QStringLiteral("QKPluginDeletedNotification");

// Up to two decimals, without trailing zeros.
QString numberText(double value) {
  QString text = QString::number(value, 'f', 2);
  if (text.contains(QLatin1Char('.'))) {
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  }
  return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

}  // namespace

MasterClockUIController::MasterClockUIController(MasterClock* clock) : clock_(clock) {
  buildPalette();
}

MasterClockUIController::~MasterClockUIController() {
  observers_.clear();
  if (clock_) clock_->setView(nullptr);
  for (QKButton* button : {tapBeatButton_, tapMeasureButton_, downBeatButton_, restartClockButton_,
                           listenForMIDIClockButton_, optionsButton_, optionsDoneButton_})
    button->prepareToBeDeleted();
  window_->removeEventFilter(this);
  window_->prepareToBeDeleted();
}

// --- Building -------------------------------------------------------------------------------

// The body is 260 x 108 (the palette's default frame less its title bar):
// the dial on the left with the tempo fields under it, the buttons and the
// nudge on the right.
void MasterClockUIController::buildPalette() {
  window_ = std::make_unique<QKPaletteWindow>();
  content_ = new QKWindowContentView;
  window_->setContentView(content_);
  window_->setTitle(kPaletteTitle);
  window_->setDelegate(this);
  window_->installEventFilter(this);
  QWidget* body = content_->body();

  levelView_ = new TitleBarOnlyCollapsedLevelView(content_);
  levelView_->setGeometry(60, 4, 140, 11);
  levelView_->show();

  dial_ = new MasterClockMeasureDial(body);
  dial_->setContentView(content_);
  dial_->setGeometry(4, 4, 118, 70);

  auto label = [body](const QString& text, const QRect& frame) {
    auto* made = new QKNSTextLabel(text, body);
    made->setGeometry(frame);
    made->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  };
  label(QStringLiteral("BPM"), QRect(4, 80, 24, 18));
  beatsPerMinuteField_ = makeField(body, QRect(30, 80, 44, 18));
  label(QStringLiteral("MPM"), QRect(76, 80, 26, 18));
  measuresPerMinuteField_ = makeField(body, QRect(104, 80, 38, 18));

  using C = MasterClockUIController;
  tapBeatButton_ = makeButton(body, QStringLiteral("Tap Beat"), 0, &C::tapBeatUsed);
  tapBeatButton_->setGeometry(146, 4, 54, 18);
  tapMeasureButton_ = makeButton(body, QStringLiteral("Tap Msr"), 0, &C::tapMeasureUsed);
  tapMeasureButton_->setGeometry(204, 4, 52, 18);
  downBeatButton_ = makeButton(body, QStringLiteral("Downbeat"), 0, &C::downbeatButtonUsed);
  downBeatButton_->setGeometry(146, 50, 54, 18);
  restartClockButton_ = makeButton(body, QStringLiteral("Restart"), 0, &C::restartClockUsed);
  restartClockButton_->setGeometry(204, 50, 52, 18);
  optionsButton_ = makeButton(body, QStringLiteral("Options"), 0, &C::openOptionsPanel);
  optionsButton_->setGeometry(146, 80, 110, 18);

  nudgeSlider_ = new NudgeSlider(body);
  nudgeSlider_->setRange(-kNudgeRange, kNudgeRange);
  nudgeSlider_->setGeometry(124, 27, 92, 16);
  nudgeSlider_->setAction([this](NudgeSlider& slider) { nudgeSliderUsed(slider); });
  auto* nudgeLabel = new QKNSTextLabel(QStringLiteral("Nudge"), body);
  nudgeLabel->setGeometry(218, 26, 38, 18);

  buildOptionsPanel();
}

// The options sheet covers the body while it is open.
void MasterClockUIController::buildOptionsPanel() {
  QWidget* body = content_->body();
  optionsPanel_ = new QFrame(body);
  optionsPanel_->setObjectName(QStringLiteral("clockOptionsSheet"));
  optionsPanel_->setFrameShape(QFrame::Box);
  optionsPanel_->setAutoFillBackground(true);
  QPalette colours = optionsPanel_->palette();
  const QColor background = content_->backgroundColor();
  if (background.isValid()) colours.setColor(QPalette::Window, background);
  optionsPanel_->setPalette(colours);
  optionsPanel_->setGeometry(0, 0, 260, 108);

  auto label = [this](const QString& text, const QRect& frame) {
    auto* made = new QKNSTextLabel(text, optionsPanel_);
    made->setGeometry(frame);
  };
  label(QStringLiteral("Beats per measure"), QRect(10, 8, 120, 18));
  beatsPerMeasureField_ = makeField(optionsPanel_, QRect(134, 8, 40, 18));
  label(QStringLiteral("Subdivisions of a beat"), QRect(10, 32, 120, 18));
  subdivisionsField_ = makeField(optionsPanel_, QRect(134, 32, 40, 18));
  using C = MasterClockUIController;
  listenForMIDIClockButton_ =
      makeButton(optionsPanel_, QStringLiteral("Follow MIDI Clock"), 1, &C::buttonUsed);
  listenForMIDIClockButton_->setGeometry(10, 58, 164, 18);
  optionsDoneButton_ = makeButton(optionsPanel_, QStringLiteral("Done"), 0, &C::closeOptionsPanel);
  optionsDoneButton_->setGeometry(196, 82, 54, 18);
  optionsPanel_->hide();
}

// Actions run on the main thread even when a learnt MIDI note, key or OSC
// message plays the button.
QKButton* MasterClockUIController::makeButton(QWidget* parent, const QString& title, int type,
                                              void (MasterClockUIController::*action)()) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setTriggerOnMain(true);
  button->setTarget(alive_);
  button->setAction([this, action](QKButtonCell&) { (this->*action)(); });
  return button;
}

QLineEdit* MasterClockUIController::makeField(QWidget* parent, const QRect& frame) {
  auto* field = new FirstResponderTextField(parent);
  field->setGeometry(frame);
  field->setAlignment(Qt::AlignRight);
  field->setFont(ThemeDict::font(ThemeDict::labelColors(), InterfaceColorScheme::kFontAttribute,
                                 field->font()));
  QObject::connect(field, &QLineEdit::editingFinished, this,
                   [this, field] { textFieldUsed(field); });
  return field;
}

void MasterClockUIController::awakeFromNib() {
  setFieldValue(beatsPerMeasureField_, clock_->beatsPerMeasure());
  setFieldValue(subdivisionsField_, clock_->quantizedSubdivisions());
  showTempoOfDuration(clock_->measureDurationExact());
  setListenForMIDIClockButton(clock_->listenForMIDIClock());
  window_->awakeFromNib();
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
  const auto close = [this](const Notification&) {
    MainThread::run([this, alive = std::weak_ptr<int>(alive_)] {
      if (alive.lock() && optionsPanelOpen()) closeOptionsPanel();
    });
  };
  observers_.observe(kRestoreStart, nullptr, close);
  observers_.observe(kPluginDeleted, nullptr, close);
  visible_.store(window_->isVisible());
}

// --- Fields ------------------------------------------------------------------------------------

double MasterClockUIController::fieldValue(const QLineEdit* field) {
  const QVariant exact = field->property(kExactValue);
  if (exact.isValid() && field->text() == field->property(kShownText).toString())
    return exact.toDouble();
  bool ok = false;
  const double typed = field->text().trimmed().toDouble(&ok);
  return ok && std::isfinite(typed) ? typed : 0.0;
}

void MasterClockUIController::setFieldValue(QLineEdit* field, double value) {
  const QString text = numberText(value);
  field->setProperty(kExactValue, value);
  field->setProperty(kShownText, text);
  field->setText(text);
}

void MasterClockUIController::showTempoOfDuration(double duration) {
  if (duration > 0) {
    setFieldValue(measuresPerMinuteField_, 60.0 / duration);
    setFieldValue(beatsPerMinuteField_, 60.0 / duration * fieldValue(beatsPerMeasureField_));
  } else {
    setFieldValue(measuresPerMinuteField_, 0);
    setFieldValue(beatsPerMinuteField_, 0);
  }
}

// While the clock follows MIDI clock a typed tempo only updates the other
// field.
void MasterClockUIController::textFieldUsed(QLineEdit* field) {
  const bool slave = clock_->midiClockSlaveRunning();
  if (field == beatsPerMinuteField_) {
    const double bpm = fieldValue(field);
    const double d = bpm > 0 ? 60.0 / bpm * fieldValue(beatsPerMeasureField_) : -1.0;
    if (!slave) clock_->setMeasureDuration(d);
    if (d > 0)
      setFieldValue(measuresPerMinuteField_, 60.0 / d);
    else
      showTempoOfDuration(0);
  } else if (field == measuresPerMinuteField_) {
    const double mpm = fieldValue(field);
    const double d = mpm > 0 ? 60.0 / mpm : -1.0;
    if (!slave) clock_->setMeasureDuration(d);
    if (d > 0)
      setFieldValue(beatsPerMinuteField_, mpm * fieldValue(beatsPerMeasureField_));
    else
      showTempoOfDuration(0);
  } else if (field == beatsPerMeasureField_) {
    clock_->setBeatsPerMeasure(countIn(field, 2, MasterClock::kMaxBeats));
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(MasterClock::kUpdateParticularsNotification));
  } else if (field == subdivisionsField_) {
    clock_->setQuantizedSubdivisions(countIn(field, 1, MasterClock::kMaxSubdivisions));
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(MasterClock::kUpdateParticularsNotification));
  }
}

long MasterClockUIController::countIn(QLineEdit* field, long low, long high) {
  const long count = std::clamp<long>(long(fieldValue(field)), low, high);
  setFieldValue(field, double(count));
  return count;
}

// --- Buttons ----------------------------------------------------------------------------------

void MasterClockUIController::downbeatButtonUsed() { clock_->setLastDownbeat(clock_->now()); }

void MasterClockUIController::restartClockUsed() { clock_->restart(); }

void MasterClockUIController::tapBeatUsed() {
  clock_->tapBeat(clock_->now());
  showTempoOfDuration(clock_->measureDurationExact());
}

void MasterClockUIController::tapMeasureUsed() { clock_->tapMeasure(clock_->now()); }

void MasterClockUIController::buttonUsed() {
  clock_->setListenForMIDIClock(listenForMIDIClockButton_->intValue() == 1);
}

// Each call bends the measure by v³ (at most 0.015625 s a step); the tempo
// goes through the beats-per-minute field as if typed.
void MasterClockUIController::nudgeSliderUsed(NudgeSlider& slider) {
  const double d = clock_->measureDurationExact();
  const double v = slider.floatValue();
  const double bent = d - v * v * v;
  clock_->setBPM(60.0 / bent * fieldValue(beatsPerMeasureField_));
  if (slider.mouseUpFlag()) slider.setFloatValue(0);
}

// --- Options sheet ---------------------------------------------------------------------------

void MasterClockUIController::openOptionsPanel() {
  optionsPanel_->raise();
  optionsPanel_->show();
}

void MasterClockUIController::closeOptionsPanel() { optionsPanel_->hide(); }

bool MasterClockUIController::optionsPanelOpen() const { return !optionsPanel_->isHidden(); }

// --- What the clock calls ---------------------------------------------------------------------

void MasterClockUIController::setCurrentPosition(double position, long measure, long beat,
                                                 long subdivision) {
  dial_->setCurrentPosition(position, measure, beat, subdivision);
  levelView_->setVal(float(position));
}

void MasterClockUIController::setDisplayBPM(float bpm) {
  displayBPM_.store(bpm);
  if (MainThread::isMainThread()) {
    showDisplayBPM();
    return;
  }
  MainThread::coalesce(&displayBPM_, [this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.lock()) showDisplayBPM();
  });
}

void MasterClockUIController::showDisplayBPM() {
  setFieldValue(beatsPerMinuteField_, displayBPM_.load());
  if (!clock_->midiClockSlaveRunning()) textFieldUsed(beatsPerMinuteField_);
}

void MasterClockUIController::enterBPM(double bpm) {
  setFieldValue(beatsPerMinuteField_, bpm);
  textFieldUsed(beatsPerMinuteField_);
}

void MasterClockUIController::setListenForMIDIClockButton(bool on) {
  listenForMIDIClockButton_->setIntValue(on ? 1 : 0, false);
}

// The learnable buttons under their keys in a palette-shortcut snapshot.
std::array<std::pair<QString, QKButton*>, 4> MasterClockUIController::snapshotButtons() const {
  return {{{QStringLiteral("downbeatButton"), downBeatButton_},
           {QStringLiteral("beatTapButton"), tapBeatButton_},
           {QStringLiteral("measureTapButton"), tapMeasureButton_},
           {QStringLiteral("restartClockButton"), restartClockButton_}}};
}

void MasterClockUIController::putButtonSnapsInDict(QVariantMap& dict) const {
  for (const auto& [key, button] : snapshotButtons()) {
    const QVariantMap snapshot = button->createSnapshot();
    if (!snapshot.isEmpty()) dict.insert(key, snapshot);
  }
}

void MasterClockUIController::loadButtonSnaps(const QVariantMap& dict) {
  for (const auto& [key, button] : snapshotButtons()) {
    const QVariant entry = dict.value(key);
    if (entry.typeId() == QMetaType::QVariantMap) button->loadSnapshot(entry.toMap());
  }
}

// --- Palette ------------------------------------------------------------------------------------

void MasterClockUIController::QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) {
  if (view) dial_->setCollapsed(view->collapsed());
}

bool MasterClockUIController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_.get() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
    visible_.store(event->type() == QEvent::Show);
  return QObject::eventFilter(watched, event);
}
