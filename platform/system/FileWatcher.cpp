#include "platform/system/FileWatcher.h"

#include "platform/foundation/Log.h"

#include <QFile>

#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <vector>

namespace {
constexpr std::uint32_t kFolderChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kWatchMask =
    IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF | kFolderChanges;

std::uint32_t flagsOf(std::uint32_t mask) {
  std::uint32_t flags = 0;
  if (mask & (IN_MODIFY | kFolderChanges)) flags |= FileWatcher::kWrite;
  if (mask & IN_ATTRIB) flags |= FileWatcher::kAttrib;
  if (mask & IN_MOVE_SELF) flags |= FileWatcher::kRename;
  if (mask & IN_DELETE_SELF) flags |= FileWatcher::kDelete;
  return flags;
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
}  // namespace

// Shared by the watcher and its thread, so that a thread left to end by
// itself (stopped from its own callback) never touches a freed watcher.
struct FileWatcher::State {
  Callback callback;
  int inotifyFd = -1;
  int wakeFd = -1;
  std::atomic<bool> halt{false};
  std::thread::id threadId;

  std::mutex mutex;  // guards the maps, nextId and the descriptors' closing
  std::map<int, std::vector<int>> idsByDescriptor;
  std::map<int, int> descriptorById;
  int nextId = 1;

  void closeAll() {
    std::lock_guard<std::mutex> lock(mutex);
    if (inotifyFd >= 0) ::close(inotifyFd);
    if (wakeFd >= 0) ::close(wakeFd);
    inotifyFd = wakeFd = -1;
    idsByDescriptor.clear();
    descriptorById.clear();
  }
  ~State() { closeAll(); }

  // Reads the pending events and reports them, joined per watch.
  void readEvents();
};

void FileWatcher::State::readEvents() {
  alignas(inotify_event) char buffer[16384];
  const ssize_t length = ::read(inotifyFd, buffer, sizeof buffer);
  if (length <= 0) return;
  std::map<int, std::uint32_t> changes;
  std::vector<int> gone;
  for (ssize_t offset = 0; offset < length;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
    changes[event->wd] |= flagsOf(event->mask);
    if (event->mask & IN_IGNORED) gone.push_back(event->wd);
    offset += ssize_t(sizeof(inotify_event) + event->len);
  }
  std::vector<std::pair<int, std::uint32_t>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& [descriptor, flags] : changes)
      if (auto it = idsByDescriptor.find(descriptor); flags && it != idsByDescriptor.end())
        for (int id : it->second) calls.emplace_back(id, flags);
    for (int descriptor : gone) {
      for (int id : idsByDescriptor[descriptor]) descriptorById.erase(id);
      idsByDescriptor.erase(descriptor);
    }
  }
  for (const auto& [id, flags] : calls) {
    if (halt) return;
    callback(id, flags);
  }
}

void FileWatcher::threadProc(const std::shared_ptr<State>& state) {
  try {
    while (!state->halt) {
      pollfd fds[2] = {{state->inotifyFd, POLLIN, 0}, {state->wakeFd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        Log::line(
            QStringLiteral("\t\terr: file watcher stopped waiting: %1").arg(systemError(errno)));
        break;
      }
      if (state->halt) break;
      if (fds[0].revents & POLLIN) state->readEvents();
    }
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: caught exception in the file watcher: %1")
                  .arg(QString::fromUtf8(e.what())));
  } catch (...) {
    Log::line(QStringLiteral("\t\terr: caught exception in the file watcher"));
  }
}

FileWatcher::FileWatcher(Callback callback) : state_(std::make_shared<State>()) {
  state_->callback = std::move(callback);
  state_->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (state_->inotifyFd < 0) {
    startError_ = errno;
    return;
  }
  state_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (state_->wakeFd < 0) {
    startError_ = errno;
    state_->closeAll();
    return;
  }
  thread_ = std::thread([state = state_] { threadProc(state); });
  state_->threadId = thread_.get_id();
}

FileWatcher::~FileWatcher() { stop(); }

bool FileWatcher::isRunning() const { return thread_.joinable() && !state_->halt; }

int FileWatcher::addWatch(const QString& path, QString* error) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->inotifyFd < 0 || state_->halt) {
    if (error) *error = QStringLiteral("the watcher has stopped");
    return -1;
  }
  const int descriptor =
      ::inotify_add_watch(state_->inotifyFd, QFile::encodeName(path).constData(), kWatchMask);
  if (descriptor < 0) {
    if (error) *error = systemError(errno);
    return -1;
  }
  const int id = state_->nextId++;
  state_->idsByDescriptor[descriptor].push_back(id);
  state_->descriptorById[id] = descriptor;
  return id;
}

void FileWatcher::removeWatch(int watchId) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  const auto found = state_->descriptorById.find(watchId);
  if (found == state_->descriptorById.end()) return;
  const int descriptor = found->second;
  state_->descriptorById.erase(found);
  std::vector<int>& ids = state_->idsByDescriptor[descriptor];
  std::erase(ids, watchId);
  if (!ids.empty()) return;
  state_->idsByDescriptor.erase(descriptor);
  ::inotify_rm_watch(state_->inotifyFd, descriptor);
}

void FileWatcher::stop() {
  if (!thread_.joinable()) {
    state_->closeAll();
    return;
  }
  state_->halt = true;
  const std::uint64_t one = 1;
  if (::write(state_->wakeFd, &one, sizeof one) < 0)
    Log::line(
        QStringLiteral("\t\terr: could not wake the file watcher: %1").arg(systemError(errno)));
  if (std::this_thread::get_id() == state_->threadId) {
    thread_.detach();  // called from the callback: the thread ends after it
    return;
  }
  thread_.join();
  state_->closeAll();
}
