#pragma once

#include "platform/audio/AudioSession.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The sound of every playing movie, mixed into one stereo output at 48 kHz
// through PortAudio. Each movie writes into a stream of its own (a
// single-producer, single-consumer ring); the audio callback mixes what the
// rings hold and never waits: when the stream list is busy it plays silence
// for one buffer. Without a sound device the movies still play their
// pictures; their sound goes nowhere.
class MovieAudioMixer : private AudioSession::Client {
 public:
  static constexpr int kSampleRate = 48000;
  static constexpr int kChannels = 2;

  class Stream {
   public:
    explicit Stream(int capacityFrames);
    // Producer side.
    int freeFrames() const;
    int write(const float* interleaved, int frames);
    // Producer side: drops what is queued now (after a jump); what is
    // written afterwards stays.
    void clear() { clearedUpTo_.store(written_.load()); }
    int queuedFrames() const;
    std::atomic<float> gain{0.0f};

    // Consumer side (the mixer): adds up to `frames` frames into `out`.
    int mixInto(float* out, int frames);

   private:
    std::vector<float> ring_;
    int capacity_;
    std::atomic<int64_t> written_{0};
    std::atomic<int64_t> read_{0};
    std::atomic<int64_t> clearedUpTo_{0};
  };

  static MovieAudioMixer& shared();

  std::shared_ptr<Stream> addStream(double seconds = 0.5);
  void removeStream(const std::shared_ptr<Stream>& stream);

  // The mix of every stream (called by the audio callback; tests call it
  // directly). Never waits.
  void pull(float* out, int frames);
  // The most frames any stream holds now (tests wait on it before pulling).
  int queuedFrames();

  // Whether the sound device is used at all (tests switch it off before the
  // first stream: they pull the mix themselves).
  void setOutputEnabled(bool enabled) { outputEnabled_ = enabled; }
  bool outputRunning() const { return running_.load(); }
  // Whether anything takes the mix: the device, or (output off) whoever
  // pulls it. Without a listener a movie's sound is not decoded at all.
  bool hasListener() const { return running_.load() || !outputEnabled_.load(); }

 private:
  MovieAudioMixer() = default;
  ~MovieAudioMixer() override;
  void startOutput();
  // PortAudio is initialised again (devices came or went): the output
  // closes and, if it was ever started, opens anew on the default device.
  void closeStreams() override;
  void reopenStreams() override;

  std::mutex streamsMutex_;
  std::vector<std::shared_ptr<Stream>> streams_;
  std::atomic<bool> outputEnabled_{true};
  std::atomic<bool> running_{false};
  std::atomic<bool> tried_{false};
  // Guards paStream_; taken after the audio session's mutex.
  std::mutex outputMutex_;
  void* paStream_ = nullptr;
};
