#pragma once

#include "app/plugins/audioanalysis/AudioAnalysisEngine.h"

#include <QVariantMap>
#include <QWidget>

#include <memory>
#include <optional>
#include <set>
#include <vector>

class QKAAWaveViewHost;
class QKAAWaveViewSlice;
class QAbstractTableModel;

// The spectrum and the analysis bands of the audio analysis plug-in, on a
// logarithmic axis from 40 Hz to 20 kHz, drawn with QPainter. The view owns
// the band list (at most 32; each band publishes one float data source at
// [instance name, band name]) and hands every new list whole to the engine.
// Bands are added and deleted with the plug-in's buttons, selected by their
// handle, moved sideways and widened upwards by dragging, and edited in the
// band table (`tableModel`). Main thread only.
class QKAAOpenGLWaveView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxBands = 32;
  static constexpr float kMinFreq = 40.0f;
  static constexpr float kMaxFreq = 20000.0f;
  enum Column { kFreqText, kBqFreq, kBqBandwidth, kSmoothingFactor, kColumnCount };

  explicit QKAAOpenGLWaveView(QKAAWaveViewHost& host, QWidget* parent = nullptr);
  ~QKAAOpenGLWaveView() override;

  // The four default bands (band-0 … band-3) and their sources.
  void awakeFromNib();
  void prepareToBeDeleted();

  const AudioAnalysisEngine::BandList& viewSlices() const { return viewSlices_; }
  QKAAWaveViewSlice* selectedSlice() const { return selectedSlice_; }
  std::shared_ptr<QKAAWaveViewSlice> waveViewSliceForName(const QString& name) const;
  long nextAvailableBandIndex() const;

  // Answers whether a band was added (the 33rd is refused, logged).
  bool createWaveViewSlice();
  // Deletes the bands at these rows.
  void deleteWaveViewSlices(const std::set<int>& rows);
  // The rows selected in the band table.
  void deleteSelectedWaveViewSlice(const std::set<int>& selectedRows) {
    deleteWaveViewSlices(selectedRows);
  }

  // Table access by column. An edit is refused (false) when the value does
  // not fit: a name empty, holding "/" or already used; a number that is
  // not one. Frequencies and bandwidths are clamped.
  int numberOfRows() const { return int(viewSlices_.size()); }
  QVariant objectValue(int column, int row) const;
  bool setObjectValue(const QVariant& value, int column, int row);
  QAbstractTableModel* tableModel() const { return tableModel_.get(); }

  // A spectrum from the preview timer (values 0..1, one per preview band).
  void setNewPoints(std::vector<float> points);
  const std::optional<std::vector<float>>& pointsToDraw() const { return pointsToDraw_; }

  // The frequency axis.
  float normalised(float frequency) const;
  QRectF biquadToRect(float frequency, float bandwidth) const;
  void prepareAllPaths();
  // The input's sample rate changed: frequencies are kept within it.
  void sampleRateChanged();

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  std::shared_ptr<QKAAWaveViewSlice> makeSlice(const QString& name, float frequency,
                                               float bandwidth);
  void publish(const std::shared_ptr<QKAAWaveViewSlice>& slice);
  void unpublish(const QKAAWaveViewSlice& slice);
  void bandsChanged();
  void select(QKAAWaveViewSlice* slice);
  bool nameIsFree(const QString& name, const QKAAWaveViewSlice* except) const;

  QKAAWaveViewHost& host_;
  AudioAnalysisEngine::BandList viewSlices_;
  QKAAWaveViewSlice* selectedSlice_ = nullptr;
  std::optional<std::vector<float>> pointsToDraw_;
  bool deleted_ = false;
  bool handleClicked_ = false;
  QPointF clickPt_;
  float clickedBandwidth_ = 0;
  std::unique_ptr<QAbstractTableModel> tableModel_;
};
