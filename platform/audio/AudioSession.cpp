#include "platform/audio/AudioSession.h"

#include "platform/foundation/Log.h"

#include <QByteArray>

#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <cstdlib>

namespace {

// PortAudio's JACK host API would hold a client of a running JACK server
// from initialisation to termination, and PortAudio can neither stop its
// streams nor terminate once that server dies. JACK is JackAudioBackend's:
// while PortAudio initialises, libjack is pointed at a server name none runs
// (and keeps quiet about not finding it).
class JackHiddenFromPortAudio {
 public:
  JackHiddenFromPortAudio() : error_(jack_error_callback), info_(jack_info_callback) {
    jack_set_error_function(silent);
    jack_set_info_function(silent);
    // "default" is what libjack takes when nothing is set; setting it keeps
    // the variable's slot, so the swaps below never reallocate the
    // environment under a thread reading it.
    ::setenv(kVariable, "default", 0);
    saved_ = ::getenv(kVariable);
    ::setenv(kVariable, "zaph-no-server-for-portaudio", 1);
  }
  ~JackHiddenFromPortAudio() {
    ::setenv(kVariable, saved_.constData(), 1);
    jack_set_error_function(error_);
    jack_set_info_function(info_);
  }

 private:
  static void silent(const char*) {}

  static constexpr const char* kVariable = "JACK_DEFAULT_SERVER";
  QByteArray saved_;
  void (*error_)(const char*);
  void (*info_)(const char*);
};

}  // namespace

AudioSession& AudioSession::shared() {
  static AudioSession* session = new AudioSession;  // lives as long as any stream
  return *session;
}

bool AudioSession::initialise() {
  std::lock_guard lock(mutex_);
  if (initialised_) return true;
  ::setenv("JACK_NO_START_SERVER", "1", 0);
  PaError error;
  {
    JackHiddenFromPortAudio hidden;
    error = Pa_Initialize();
  }
  initialised_ = error == paNoError;
  if (!initialised_)
    Log::line(QStringLiteral("\t\terr: no audio devices: %1")
                  .arg(QString::fromUtf8(Pa_GetErrorText(error))));
  return initialised_;
}

void AudioSession::addClient(Client* client) {
  std::lock_guard lock(mutex_);
  clients_.push_back(client);
}

void AudioSession::removeClient(Client* client) {
  std::lock_guard lock(mutex_);
  std::erase(clients_, client);
}

void AudioSession::reinitialise() {
  std::lock_guard lock(mutex_);
  const std::vector<Client*> clients = clients_;
  for (Client* client : clients) client->closeStreams();
  if (initialised_) Pa_Terminate();
  initialised_ = false;
  initialise();
  for (Client* client : clients) client->reopenStreams();
}
