#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

// Tells when a watched file or folder changes (inotify). Each addWatch is
// its own registration with its own ID, even for a path already watched, and
// a change is reported once per registration. A watch follows the file it
// found, through renames, until the file is deleted.
//
// The flags are kqueue's vnode bits: kDelete when the file is deleted,
// kWrite when it is written (for a folder: when an entry is added, removed
// or renamed), kAttrib when its attributes change (permissions, owner, times,
// links), kRename when it is renamed or moved. Changes read in one pass are
// joined per file.
//
// The watch thread waits in poll() and calls the callback on itself, with
// no lock held; `stop` wakes it at once, joins it (or, called from the
// callback, lets it end by itself) and closes every descriptor. A stop
// from another thread waits for a callback under way, so never stop while
// holding something the callback waits for. The destructor stops.
class FileWatcher {
 public:
  static constexpr std::uint32_t kDelete = 0x1;
  static constexpr std::uint32_t kWrite = 0x2;
  static constexpr std::uint32_t kAttrib = 0x8;
  static constexpr std::uint32_t kRename = 0x20;

  using Callback = std::function<void(int watchId, std::uint32_t flags)>;

  // Starts the watch thread; check `isRunning` (and `error`).
  explicit FileWatcher(Callback callback);
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  bool isRunning() const;
  // The system's errno when the watcher could not start, else 0.
  int startError() const { return startError_; }

  // A new registration for `path`; -1 with `error` set when the path cannot
  // be watched (or the watcher has stopped).
  int addWatch(const QString& path, QString* error = nullptr);
  // Ends one registration; unknown IDs are ignored.
  void removeWatch(int watchId);
  void stop();

 private:
  struct State;
  static void threadProc(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  std::thread thread_;
  int startError_ = 0;
};
