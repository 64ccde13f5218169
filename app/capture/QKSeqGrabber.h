#pragma once

#include "app/capture/CaptureDestinations.h"
#include "platform/capture/CaptureSettings.h"
#include "platform/gl/DisplayLink.h"

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class CaptureInput;
class QKSGController;
class QKSGVideoChannel;

// One live input: a capture source (`CaptureInput`) and its video channel,
// which publishes the pictures as the tap "VidIn n". It keeps the rows of
// the capture window ("Quarter-size input", "Record this?", "Add recorded
// files here:") and records into a new movie each time it starts while the
// controller records.
//
// Main thread: set-up, preview, stop, settings and snapshots, all under the
// component lock. Render thread: `render`, which only tries that lock.
// An input whose source cannot be opened stays listed and stopped, its
// settings kept as they were stored.
class QKSeqGrabber : public std::enable_shared_from_this<QKSeqGrabber> {
 public:
  static const QString kNoChannelAlert;  // "Couldn't create a video channel- …"

  // A new input on the first free device (or `settings`), its tap named
  // with the first free "VidIn n"; null after the alert when the device
  // cannot be opened. Not started: the controller's start-all starts it.
  static std::shared_ptr<QKSeqGrabber> createGrabberWithController(
      QKSGController& controller, std::optional<CaptureSettings> settings = std::nullopt);
  // An input without a source or channel, for a restore.
  static std::shared_ptr<QKSeqGrabber> createEmptyGrabberWithController(QKSGController& controller);

  explicit QKSeqGrabber(QKSGController& controller);
  ~QKSeqGrabber();
  QKSeqGrabber(const QKSeqGrabber&) = delete;
  QKSeqGrabber& operator=(const QKSeqGrabber&) = delete;

  // "VidIn n" with the smallest n no source tap has.
  static QString getUniqueInputName(const QStringList& tapNames);

  // Starts the input (recording into a new file when the controller
  // records and the input's flag is set).
  void preview();
  // Stops it and announces a finished recording.
  void stop();
  // Render thread: uploads and publishes the newest picture.
  void render(const gl::DisplayLink::Frame& frame);
  void prepareToBeDeleted();

  bool running() const { return running_.load(); }
  bool hasChannel() const { return channel_ != nullptr; }
  QKSGVideoChannel* videoChannel() const { return channel_.get(); }
  QString tapName() const;
  // Whether the source is open (false: listed but offline).
  bool online() const;
  CaptureSettings settings() const;
  // Main thread: another source; restarts the input when it ran. False
  // (logged, alerted) when it cannot be opened; the input keeps its source.
  bool changeSettings(const CaptureSettings& settings);
  // Re-applies the output size after a quarter-size change (not started).
  void applyOutputSize();

  bool recordFlag() const { return recordFlag_.load(); }
  void setRecordFlag(bool flag) { recordFlag_.store(flag); }
  CaptureDestinations::Destination destination() const;
  void setAutoAddTagVal(int tag);
  void setAutoAddBinName(const QString& name);
  QString recordedFilePath() const;

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

  // Tests: the input's source, null while offline.
  CaptureInput* captureInput() const { return input_.get(); }
  std::recursive_mutex& componentLock() { return componentLock_; }

 private:
  friend class QKSGVideoChannel;
  bool openSource(const CaptureSettings& settings, QString* error);
  QString prepForRecording();
  void prepForStop(const QString& recordError, int64_t frames);
  void sourceFailed(const QString& reason);
  void makeChannel(const QString& tapName);

  QKSGController& controller_;
  mutable std::recursive_mutex componentLock_;
  // Under componentLock_ (the render thread only tries it):
  std::unique_ptr<CaptureInput> input_;
  CaptureSettings settings_;
  std::optional<QVariant> storedSettings_;  // kept as stored while offline
  std::unique_ptr<QKSGVideoChannel> channel_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> recordFlag_{true};
  // Main thread:
  QString recordedFilePath_;
  CaptureDestinations::Destination destination_;
};
