#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include <sys/types.h>

// JACK's machine-wide list of running servers: a shared-memory segment with
// eight places, guarded by a System V semaphore. A server removes its entry
// when it stops; one killed before that leaves the entry behind, and JACK
// takes an entry back only when a server of the same name starts again.
// Test servers have a new name every time, so their dead entries pile up
// until no server can start ("Too many servers already active").
class JackRegistry {
 public:
  struct Entry {
    pid_t pid = 0;
    QString server;  // the server's name, as given to `jackd -n`
    bool running = false;
  };

  static constexpr int kPlaces = 8;

  // The registry of the machine's JACK servers, or (for tests) a file laid
  // out like it; a negative key takes no semaphore.
  explicit JackRegistry(QString path = QStringLiteral("/dev/shm/jack-shm-registry"),
                        int semaphoreKey = 0x282929);

  // The places in use. Empty when there is no registry, or one laid out in
  // a way this class does not know.
  std::vector<Entry> entries() const;
  // Clears the places of servers whose name starts with `prefix` and whose
  // process is gone; answers their names.
  QStringList removeStale(const QString& prefix);
  bool full() const;
  // Which servers hold the places, for an error message.
  QString describe() const;
  QString path() const { return path_; }

 private:
  class Mapping;

  QString path_;
  int semaphoreKey_;
};
