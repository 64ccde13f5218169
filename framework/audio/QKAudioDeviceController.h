#pragma once

#include "platform/audio/AudioBackend.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class QKAudioPlugin;

// One audio device: its facts read once, an interleaved float buffer for
// its inputs and one for its outputs (channels numbered across streams in
// stream order), and the plug-ins subscribed to either side. The device
// runs while any client is subscribed; each cycle gathers the inputs into
// the interleaved buffer, calls the input clients, calls the output clients
// (which add into the output buffer), spreads the output into the device's
// streams and clears it.
//
// Threads: the cycle runs on the backend's IO thread; it only tries
// `callbackLock_` and, when that is busy, writes silence and skips the
// cycle. It allocates nothing: client lists change only under the lock and
// are walked as they stand. Everything else runs on the main thread and
// takes the lock. Lock order: a device being subscribed to, then the
// device the plug-in leaves.
class QKAudioDeviceController {
 public:
  static const QString kUnnamedDevice;  // "Unnamed audio device"

  QKAudioDeviceController(AudioBackend& backend, std::uint32_t deviceID);
  ~QKAudioDeviceController();
  QKAudioDeviceController(const QKAudioDeviceController&) = delete;
  QKAudioDeviceController& operator=(const QKAudioDeviceController&) = delete;

  // --- Clients (nothing once retired) ---
  void subscribeObject(QKAudioPlugin* plugin, bool isInput = true);
  void unsubscribeObject(QKAudioPlugin* plugin, bool isInput = true);
  // Drops the plug-in from both lists without touching it.
  void deleteObject(QKAudioPlugin* plugin);

  // --- Retirement ---
  // Quit: every client detached, the device stopped.
  void prepareToQuit();
  // The device is gone: as at quit, and the buffers freed.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  // --- Facts ---
  std::uint32_t deviceID() const { return deviceID_; }
  QString deviceName() const { return deviceName_; }
  double deviceSampleRate() const { return deviceSampleRate_; }
  int inputChannelCount() const { return inputChannelCount_; }
  int outputChannelCount() const { return outputChannelCount_; }
  const std::vector<int>& inputBuffersArray() const { return inputBuffersArray_; }
  const std::vector<int>& outputBuffersArray() const { return outputBuffersArray_; }
  std::uint32_t deviceBufferSize() const { return deviceBufferSize_; }
  std::uint32_t outputBufferSize() const { return outputBufferSize_; }
  std::uint32_t inputFrameCount() const { return inputFrameCount_; }
  std::uint32_t outputFrameCount() const { return outputFrameCount_; }
  bool isRunning() const { return isRunning_.load(); }
  int inputClientCount() const;
  int outputClientCount() const;

  // The IO cycle (the backend's IO function; tests call it too).
  void ioCycle(const AudioStreamBuffer* inputs, int inputCount, AudioStreamBuffer* outputs,
               int outputCount, double now);

 private:
  static void audioIOProc(void* client, const AudioStreamBuffer* inputs, int inputCount,
                          AudioStreamBuffer* outputs, int outputCount, double now);
  // Caller holds callbackLock_.
  void setIsRunningLocked(bool run);
  void recomputeFlagsLocked();
  void detachAllLocked();
  void removeFromSideLocked(QKAudioPlugin* plugin, bool isInput);
  static void writeSilence(AudioStreamBuffer* outputs, int outputCount);

  AudioBackend& backend_;
  const std::uint32_t deviceID_;
  QString deviceName_;
  double deviceSampleRate_ = 0;
  int inputChannelCount_ = 0;
  int outputChannelCount_ = 0;
  std::vector<int> inputBuffersArray_;
  std::vector<int> outputBuffersArray_;
  std::uint32_t deviceBufferSize_ = 0;
  std::uint32_t outputBufferSize_ = 0;
  std::uint32_t inputFrameCount_ = 0;
  std::uint32_t outputFrameCount_ = 0;

  std::mutex callbackLock_;
  // Guarded by callbackLock_.
  std::vector<QKAudioPlugin*> inputsArray_;
  std::vector<QKAudioPlugin*> outputsArray_;
  std::vector<float> fakeInputBuffer_;
  std::vector<float> fakeOutputBuffer_;
  std::atomic<bool> isRunning_{false};
  std::atomic<bool> inputsRunning_{false};
  std::atomic<bool> outputsRunning_{false};
  std::atomic<bool> deleted_{false};
};
