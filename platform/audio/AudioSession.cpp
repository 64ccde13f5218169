#include "platform/audio/AudioSession.h"

#include "platform/foundation/Log.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdlib>

AudioSession& AudioSession::shared() {
  static AudioSession* session = new AudioSession;  // lives as long as any stream
  return *session;
}

bool AudioSession::initialise() {
  std::lock_guard lock(mutex_);
  if (initialised_) return true;
  ::setenv("JACK_NO_START_SERVER", "1", 0);
  const PaError error = Pa_Initialize();
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
