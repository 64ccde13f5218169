#pragma once

#include <mutex>
#include <vector>

// PortAudio's one initialisation in the process, shared by the sound cards
// (PortAudioBackend) and the movies' sound (MovieAudioMixer). PortAudio never
// sees a JACK server: JACK is JackAudioBackend's.
// PortAudio sees devices plugged in since it started only once it is
// initialised again: `reinitialise` closes every client's streams,
// re-initialises and lets each client reopen its streams.
class AudioSession {
 public:
  // Whoever holds PortAudio streams.
  class Client {
   public:
    virtual ~Client() = default;
    virtual void closeStreams() = 0;
    virtual void reopenStreams() = 0;
  };

  static AudioSession& shared();

  // Initialises PortAudio on first use; answers whether it is usable.
  bool initialise();
  void addClient(Client* client);
  void removeClient(Client* client);
  // Main thread: streams closed, PortAudio terminated and initialised anew,
  // streams reopened.
  void reinitialise();
  // Held around PortAudio calls that must not meet a re-initialisation
  // (never by an audio callback).
  std::recursive_mutex& mutex() { return mutex_; }

 private:
  AudioSession() = default;

  std::recursive_mutex mutex_;
  bool initialised_ = false;
  std::vector<Client*> clients_;
};
