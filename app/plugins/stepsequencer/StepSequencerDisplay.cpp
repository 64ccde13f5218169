#include "app/plugins/stepsequencer/StepSequencerDisplay.h"

#include "app/plugins/stepsequencer/SequencerStep.h"
#include "app/plugins/stepsequencer/StepSequencerEngine.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/RepaintRequest.h"
#include "framework/toolkit/ThemeDict.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QColor sequencerColor(const QString& key, const QColor& fallback) {
  const QVariantMap colors =
      ThemeDict::map(ThemeDict::pluginColors(), QStringLiteral("StepSequencer"));
  return ThemeDict::color(colors, key, fallback);
}

QColor shade(const QColor& color, double delta) {
  const QColor rgb = color.toRgb();
  const auto channel = [delta](double c) { return std::clamp(c + delta, 0.0, 1.0); };
  return QColor::fromRgbF(float(channel(rgb.redF())), float(channel(rgb.greenF())),
                          float(channel(rgb.blueF())), 1.0f);
}

struct ReadLocked {
  explicit ReadLocked(RWTryLock& lock) : lock(lock) { lock.readLock(); }
  ~ReadLocked() { lock.readUnlock(); }
  RWTryLock& lock;
};

}  // namespace

StepSequencerDisplay::StepSequencerDisplay(QWidget* parent)
    : QWidget(parent), repaint_(std::make_unique<RepaintRequest>(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(64, 40);
  observers_.observe(QStringLiteral("QKRedrawPluginsNotification"), nullptr,
                     [this](const Notification&) {
                       refreshDisplayLists();
                       requestRedraw();
                     });
}

StepSequencerDisplay::~StepSequencerDisplay() { prepareToBeDeleted(); }

void StepSequencerDisplay::setSequencer(StepSequencerEngine* sequencer,
                                        std::function<void(long)> jumpTo) {
  sequencer_ = sequencer;
  jumpTo_ = std::move(jumpTo);
  refreshDisplayLists();
}

void StepSequencerDisplay::setDataSourceController(DataSourceController* controller) {
  dataSourceController_ = controller;
}

void StepSequencerDisplay::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  if (selected() && dataSourceController_) dataSourceController_->deselectThisAltUIItem(this);
  sequencer_ = nullptr;
  jumpTo_ = nullptr;
}

void StepSequencerDisplay::setVertOrigin(float origin) {
  vertOrigin_ = std::isfinite(origin) ? std::clamp(origin, 0.0f, 1.0f) : 0.5f;
}

void StepSequencerDisplay::setColumnsPerBeat(int columns) {
  columnsPerBeat_ = std::max(1, columns);
  backgroundDirty_.store(true);
}

void StepSequencerDisplay::setColumnsPerMeasure(int columns) {
  columnsPerMeasure_ = std::max(1, columns);
  backgroundDirty_.store(true);
}

void StepSequencerDisplay::refreshDisplayLists() {
  backgroundDirty_.store(true);
  valuesDirty_.store(true);
}

void StepSequencerDisplay::requestRedraw() {
  if (!collapsed_.load() && repaint_) repaint_->request();
}

void StepSequencerDisplay::resizeEvent(QResizeEvent* event) {
  refreshDisplayLists();
  QWidget::resizeEvent(event);
}

QColor StepSequencerDisplay::backgroundColor() const {
  for (QWidget* up = parentWidget(); up; up = up->parentWidget())
    if (auto* content = qobject_cast<QKWindowContentView*>(up)) return content->backgroundColor();
  return QColor::fromRgbF(0.2f, 0.2f, 0.2f);
}

long StepSequencerDisplay::columnAt(double x) const {
  const long count = sequencer_ ? sequencer_->stepValuesCount() : 0;
  if (count <= 0 || width() <= 0) return -1;
  const double columnWidth = double(width()) / double(count);
  return std::clamp(long(std::floor(x / columnWidth)), 0L, count - 1);
}

// --- Drawing ----------------------------------------------------------------------------

void StepSequencerDisplay::buildBackground(long count) {
  const QSize size = this->size();
  const double w = size.width(), h = size.height();
  const QColor base = backgroundColor();
  const QColor dark = shade(base, -0.03), light = shade(base, 0.03);
  background_ = QPixmap(size);
  background_.fill(dark);
  foreground_ = QPixmap(size);
  foreground_.fill(Qt::transparent);
  QPainter back(&background_);
  const double cw = count > 0 ? w / double(count) : 0.0;
  for (long i = 0; i < count; ++i)
    if ((i / columnsPerBeat_) % 2 == 1) back.fillRect(QRectF(double(i) * cw, 0, cw, h), light);
  QPainter front(&foreground_);
  front.setPen(QPen(base, 1.0));
  const bool bars = sequencer_ && sequencer_->drawAsBars();
  if (!bars && sequencer_) {
    const int rows = sequencer_->rows();
    const double rh = h / double(rows);
    for (int i = 0; i < rows; ++i) front.drawLine(QPointF(0, h - i * rh), QPointF(w, h - i * rh));
  }
  for (long i = 0; i < count; ++i) {
    const bool measure = i != 0 && i % columnsPerMeasure_ == 0;
    front.setPen(QPen(measure ? QColor(Qt::black) : base, 1.0));
    const double x = std::floor(double(i) * cw);
    front.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, h));
  }
  if (bars) {
    front.setPen(QPen(base, 1.0));
    const double y = h - double(vertOrigin_) * h;
    front.drawLine(QPointF(0, y), QPointF(w, y));
  }
}

void StepSequencerDisplay::buildValues(long count) {
  const QSize size = this->size();
  const double w = size.width(), h = size.height();
  values_ = QPixmap(size);
  values_.fill(Qt::transparent);
  if (count <= 0 || !sequencer_) return;
  QPainter painter(&values_);
  painter.setPen(Qt::NoPen);
  const QColor color =
      sequencerColor(QStringLiteral("valueColor"), QColor::fromRgbF(0.6765f, 0.0921f, 0.0958f));
  painter.setBrush(color);
  const auto& steps = sequencer_->stepValues();
  const long size_ = std::min(count, long(steps.size()));
  const double cw = w / double(count);
  const auto yOf = [h](double v) { return h - v * h; };
  if (sequencer_->interpolating()) {
    // Each enabled step's output value stands at its column's left edge; the
    // last runs towards step 0's at the end, as the output does.
    long previous = -1;
    float previousValue = 0.0f;
    const auto segment = [&](long from, float a, long to, float b) {
      const double x0 = double(from) * cw, x1 = double(to) * cw;
      painter.drawPolygon(
          QPolygonF{QPointF(x0, h), QPointF(x0, yOf(a)), QPointF(x1, yOf(b)), QPointF(x1, h)});
    };
    for (long i = 0; i < size_; ++i) {
      if (!steps[size_t(i)]->enabled()) continue;
      const float value = sequencer_->outputValue(steps[size_t(i)]->val());
      if (previous >= 0) segment(previous, previousValue, i, value);
      previous = i;
      previousValue = value;
    }
    if (previous >= 0 && !steps.empty() && steps[0]->enabled())
      segment(previous, previousValue, count, sequencer_->outputValue(steps[0]->val()));
    return;
  }
  const bool bars = sequencer_->drawAsBars();
  const int rows = sequencer_->rows();
  const double rh = h / double(rows);
  for (long i = 0; i < size_; ++i) {
    const SequencerStep& step = *steps[size_t(i)];
    if (!step.enabled()) continue;
    const double x0 = std::floor(double(i) * cw), x1 = std::floor(double(i + 1) * cw);
    if (bars) {
      const double from = yOf(vertOrigin_), to = yOf(step.val());
      if (from != to)
        painter.drawRect(QRectF(QPointF(x0, std::min(from, to)), QPointF(x1, std::max(from, to))));
    } else {
      const int row = StepSequencerEngine::rowOf(step.val(), rows);
      painter.drawRect(QRectF(QPointF(x0, h - double(row + 1) * rh), QPointF(x1, h - row * rh)));
    }
  }
}

void StepSequencerDisplay::paintEvent(QPaintEvent*) {
  if (deleted_ || collapsed_.load()) return;
  ++paintCount_;
  QPainter painter(this);
  if (!sequencer_) {
    painter.fillRect(rect(), backgroundColor());
    return;
  }
  ReadLocked locked(sequencer_->stepLock());
  const long count = sequencer_->stepValuesCount();
  const bool sized = background_.size() == size();
  if (backgroundDirty_.exchange(false) || !sized || builtCount_ != count) {
    buildBackground(count);
    valuesDirty_.store(true);
    ++rebuildCount_;
  }
  if (valuesDirty_.exchange(false) || values_.size() != size() || builtCount_ != count)
    buildValues(count);
  builtCount_ = count;
  painter.drawPixmap(0, 0, background_);
  painter.drawPixmap(0, 0, values_);
  painter.drawPixmap(0, 0, foreground_);
  if (count <= 0) return;
  const double cw = double(width()) / double(count);
  const long column = sequencer_->lastRenderedColumn();
  if (column < 0 || column >= count) return;
  painter.setPen(
      QPen(sequencerColor(QStringLiteral("timeColor"), QColor::fromRgbF(0.4009f, 0.9769f, 0.1447f)),
           1.0));
  painter.setBrush(Qt::NoBrush);
  const double x0 = std::floor(double(column) * cw);
  painter.drawRect(QRectF(x0 + 0.5, 0.5, std::floor(cw) - 1.0, height() - 1.0));
}

// --- Mouse --------------------------------------------------------------------------------

void StepSequencerDisplay::mousePressEvent(QMouseEvent* event) { press(event, 1); }

void StepSequencerDisplay::mouseDoubleClickEvent(QMouseEvent* event) { press(event, 2); }

void StepSequencerDisplay::press(QMouseEvent* event, int clickCount) {
  if (deleted_ || !sequencer_) return;
  if (!selected() && dataSourceController_) dataSourceController_->selectThisAltUIItem(this);
  changingEnabled_ = event->modifiers() & Qt::ShiftModifier;
  const QPointF point = event->position();
  {
    ReadLocked locked(sequencer_->stepLock());
    const long column = columnAt(point.x());
    if (column < 0) return;
    constrainedClickIndex_ = column;
    if (clickCount > 1) {
      if (jumpTo_) jumpTo_(column);
      return;
    }
    if (changingEnabled_ && column < long(sequencer_->stepValues().size()))
      changingEnabledTo_ = !sequencer_->stepValues()[size_t(column)]->enabled();
  }
  dragTo(point);
}

void StepSequencerDisplay::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) dragTo(event->position());
}

void StepSequencerDisplay::dragTo(const QPointF& point) {
  if (deleted_ || !sequencer_ || height() <= 0) return;
  {
    ReadLocked locked(sequencer_->stepLock());
    const long column = constrainClick_ ? constrainedClickIndex_ : columnAt(point.x());
    const auto& steps = sequencer_->stepValues();
    if (column < 0 || column >= sequencer_->stepValuesCount() || column >= long(steps.size()))
      return;
    SequencerStep& step = *steps[size_t(column)];
    if (changingEnabled_) {
      step.setEnabled(changingEnabledTo_);
    } else {
      step.setVal(float((double(height()) - point.y()) / double(height())));
      if (!step.enabled()) step.setEnabled(true);
    }
  }
  valuesDirty_.store(true);
  update();
}
