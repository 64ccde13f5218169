#pragma once

#include "framework/toolkit/QKPlugin.h"
#include "platform/audio/AudioBackend.h"

#include <atomic>
#include <cstdint>

class QKAudioDeviceController;
class QKAudioDeviceThreadController;

// A plug-in that takes or gives audio: the device it listens to
// (`audioSource`), the device it plays to (`audioDest`) and its per-cycle
// functions, which the devices' IO threads call with their interleaved
// buffers. An output function adds into the output buffer.
//
// Source and destination are read on the IO threads (atomics); everything
// else is main thread only.
class QKAudioPlugin : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kNewAudioPluginNotification;  // "QKNewAudioPluginNotification"

  // Device ID, now, interleaved input, interleaved output, the plug-in; 0
  // for success. Absent buffers are null.
  using CycleFunction = std::int32_t (*)(std::uint32_t device, double now,
                                         const AudioStreamBuffer* input, AudioStreamBuffer* output,
                                         QKAudioPlugin* plugin);

  QKAudioPlugin(const QString& name, const QString& windowTitle, std::int32_t uniqueID);
  ~QKAudioPlugin() override;

  // Announces the plug-in to the registry; without one it makes its own.
  void awakeFromNib() override;
  // Leaves both devices' client lists, so that no cycle calls it again.
  void prepareToBeDeleted() override;

  QKAudioDeviceController* audioSource() const { return audioSource_.load(); }
  QKAudioDeviceController* audioDest() const { return audioDest_.load(); }
  // The devices call these when they attach or detach the plug-in.
  virtual void setAudioSource(QKAudioDeviceController* device) { audioSource_.store(device); }
  virtual void setAudioDest(QKAudioDeviceController* device) { audioDest_.store(device); }

  QKAudioDeviceThreadController* audioDeviceThreadController() const { return registry_; }
  void setAudioDeviceThreadController(QKAudioDeviceThreadController* registry) {
    registry_ = registry;
  }

  void setInputCallback(CycleFunction function) { inputCallback_.store(function); }
  void setOutputCallback(CycleFunction function) { outputCallback_.store(function); }
  // The per-cycle dispatch: the callback's result, or 0 without one.
  std::int32_t audioPluginInputIOProc(std::uint32_t device, double now,
                                      const AudioStreamBuffer* input, AudioStreamBuffer* output);
  std::int32_t audioPluginOutputIOProc(std::uint32_t device, double now,
                                       const AudioStreamBuffer* input, AudioStreamBuffer* output);

 private:
  QKAudioDeviceThreadController* registry_ = nullptr;
  std::unique_ptr<QKAudioDeviceThreadController> ownRegistry_;
  std::atomic<QKAudioDeviceController*> audioSource_{nullptr};
  std::atomic<QKAudioDeviceController*> audioDest_{nullptr};
  std::atomic<CycleFunction> inputCallback_{nullptr};
  std::atomic<CycleFunction> outputCallback_{nullptr};
};
