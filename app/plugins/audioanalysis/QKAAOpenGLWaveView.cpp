#include "app/plugins/audioanalysis/QKAAOpenGLWaveView.h"

#include "app/plugins/audioanalysis/QKAAWaveSliceTableModel.h"
#include "app/plugins/audioanalysis/QKAAWaveViewHost.h"
#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QString kViewSlices = QStringLiteral("viewSlices");
const QString kNumberOfSlices = QStringLiteral("number of slices");
const QString kFreqTextKey = QStringLiteral("freqText");

QVariantMap colors() {
  return ThemeDict::map(ThemeDict::pluginColors(), QStringLiteral("AudioAnalysis"));
}

QColor color(const QVariantMap& dict, const char* key, const QColor& fallback) {
  return ThemeDict::color(dict, QString::fromLatin1(key), fallback);
}

}  // namespace

QKAAOpenGLWaveView::QKAAOpenGLWaveView(QKAAWaveViewHost& host, QWidget* parent)
    : QWidget(parent), host_(host), tableModel_(std::make_unique<QKAAWaveSliceTableModel>(*this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 60);
}

QKAAOpenGLWaveView::~QKAAOpenGLWaveView() {
  if (!deleted_) prepareToBeDeleted();
}

// --- Bands ---------------------------------------------------------------------------------

std::shared_ptr<QKAAWaveViewSlice> QKAAOpenGLWaveView::makeSlice(const QString& name,
                                                                 float frequency, float bandwidth) {
  auto slice = std::make_shared<QKAAWaveViewSlice>(name, frequency, bandwidth,
                                                   host_.engine().inputSampleRate(),
                                                   biquadToRect(frequency, bandwidth));
  slice->prepareDrawPath();
  return slice;
}

void QKAAOpenGLWaveView::awakeFromNib() {
  viewSlices_.clear();
  for (int k = 1; k <= 4; ++k) {
    auto slice = makeSlice(QStringLiteral("band-%1").arg(k - 1), 20.0f * std::pow(4.0f, float(k)),
                           0.25f * float(k + 1));
    viewSlices_.push_back(slice);
    publish(slice);
  }
  bandsChanged();
}

void QKAAOpenGLWaveView::publish(const std::shared_ptr<QKAAWaveViewSlice>& slice) {
  DataSourceController* dsc = host_.bandSourceController();
  const QString instance = host_.instanceName();
  if (!dsc || instance.isEmpty() || slice->freqText().isEmpty()) return;
  auto source = DSFloatFrequent::createWithName(
      slice->freqText(), std::weak_ptr<DataSourceTarget>(slice),
      [](DataSourceTarget& target, DataSource* source) {
        static_cast<QKAAWaveViewSlice&>(target).setDataSource(source);
      });
  if (source) dsc->setDataSource(source, {instance, slice->freqText()});
}

void QKAAOpenGLWaveView::unpublish(const QKAAWaveViewSlice& slice) {
  if (DataSourceController* dsc = host_.bandSourceController())
    dsc->setDataSource(nullptr, {host_.instanceName(), slice.freqText()});
}

// The engine gets the new list whole; the table and drawing follow.
void QKAAOpenGLWaveView::bandsChanged() {
  host_.engine().setBands(viewSlices_);
  static_cast<QKAAWaveSliceTableModel*>(tableModel_.get())->reload();
  prepareAllPaths();
}

std::shared_ptr<QKAAWaveViewSlice> QKAAOpenGLWaveView::waveViewSliceForName(
    const QString& name) const {
  for (const auto& slice : viewSlices_)
    if (slice->freqText() == name) return slice;
  return nullptr;
}

long QKAAOpenGLWaveView::nextAvailableBandIndex() const {
  for (long n = 0;; ++n)
    if (!waveViewSliceForName(QStringLiteral("band-%1").arg(n))) return n;
}

bool QKAAOpenGLWaveView::createWaveViewSlice() {
  if (viewSlices_.size() >= std::size_t(kMaxBands)) {
    Log::line("\t\terr: reached max limit of 32 analysis bands");
    return false;
  }
  auto slice = makeSlice(QStringLiteral("band-%1").arg(nextAvailableBandIndex()), 800.0f, 0.8f);
  slice->setBqFreq(QKAAWaveViewSlice::clampFrequency(800.0f, slice->sampleRate()));
  viewSlices_.push_back(slice);
  publish(slice);
  bandsChanged();
  return true;
}

void QKAAOpenGLWaveView::deleteWaveViewSlices(const std::set<int>& rows) {
  if (rows.empty()) return;
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    if (*row < 0 || *row >= int(viewSlices_.size())) continue;
    const auto slice = viewSlices_[std::size_t(*row)];
    unpublish(*slice);
    if (slice.get() == selectedSlice_) selectedSlice_ = nullptr;
    viewSlices_.erase(viewSlices_.begin() + *row);
  }
  bandsChanged();
}

void QKAAOpenGLWaveView::select(QKAAWaveViewSlice* slice) {
  if (selectedSlice_) selectedSlice_->setSelected(false);
  selectedSlice_ = slice;
  if (slice) slice->setSelected(true);
  update();
}

bool QKAAOpenGLWaveView::nameIsFree(const QString& name, const QKAAWaveViewSlice* except) const {
  for (const auto& slice : viewSlices_)
    if (slice.get() != except && slice->freqText() == name) return false;
  return true;
}

// --- Table ---------------------------------------------------------------------------------

QVariant QKAAOpenGLWaveView::objectValue(int column, int row) const {
  if (row < 0 || row >= numberOfRows()) return {};
  const QKAAWaveViewSlice& slice = *viewSlices_[std::size_t(row)];
  switch (column) {
    case kFreqText:
      return slice.freqText();
    case kBqFreq:
      return double(slice.bqFreq());
    case kBqBandwidth:
      return double(slice.bqBandwidth());
    case kSmoothingFactor:
      return double(slice.smoothingFactor());
    default:
      return {};
  }
}

bool QKAAOpenGLWaveView::setObjectValue(const QVariant& value, int column, int row) {
  if (row < 0 || row >= numberOfRows()) return false;
  QKAAWaveViewSlice& slice = *viewSlices_[std::size_t(row)];
  if (column == kFreqText) {
    const QString name = value.toString();
    if (value.typeId() != QMetaType::QString || name.isEmpty() || name.contains(u'/') ||
        !nameIsFree(name, &slice))
      return false;
    if (name == slice.freqText()) return true;
    DataSourceController* dsc = host_.bandSourceController();
    const QString instance = host_.instanceName();
    if (dsc && !dsc->changeNameFrom({instance, slice.freqText()}, {instance, name})) return false;
    slice.setFreqText(name);
    update();
    return true;
  }
  bool ok = false;
  const double number = value.toDouble(&ok);
  if (!ok || !std::isfinite(number) ||
      !(VariantNumbers::isNumber(value) || value.typeId() == QMetaType::QString))
    return false;
  switch (column) {
    case kBqFreq:
      slice.setBqFreq(QKAAWaveViewSlice::clampFrequency(float(number), slice.sampleRate()));
      break;
    case kBqBandwidth:
      slice.setBqBandwidth(QKAAWaveViewSlice::clampBandwidth(float(number)));
      break;
    case kSmoothingFactor:
      slice.setSmoothingFactor(std::clamp(float(number), 0.0f, 1.0f));
      break;
    default:
      return false;
  }
  prepareAllPaths();
  return true;
}

// --- Axis ----------------------------------------------------------------------------------

float QKAAOpenGLWaveView::normalised(float frequency) const {
  return (std::log(frequency) - std::log(kMinFreq)) / (std::log(kMaxFreq) - std::log(kMinFreq));
}

QRectF QKAAOpenGLWaveView::biquadToRect(float frequency, float bandwidth) const {
  const double w = width(), h = height();
  const double q = normalised(frequency);
  const double l = normalised(frequency / std::pow(2.0f, bandwidth));
  const double rectWidth = 3 * (q - l) * w;
  return QRectF(q * w - rectWidth / 2, 0, rectWidth, h);
}

void QKAAOpenGLWaveView::prepareAllPaths() {
  for (const auto& slice : viewSlices_) {
    slice->setfillArea(biquadToRect(slice->bqFreq(), slice->bqBandwidth()));
    slice->prepareDrawPath();
  }
  update();
}

void QKAAOpenGLWaveView::sampleRateChanged() {
  for (const auto& slice : viewSlices_) {
    const float kept = QKAAWaveViewSlice::clampFrequency(slice->bqFreq(), slice->sampleRate());
    if (kept != slice->bqFreq()) slice->setBqFreq(kept);
  }
  prepareAllPaths();
}

void QKAAOpenGLWaveView::setNewPoints(std::vector<float> points) {
  pointsToDraw_ = std::move(points);
  update();
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap QKAAOpenGLWaveView::createSnapshot() const {
  QVariantList slices;
  for (const auto& slice : viewSlices_) slices.append(slice->createSnapshot());
  return {{kViewSlices, slices}, {kNumberOfSlices, qlonglong(viewSlices_.size())}};
}

// Bands are matched by name: a band kept keeps its data-source object (and
// its subscribers); the others are made or dropped.
void QKAAOpenGLWaveView::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant entries = snapshot.value(kViewSlices);
  if (entries.typeId() != QMetaType::QVariantList) return;
  select(nullptr);
  AudioAnalysisEngine::BandList next;
  for (const QVariant& entry : entries.toList()) {
    if (next.size() >= std::size_t(kMaxBands)) break;
    const QVariantMap map = entry.toMap();
    const QVariant nameValue = map.value(kFreqTextKey);
    const QString name = nameValue.toString();
    if (nameValue.typeId() != QMetaType::QString || name.isEmpty() || name.contains(u'/')) continue;
    if (std::any_of(next.begin(), next.end(), [&](const auto& s) { return s->freqText() == name; }))
      continue;
    std::shared_ptr<QKAAWaveViewSlice> slice = waveViewSliceForName(name);
    const bool made = !slice;
    if (made) slice = makeSlice(name, 400.0f, 0.5f);
    slice->loadSnapshot(map);
    next.push_back(slice);
    if (made) publish(slice);
  }
  for (const auto& slice : viewSlices_)
    if (std::find(next.begin(), next.end(), slice) == next.end()) unpublish(*slice);
  viewSlices_ = std::move(next);
  bandsChanged();
}

void QKAAOpenGLWaveView::prepareToBeDeleted() {
  deleted_ = true;
  for (const auto& slice : viewSlices_) unpublish(*slice);
}

// --- Mouse ---------------------------------------------------------------------------------

void QKAAOpenGLWaveView::mousePressEvent(QMouseEvent* event) {
  const QPointF point = event->position();
  for (const auto& slice : viewSlices_)
    if (slice->handleRect().contains(point)) {
      handleClicked_ = true;
      clickedBandwidth_ = slice->bqBandwidth();
      clickPt_ = point;
      if (!slice->selected()) select(slice.get());
      return;
    }
  handleClicked_ = false;
  select(nullptr);
}

// Sideways moves the centre to the pointer; upwards widens by 0.01 octave a
// point from the click.
void QKAAOpenGLWaveView::mouseMoveEvent(QMouseEvent* event) {
  if (!handleClicked_ || !selectedSlice_ || width() <= 0) return;
  const QPointF point = event->position();
  const float top = QKAAWaveViewSlice::clampFrequency(kMaxFreq, selectedSlice_->sampleRate());
  float frequency = kMinFreq * std::pow(kMaxFreq / kMinFreq, float(point.x() / width()));
  frequency = std::clamp(frequency, kMinFreq, top);
  const float bandwidth = QKAAWaveViewSlice::clampBandwidth(
      clickedBandwidth_ + 0.01f * float(clickPt_.y() - point.y()));
  selectedSlice_->setBqFreq(frequency);
  selectedSlice_->setBqBandwidth(bandwidth);
  selectedSlice_->setfillArea(biquadToRect(frequency, bandwidth));
  selectedSlice_->prepareDrawPath();
  static_cast<QKAAWaveSliceTableModel*>(tableModel_.get())->reload();
  update();
}

void QKAAOpenGLWaveView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  prepareAllPaths();
}

// --- Drawing -------------------------------------------------------------------------------

void QKAAOpenGLWaveView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(40, 40, 40));
  if (deleted_ || host_.windowCollapsed()) return;
  painter.setRenderHint(QPainter::Antialiasing);
  const QVariantMap dict = colors();
  const float w = float(width());
  const float h = float(height());
  const float bottom = h;
  const auto drawBand = [&](const QKAAWaveViewSlice& slice, bool selected) {
    painter.setBrush(color(dict, selected ? "selectedBandColor" : "bandColor", QColor(38, 38, 38)));
    slice.fillToPainter(painter, bottom);
    painter.setPen(QPen(
        color(dict, selected ? "selectedBandStrokeColor" : "bandStrokeColor", QColor(64, 64, 64)),
        1.0));
    slice.strokeToPainter(painter, bottom);
    const QRectF handle = slice.handleRect();
    painter.fillRect(handle, color(dict, selected ? "selectedCenterColColor" : "centerColColor",
                                   QColor(0, 0, 0, 100)));
    painter.setPen(QPen(
        color(dict, selected ? "selectedCenterLineColor" : "centerLineColor", QColor(0, 0, 0, 128)),
        1.0));
    const double centre = handle.center().x();
    painter.drawLine(QPointF(centre, bottom), QPointF(centre, 0));
  };
  for (const auto& slice : viewSlices_)
    if (!slice->selected()) drawBand(*slice, false);

  if (pointsToDraw_ && pointsToDraw_->size() > 1) {
    const std::vector<float>& s = *pointsToDraw_;
    const std::size_t n = s.size();
    QPainterPath path;
    path.moveTo(0, bottom);
    for (std::size_t i = 0; i < n; ++i)
      path.lineTo(double(i) / double(n - 1) * w,
                  (1.0 - std::clamp(double(s[i]), 0.0, 1.0)) * (bottom - 2));
    path.lineTo(w, bottom);
    path.closeSubpath();
    painter.fillPath(path, color(dict, "waveColor", QColor(8, 79, 248, 178)));
    painter.setPen(QPen(color(dict, "waveStrokeColor", QColor(58, 113, 248)), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  }
  if (selectedSlice_) drawBand(*selectedSlice_, true);

  const QVariantMap text = ThemeDict::map(dict, QStringLiteral("textAttribsDict"));
  QFont font(QStringLiteral("04b03"));
  font.setPointSizeF(8);
  painter.setFont(font);
  const QColor textColor = ThemeDict::color(text, QStringLiteral("NSColor"), Qt::white);
  const QColor peakColor = color(dict, "peakColor", QColor(158, 21, 22));
  const int m = int(viewSlices_.size());
  int k = 0;
  for (const auto& slice : viewSlices_) {
    ++k;
    const QRectF handle = slice->handleRect();
    painter.setPen(textColor);
    // Beside the handle, so the level bar never covers the name.
    painter.drawText(
        QPointF(std::round(handle.right() + 1), std::round(h * float(k) / float(m + 2))),
        slice->freqText());
    const float level = slice->normalizedPeak();
    painter.fillRect(QRectF(handle.x(), bottom * (1 - level), handle.width(), bottom * level),
                     peakColor);
    const float held = bottom * (1 - slice->recentPeak());
    painter.fillRect(QRectF(handle.x(), held - 2, handle.width(), 3), peakColor);
  }
}
