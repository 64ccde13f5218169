#include "app/plugins/stepsequencer/StepSequencer.h"

#include "app/plugins/manager/SharedSourceGroup.h"
#include "app/plugins/stepsequencer/SequencerStep.h"
#include "app/plugins/stepsequencer/StepSequencerDisplay.h"
#include "app/plugins/stepsequencer/StepSequencerShortcutController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLocalPresetView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/ExternalSynchObject.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

const QString StepSequencer::kTypeName = QStringLiteral("StepSequencer");
const QString StepSequencer::kGroupName = QStringLiteral("Step Sequencers");

// The sequencer's place in the controller's external-synch array; cut
// before the sequencer goes, and the controller waits for a tick under way.
struct StepSequencerTicker : ExternalSynchObject {
  void DSCProc() override {
    if (StepSequencer* self = sequencer.load()) self->DSCProc();
  }
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath&) override {}
  std::atomic<StepSequencer*> sequencer{nullptr};
};

namespace {

const QString kLocalPreset = QStringLiteral("localPreset");
const QString kInterpolatingVals = QStringLiteral("interpolatingVals");
const QString kLocalPresetView = QStringLiteral("localPresetView");
const QString kRecordButton = QStringLiteral("recordButton");
const QString kRecordSlider = QStringLiteral("recordSlider");
const QString kSpeedSlider = QStringLiteral("speedSlider");
const QString kNumberMeasures = QStringLiteral("numberMeasures");
const QString kLoopMode = QStringLiteral("loopMode");
const QString kStepValues = QStringLiteral("stepValues");
const QString kNumberRows = QStringLiteral("numberRows");
const QString kDrawAsBars = QStringLiteral("drawAsBars");
const QString kVertOrigin = QStringLiteral("vertOrigin");
const char* const kLoopKeys[] = {"loopModeStopButton", "loopModeLoopButton", "loopModeRLoopButton"};
const char* const kLoopTitles[] = {"stop", "loop", "r-loop"};
const char* const kJumpKeys[] = {"prevCol", "prevBeat", "prevMeas",
                                 "nextCol", "nextBeat", "nextMeas"};
const char* const kJumpTitles[] = {"<col", "<beat", "<meas", "col>", "beat>", "meas>"};

QKButton* makeButton(const QString& title, int type, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setFixedHeight(16);
  return button;
}

QSlider* makeSlider(int from, int to, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(from, to);
  slider->setFixedHeight(16);
  return slider;
}

QLabel* makeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet(QStringLiteral("color: white; font-size: 9px"));
  return label;
}

void setQuietly(QSlider* slider, int value) {
  if (!slider) return;
  const bool blocked = slider->blockSignals(true);
  slider->setValue(value);
  slider->blockSignals(blocked);
}

}  // namespace

StepSequencer::StepSequencer(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID), ticker_(std::make_shared<StepSequencerTicker>()) {
  ticker_->sequencer.store(this);
  copyClockLayout();
  dataSource_ = DSFloatInfreqRepeat::createWithName(name);
  SharedSourceGroup::join(dataSourceController(), kGroupName, name, dataSource_,
                          DSType::UntickedHolder);
  observers_.observe(QStringLiteral("QKPMRestoreStartNotification"), nullptr,
                     [this](const Notification&) {
                       closeOptionsPanel();
                       // A restore never leaves steps being overwritten unseen.
                       if (recordButton_) recordButton_->setIntValue(0, false);
                       setRecording(false);
                     });
  observers_.observe(QStringLiteral("QKPluginDeletedNotification"), nullptr,
                     [this](const Notification&) { closeOptionsPanel(); });
  observers_.observe(QStringLiteral("QKMCUpdateParticularsNotification"), nullptr,
                     [this](const Notification&) {
                       MainThread::run([self = QPointer<StepSequencer>(this)] {
                         if (self && !self->deleted()) self->clockDetailsUpdated();
                       });
                     });
}

StepSequencer::~StepSequencer() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass StepSequencer::pluginClass() {
  PluginClass sequencer;
  sequencer.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<StepSequencer>(type, name, uniqueID);
  };
  sequencer.layout = &StepSequencer::buildWindow;
  return sequencer;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> StepSequencer::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(320, 300, 340, 250));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<StepSequencer*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  self->display_ = new StepSequencerDisplay(body);
  column->addWidget(self->display_, 1);

  auto* transport = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    self->loopModeButtons_[i] = makeButton(QString::fromLatin1(kLoopTitles[i]), 1, body);
    transport->addWidget(self->loopModeButtons_[i]);
  }
  self->flipDirectionButton_ = makeButton(QStringLiteral("flip"), 0, body);
  self->pauseButton_ = makeButton(QStringLiteral("pause"), 1, body);
  self->syncButton_ = makeButton(QStringLiteral("sync"), 0, body);
  self->rndButton_ = makeButton(QStringLiteral("rnd"), 0, body);
  self->recordButton_ = makeButton(QStringLiteral("rec"), 1, body);
  for (QKButton* button : {self->flipDirectionButton_, self->pauseButton_, self->syncButton_,
                           self->rndButton_, self->recordButton_})
    transport->addWidget(button);
  column->addLayout(transport);

  auto* jumps = new QHBoxLayout;
  for (int i = 0; i < 6; ++i) {
    self->jumpButtons_[i] = makeButton(QString::fromLatin1(kJumpTitles[i]), 0, body);
    jumps->addWidget(self->jumpButtons_[i]);
  }
  column->addLayout(jumps);

  self->speedSlider_ = new QKSliderControl(body);
  self->speedSlider_->setFixedHeight(16);
  column->addWidget(self->speedSlider_);
  self->recordSlider_ = new QKSliderControl(body);
  self->recordSlider_->setFixedHeight(16);
  column->addWidget(self->recordSlider_);

  auto* bottom = new QHBoxLayout;
  self->localPresetView_ = new QKLocalPresetView(body);
  self->localPresetView_->setFixedHeight(16);
  bottom->addWidget(self->localPresetView_, 1);
  self->optionsButton_ = makeButton(QStringLiteral("Options"), 0, body);
  self->optionsButton_->setFixedWidth(52);
  bottom->addWidget(self->optionsButton_);
  column->addLayout(bottom);
  self->buildOptionsPanel(body);
  body->installEventFilter(self);
  return window;
}

void StepSequencer::buildOptionsPanel(QWidget* body) {
  optionsPanel_ = new BlackTranslucentPanel(body);
  optionsPanel_->hide();
  auto* column = new QVBoxLayout(optionsPanel_);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(2);
  const auto row = [&](const QString& title, QWidget* control) {
    auto* line = new QHBoxLayout;
    auto* label = makeLabel(title, optionsPanel_);
    label->setFixedWidth(70);
    line->addWidget(label);
    line->addWidget(control, 1);
    column->addLayout(line);
    return label;
  };
  numberRowsSlider_ =
      makeSlider(StepSequencerEngine::kMinRows, StepSequencerEngine::kMaxRows, optionsPanel_);
  row(QStringLiteral("rows"), numberRowsSlider_);
  verticalOriginSlider_ = makeSlider(0, 100, optionsPanel_);
  row(QStringLiteral("bar origin"), verticalOriginSlider_);
  numberMeasuresSlider_ = makeSlider(StepSequencerEngine::kMinMeasures,
                                     StepSequencerEngine::kMaxMeasures, optionsPanel_);
  numberMeasuresLabel_ = row(QStringLiteral("2 measures"), numberMeasuresSlider_);
  auto* toggles = new QHBoxLayout;
  drawAsBarsButton_ = makeButton(QStringLiteral("bars"), 1, optionsPanel_);
  constrainDragButton_ = makeButton(QStringLiteral("constrain"), 1, optionsPanel_);
  interpolateValsButton_ = makeButton(QStringLiteral("interpolate"), 1, optionsPanel_);
  for (QKButton* button : {drawAsBarsButton_, constrainDragButton_, interpolateValsButton_})
    toggles->addWidget(button);
  column->addLayout(toggles);
  shortcutTableView_ = new QKNSTableView;
  shortcutTableView_->verticalHeader()->hide();
  shortcutTableView_->horizontalHeader()->setStretchLastSection(true);
  column->addWidget(shortcutTableView_, 1);
  auto* buttons = new QHBoxLayout;
  detectionButton_ = makeButton(QStringLiteral("learn"), 1, optionsPanel_);
  clearShortcutsButton_ = makeButton(QStringLiteral("clear"), 0, optionsPanel_);
  doneButton_ = makeButton(QStringLiteral("Done"), 0, optionsPanel_);
  for (QKButton* button : {detectionButton_, clearShortcutsButton_, doneButton_})
    buttons->addWidget(button);
  column->addLayout(buttons);
}

void StepSequencer::wireControls() {
  const auto bind = [this](QKButton* button, std::function<void(int)> action) {
    button->setTarget(alive_);
    button->setAction(
        [action = std::move(action)](QKButtonCell& sender) { action(sender.intValue()); });
  };
  for (int i = 0; i < 3; ++i)
    bind(loopModeButtons_[i], [this, i](int value) { loopModeButtonUsed(i, value); });
  bind(flipDirectionButton_, [this](int) { flipDirectionButtonUsed(); });
  bind(pauseButton_, [this](int value) { pauseButtonUsed(value); });
  bind(syncButton_, [this](int) { syncWithMasterClockUsed(); });
  bind(rndButton_, [this](int) { rndButtonUsed(); });
  bind(recordButton_, [this](int value) { recordButtonUsed(value); });
  for (int i = 0; i < 6; ++i) bind(jumpButtons_[i], [this, i](int) { jumpButtonUsed(Jump(i)); });
  // The panel's own controls act on the main thread.
  bind(optionsButton_, [this](int) {
    MainThread::run([self = QPointer<StepSequencer>(this)] {
      if (self && !self->deleted()) self->openOptionsPanel();
    });
  });
  bind(doneButton_, [this](int) {
    MainThread::run([self = QPointer<StepSequencer>(this)] {
      if (self && !self->deleted()) self->closeOptionsPanel();
    });
  });
  bind(drawAsBarsButton_, [this](int value) { barsButtonUsed(value == 1); });
  bind(constrainDragButton_, [this](int value) { constrainButtonUsed(value == 1); });
  bind(interpolateValsButton_, [this](int value) { interpolateButtonUsed(value == 1); });
  connect(numberRowsSlider_, &QSlider::valueChanged, this, [this](int v) { rowsSliderUsed(v); });
  connect(verticalOriginSlider_, &QSlider::valueChanged, this,
          [this](int v) { originSliderUsed(float(v) / 100.0f); });
  connect(numberMeasuresSlider_, &QSlider::valueChanged, this,
          [this](int v) { measuresSliderUsed(v); });

  shortcutController_ = new StepSequencerShortcutController(&engine_, this);
  shortcutController_->setTableView(shortcutTableView_);
  shortcutController_->setDetectionButton(detectionButton_);
  clearShortcutsButton_->setTarget(alive_);
  clearShortcutsButton_->setAction([this](QKButtonCell&) {
    MainThread::run([self = QPointer<StepSequencer>(this)] {
      if (self && !self->deleted() && self->shortcutController_)
        self->shortcutController_->clearShortcutsButtonUsed();
    });
  });
}

bool StepSequencer::eventFilter(QObject* watched, QEvent* event) {
  if (optionsPanel_ && watched == optionsPanel_->parentWidget()) {
    if (event->type() == QEvent::Resize && optionsPanel_->isVisible())
      optionsPanel_->setGeometry(optionsPanel_->parentWidget()->rect());
    if (display_ && (event->type() == QEvent::Hide || event->type() == QEvent::Show))
      display_->setCollapsed(event->type() == QEvent::Hide);
  }
  return QKPlugin::eventFilter(watched, event);
}

void StepSequencer::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!display_) return;
  wireControls();
  display_->setSequencer(&engine_, [this](long index) { shortcutTriggered(index); });
  display_->setDataSourceController(dataSourceController());
  recordSlider_->setSliderName(QStringLiteral("Playing"));
  recordCell_ = recordSlider_->cellPtr();
  speedSlider_->setSliderName(QStringLiteral("Speed"));
  speedSlider_->setMinRange(0.0f);
  speedSlider_->setMaxRange(32.0f);
  for (float mark : {0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 16.0f, 32.0f})
    speedSlider_->addInterestingPointWithRangedValue(mark);
  speedSlider_->setTarget(alive_);
  speedSlider_->setAction([this](QKSliderCell& cell) { engine_.setSpeed(cell.rangedValue()); });
  speedSlider_->setValueWithRangedValue(1.0f, true);
  loopModeButtons_[StepSequencerEngine::Loop]->setIntValue(1, true);
  pauseButton_->setIntValue(0, true);
  setQuietly(numberRowsSlider_, engine_.rows());
  setQuietly(verticalOriginSlider_, int(std::lround(display_->vertOrigin() * 100.0f)));
  setQuietly(numberMeasuresSlider_, StepSequencerEngine::kDefaultMeasures);
  measuresSliderUsed(StepSequencerEngine::kDefaultMeasures);
  localPresetView_->setTarget(this);
  localPresetView_->setCapacityTo(8);
  copyClockLayout();
  if (DataSourceController* dsc = dataSourceController()) dsc->addToExternalSynchArray(ticker_);
}

void StepSequencer::prepareToBeDeleted() {
  if (deleted()) return;
  deleting_.store(true);
  if (DataSourceController* dsc = dataSourceController())
    dsc->removeFromExternalSynchArray(ticker_.get());
  ticker_->sequencer.store(nullptr);
  observers_.clear();
  alive_.reset();
  if (localPresetView_) localPresetView_->prepareToBeDeleted();
  for (QKSliderControl* slider : {speedSlider_, recordSlider_})
    if (slider) slider->prepareToBeDeleted();
  if (display_) display_->prepareToBeDeleted();
  for (QKButton* button :
       {recordButton_,       optionsButton_,       loopModeButtons_[0],  loopModeButtons_[1],
        loopModeButtons_[2], syncButton_,          detectionButton_,     clearShortcutsButton_,
        pauseButton_,        flipDirectionButton_, jumpButtons_[0],      jumpButtons_[1],
        jumpButtons_[2],     jumpButtons_[3],      jumpButtons_[4],      jumpButtons_[5],
        rndButton_,          drawAsBarsButton_,    constrainDragButton_, interpolateValsButton_,
        doneButton_})
    if (button) button->prepareToBeDeleted();
  SharedSourceGroup::leave(dataSourceController(), kGroupName, windowTitle());
  dataSource_.reset();
  engine_.removeAllSteps();
  QKPlugin::prepareToBeDeleted();
}

void StepSequencer::setPluginName(const QString& name) {
  SharedSourceGroup::rename(dataSourceController(), kGroupName, windowTitle(), name);
  QKPlugin::setPluginName(name);
}

// --- Clock -------------------------------------------------------------------------------

MasterClockInterface* StepSequencer::masterClock() const {
  AppControllerInterface* app = appController();
  return app ? app->masterClock() : nullptr;
}

double StepSequencer::clockReading() const {
  MasterClockInterface* clock = masterClock();
  if (!clock) return 0.0;
  return double(clock->measuresElapsed()) + double(clock->measurePosition());
}

void StepSequencer::copyClockLayout() {
  if (MasterClockInterface* clock = masterClock())
    engine_.setClockLayout(clock->beatsPerMeasure(), clock->quantizedSubdivisions());
  if (display_) {
    display_->setColumnsPerMeasure(engine_.stepsPerMeasure());
    display_->setColumnsPerBeat(engine_.quantizedSubdivisions());
  }
}

void StepSequencer::clockDetailsUpdated() {
  copyClockLayout();
  measuresSliderUsed(measures());
}

// --- Tick ----------------------------------------------------------------------------------

// The slider's display work (text, rectangles, repaint) runs once per
// event-loop pass on the main thread, not on every tick. The value's
// exchange and the flag's clearing are full barriers: either the tick sees
// the flag cleared and posts again, or the refresh reads the new value.
void StepSequencer::showOutputOnRecordSlider(float value) {
  recordSliderOutput_.exchange(value);
  if (recordSliderRefreshPending_.load() || recordSliderRefreshPending_.exchange(true)) return;
  MainThread::post([self = QPointer<StepSequencer>(this)] {
    if (self && !self->deleted()) self->refreshRecordSlider();
  });
}

void StepSequencer::refreshRecordSlider() {
  recordSliderRefreshPending_.exchange(false);
  if (!recordCell_ || engine_.recording() || recordCell_->syncFlag()) return;
  recordCell_->setValue(recordSliderOutput_.load(), false);
}

void StepSequencer::DSCProc() {
  if (deleting_.load()) return;
  const float recordValue = recordCell_ ? recordCell_->value() : 0.0f;
  const StepSequencerEngine::Tick tick = engine_.tick(clockReading(), recordValue);
  if (tick.publish && dataSource_) {
    dataSource_->setValue(tick.value);
    // While playing, the record slider shows the output.
    if (recordCell_ && !engine_.recording() && !recordCell_->syncFlag())
      showOutputOnRecordSlider(dataSource_->value());
  }
  if (display_) {
    if (tick.recorded) display_->refreshWaveDisplayList();
    if (tick.columnChanged || tick.recorded) display_->requestRedraw();
  }
  if (tick.pausedAtEnd)
    MainThread::post([self = QPointer<StepSequencer>(this), ended = tick.recordingEnded] {
      if (!self || self->deleted()) return;
      if (self->pauseButton_) self->pauseButton_->setIntValue(1, false);
      if (ended) self->showRecordingEnded();
    });
}

// --- Steps ---------------------------------------------------------------------------------

long StepSequencer::indexOfStep(const SequencerStep* step) const {
  return engine_.indexOfStep(step);
}

StepSequencerShortcutController* StepSequencer::shortcutController() const {
  return shortcutController_;
}

void StepSequencer::shortcutTriggered(long index) {
  if (!engine_.jumpToStep(index, clockReading())) return;
  if (pauseButton_)
    pauseButton_->setIntValue(0, true);
  else
    engine_.setPaused(false);
}

void StepSequencer::setStepValuesCount(long count) {
  if (count < 0 || count == engine_.stepValuesCount()) return;
  const bool haveClock = masterClock() != nullptr;
  if (!haveClock) Log::line("\t\terr: masterClock is nil");
  engine_.setStepValuesCount(count, haveClock);
  refreshDisplay();
  if (shortcutController_) shortcutController_->reloadData();
}

void StepSequencer::refreshDisplay() {
  if (!display_) return;
  display_->refreshDisplayLists();
  display_->requestRedraw();
}

// --- Controls ------------------------------------------------------------------------------

void StepSequencer::endDetection() {
  if (detectionButton_ && detectionButton_->intValue() != 0) detectionButton_->setIntValue(0, true);
}

void StepSequencer::rowsSliderUsed(int rows) {
  endDetection();
  engine_.setRows(rows);
  setQuietly(numberRowsSlider_, engine_.rows());
  refreshDisplay();
}

void StepSequencer::barsButtonUsed(bool bars) {
  endDetection();
  engine_.setDrawAsBars(bars);
  refreshDisplay();
}

void StepSequencer::originSliderUsed(float origin) {
  endDetection();
  if (display_) display_->setVertOrigin(origin);
  refreshDisplay();
}

void StepSequencer::constrainButtonUsed(bool constrain) {
  endDetection();
  if (display_) display_->setConstrainClick(constrain);
  refreshDisplay();
}

void StepSequencer::interpolateButtonUsed(bool interpolate) {
  endDetection();
  engine_.setInterpolating(interpolate);
  refreshDisplay();
}

int StepSequencer::measures() const {
  return numberMeasuresSlider_ ? numberMeasuresSlider_->value()
                               : StepSequencerEngine::kDefaultMeasures;
}

QString StepSequencer::measuresLabel() const {
  return numberMeasuresLabel_ ? numberMeasuresLabel_->text() : QString();
}

void StepSequencer::measuresSliderUsed(int measures) {
  endDetection();
  measures =
      std::clamp(measures, StepSequencerEngine::kMinMeasures, StepSequencerEngine::kMaxMeasures);
  setQuietly(numberMeasuresSlider_, measures);
  copyClockLayout();
  if (numberMeasuresLabel_)
    numberMeasuresLabel_->setText(QStringLiteral("%1 measures").arg(measures));
  setStepValuesCount(long(engine_.stepsPerMeasure()) * measures);
  if (pauseButton_)
    pauseButton_->setIntValue(0, true);
  else
    engine_.setPaused(false);
  refreshDisplay();
}

void StepSequencer::loopModeButtonUsed(int mode, int value) {
  if (mode < 0 || mode > 2) return;
  // A radio group: only a button turning on chooses; the lit one stays lit.
  if (value != 1) {
    if (mode == engine_.loopMode() && loopModeButtons_[mode])
      loopModeButtons_[mode]->setIntValue(1, false);
    return;
  }
  for (int other = 0; other < 3; ++other)
    if (loopModeButtons_[other]) loopModeButtons_[other]->setIntValue(other == mode ? 1 : 0, false);
  engine_.setLoopMode(mode);
  if (mode != StepSequencerEngine::Stop && pauseButton_) pauseButton_->setIntValue(0, true);
}

void StepSequencer::flipDirectionButtonUsed() {
  engine_.flipDirection();
  if (pauseButton_) pauseButton_->setIntValue(0, true);
}

void StepSequencer::pauseButtonUsed(int value) { engine_.setPaused(value == 1); }

void StepSequencer::syncWithMasterClockUsed() {
  engine_.syncWithClock(clockReading());
  if (pauseButton_) pauseButton_->setIntValue(0, true);
}

void StepSequencer::jumpButtonUsed(Jump jump) {
  const double column = 1.0 / double(engine_.stepsPerMeasure());
  const double beat = 1.0 / double(engine_.beatsPerMeasure());
  const double deltas[] = {-column, -beat, -1.0, column, beat, 1.0};
  engine_.jump(deltas[jump]);
}

void StepSequencer::rndButtonUsed() {
  engine_.randomize();
  MainThread::run([self = QPointer<StepSequencer>(this)] {
    if (self && !self->deleted()) self->refreshDisplay();
  });
}

void StepSequencer::recordButtonUsed(int value) {
  if (engine_.presetLoading()) return;
  setRecording(value == 1);
}

void StepSequencer::setRecording(bool recording) {
  if (engine_.setRecording(recording)) finishRecordingChange(recording);
}

void StepSequencer::finishRecordingChange(bool recording) {
  if (!recordSlider_) return;
  if (recording) {
    // A slider that never learnt a source has nothing to follow.
    if (recordSliderSyncFlag_ && !recordSlider_->syncArray().isEmpty())
      recordSlider_->setSyncFlag(true);
    recordSlider_->setSliderName(QStringLiteral("Recording"));
  } else {
    recordSliderSyncFlag_ = recordSlider_->syncFlag();
    recordSlider_->setSyncFlag(false);
    recordSlider_->setSliderName(QStringLiteral("Playing"));
  }
}

void StepSequencer::showRecordingEnded() {
  if (recordButton_) recordButton_->setIntValue(0, false);
  finishRecordingChange(false);
}

// --- Options sheet -------------------------------------------------------------------------

void StepSequencer::openOptionsPanel() {
  endDetection();
  if (!optionsPanel_) return;
  setQuietly(numberRowsSlider_, engine_.rows());
  if (drawAsBarsButton_) drawAsBarsButton_->setIntValue(engine_.drawAsBars() ? 1 : 0, false);
  if (display_)
    setQuietly(verticalOriginSlider_, int(std::lround(display_->vertOrigin() * 100.0f)));
  if (interpolateValsButton_)
    interpolateValsButton_->setIntValue(engine_.interpolating() ? 1 : 0, false);
  if (constrainDragButton_ && display_)
    constrainDragButton_->setIntValue(display_->constrainClick() ? 1 : 0, false);
  if (shortcutController_) shortcutController_->reloadData();
  optionsPanel_->setGeometry(optionsPanel_->parentWidget()->rect());
  optionsPanel_->show();
  optionsPanel_->raise();
}

void StepSequencer::closeOptionsPanel() {
  endDetection();
  if (optionsPanel_) optionsPanel_->hide();
}

// --- Snapshots -----------------------------------------------------------------------------

QVariantMap StepSequencer::createLocalSnapshot() {
  QVariantMap snapshot;
  if (speedSlider_) {
    const QVariantMap speed = speedSlider_->createSnapshot();
    if (!speed.isEmpty()) snapshot.insert(kSpeedSlider, speed);
  }
  snapshot.insert(kNumberMeasures, measures());
  snapshot.insert(kInterpolatingVals, engine_.interpolating());
  snapshot.insert(kLoopMode, engine_.loopMode());
  QVariantList steps;
  engine_.stepLock().readLock();
  for (const auto& step : engine_.stepValues()) steps.append(step->createSnapshot());
  engine_.stepLock().readUnlock();
  if (!steps.isEmpty()) snapshot.insert(kStepValues, steps);
  snapshot.insert(kNumberRows, engine_.rows());
  snapshot.insert(kDrawAsBars, engine_.drawAsBars());
  snapshot.insert(kVertOrigin, double(display_ ? display_->vertOrigin() : 0.5f));
  return snapshot;
}

void StepSequencer::loadLocalSnapshot(const QVariantMap& snapshot) {
  const QVariant speed = snapshot.value(kSpeedSlider);
  if (speedSlider_ && speed.typeId() == QMetaType::QVariantMap) {
    speedSlider_->loadSnapshot(speed.toMap());
    engine_.setSpeed(speedSlider_->rangedValue());
  }
  if (snapshot.contains(kInterpolatingVals))
    engine_.setInterpolating(snapshot.value(kInterpolatingVals).toBool());
  if (snapshot.contains(kLoopMode)) {
    bool ok = false;
    const int mode = snapshot.value(kLoopMode).toInt(&ok);
    if (ok && mode >= 0 && mode <= 2) {
      engine_.setLoopMode(mode);
      if (loopModeButtons_[mode]) loopModeButtons_[mode]->setIntValue(1, true);
      if (mode != StepSequencerEngine::ReverseLoop) engine_.setPlayingForward(true);
    }
  }
  if (snapshot.contains(kNumberRows)) engine_.setRows(snapshot.value(kNumberRows).toInt());
  if (snapshot.contains(kDrawAsBars)) engine_.setDrawAsBars(snapshot.value(kDrawAsBars).toBool());
  if (snapshot.contains(kVertOrigin) && display_)
    display_->setVertOrigin(snapshot.value(kVertOrigin).toFloat());
  const QVariant stored = snapshot.value(kStepValues);
  if (stored.typeId() == QMetaType::QVariantList) {
    const QVariantList steps = stored.toList();
    setStepValuesCount(steps.size());
    engine_.stepLock().readLock();
    const auto& array = engine_.stepValues();
    for (qsizetype i = 0; i < steps.size() && i < qsizetype(array.size()); ++i)
      if (steps[i].typeId() == QMetaType::QVariantMap)
        array[size_t(i)]->loadSnapshot(steps[i].toMap());
    engine_.stepLock().readUnlock();
  }
  if (snapshot.contains(kNumberMeasures))
    measuresSliderUsed(snapshot.value(kNumberMeasures).toInt());
  setQuietly(numberRowsSlider_, engine_.rows());
  refreshDisplay();
  if (shortcutController_) shortcutController_->reloadData();
}

QVariantMap StepSequencer::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  snapshot.insert(kLocalPreset, const_cast<StepSequencer*>(this)->createLocalSnapshot());
  snapshot.insert(kInterpolatingVals, engine_.interpolating());
  if (localPresetView_) {
    const QVariantMap presets = localPresetView_->createSnapshot();
    if (presets.isEmpty())
      Log::line("err: localPresetView nil");
    else
      snapshot.insert(kLocalPresetView, presets);
  }
  const auto addButton = [&snapshot](const QString& key, const QKButton* button) {
    if (button) snapshot.insert(key, button->createSnapshot());
  };
  addButton(QStringLiteral("flipDirectionButton"), flipDirectionButton_);
  for (int i = 0; i < 3; ++i) addButton(QString::fromLatin1(kLoopKeys[i]), loopModeButtons_[i]);
  addButton(QStringLiteral("pauseButton"), pauseButton_);
  addButton(kRecordButton, recordButton_);
  addButton(QStringLiteral("syncButton"), syncButton_);
  addButton(QStringLiteral("rndButton"), rndButton_);
  for (int i = 0; i < 6; ++i) addButton(QString::fromLatin1(kJumpKeys[i]), jumpButtons_[i]);
  addButton(QStringLiteral("detectionButton"), detectionButton_);
  addButton(QStringLiteral("clearShortcutsButton"), clearShortcutsButton_);
  if (recordSlider_) snapshot.insert(kRecordSlider, recordSlider_->createSnapshot());
  return snapshot;
}

void StepSequencer::loadSnapshot(const QVariantMap& snapshot) {
  engine_.setPresetLoading(true);
  QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  if (snapshot.contains(kInterpolatingVals))
    engine_.setInterpolating(snapshot.value(kInterpolatingVals).toBool());
  const auto map = [&snapshot](const QString& key) -> std::optional<QVariantMap> {
    const QVariant value = snapshot.value(key);
    if (value.typeId() != QMetaType::QVariantMap) return std::nullopt;
    return value.toMap();
  };
  const auto loadButton = [&map](const QString& key, QKButton* button) {
    if (const auto stored = map(key); stored && button) button->loadSnapshot(*stored);
  };
  loadButton(kRecordButton, recordButton_);
  if (recordButton_) recordButton_->setIntValue(0, false);
  // Recording ends with its button: nothing goes on overwriting steps.
  setRecording(false);
  if (const auto stored = map(kRecordSlider); stored && recordSlider_) {
    recordSlider_->loadSnapshot(*stored);
    recordSliderSyncFlag_ = recordSlider_->syncFlag();
    recordSlider_->setSyncFlag(false);
  }
  for (int i = 0; i < 3; ++i) loadButton(QString::fromLatin1(kLoopKeys[i]), loopModeButtons_[i]);
  loadButton(QStringLiteral("flipDirectionButton"), flipDirectionButton_);
  loadButton(QStringLiteral("pauseButton"), pauseButton_);
  loadButton(QStringLiteral("syncButton"), syncButton_);
  loadButton(QStringLiteral("rndButton"), rndButton_);
  for (int i = 0; i < 6; ++i) loadButton(QString::fromLatin1(kJumpKeys[i]), jumpButtons_[i]);
  loadButton(QStringLiteral("detectionButton"), detectionButton_);
  loadButton(QStringLiteral("clearShortcutsButton"), clearShortcutsButton_);
  if (const auto stored = map(kLocalPresetView); stored && localPresetView_)
    localPresetView_->loadSnapshot(*stored);
  if (const auto stored = map(kLocalPreset)) loadLocalSnapshot(*stored);
  if (pauseButton_)
    pauseButton_->setIntValue(0, true);
  else
    engine_.setPaused(false);
  engine_.setPresetLoading(false);
}
