#include "platform/foundation/AtomicFile.h"

#include "platform/foundation/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Temporary files are ".<name>.zaph-tmp-XXXXXX"; earlier versions wrote
// ".<name>.XXXXXX" (recognised for the file being written only).
constexpr char kTemporaryMark[] = ".zaph-tmp-";
// Each attempt is a new name, so a clean-up taking the file between its
// creation and its lock (side-by-side writes in one folder) seldom repeats.
constexpr int kCreateAttempts = 16;

QString reason(const char* what, int error) {
  return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                      QString::fromLocal8Bit(std::strerror(error)));
}

bool writeAll(int fd, const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= n;
  }
  return true;
}

// The file the bytes must end up in: the target of a symbolic link, so that
// the link is kept.
QString resolvedTarget(const QString& path) {
  const QFileInfo info(path);
  if (!info.isSymLink()) return info.absoluteFilePath();
  return QFileInfo(info.symLinkTarget()).absoluteFilePath();
}

mode_t modeFor(const QByteArray& target) {
  struct stat st = {};
  if (::stat(target.constData(), &st) == 0) return st.st_mode & 07777;
  return 0644;
}

bool sameFile(int fd, const QByteArray& path) {
  struct stat open = {}, named = {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Removes `path` if it is a regular file of ours that no write holds: a
// write keeps its temporary file locked until the file is in place, so a
// temporary nobody locks was left by a write that was killed.
bool removeIfStale(const QByteArray& path) {
  const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st = {};
  bool removed = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, path))
    removed = ::unlink(path.constData()) == 0;
  ::close(fd);
  return removed;
}

bool isStaleCandidate(const QString& entry, const QString& targetName) {
  static const QRegularExpression ours(QStringLiteral("^\\..+\\.zaph-tmp-[A-Za-z0-9]{6}$"));
  static const QRegularExpression earlier(QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{6}$"));
  if (ours.match(entry).hasMatch()) return true;
  const QRegularExpressionMatch match = earlier.match(entry);
  return match.hasMatch() && match.captured(1) == targetName;
}

// Temporary files that killed writes left in `folder`.
void removeStaleTemporaries(const QByteArray& folder, const QString& targetName) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') continue;
    const QString name = QFile::decodeName(entry->d_name);
    if (!isStaleCandidate(name, targetName)) continue;
    const QByteArray path = folder + '/' + entry->d_name;
    if (removeIfStale(path))
      Log::line(QStringLiteral("\t\tremoved %1, left by an interrupted write")
                    .arg(QFile::decodeName(path)));
  }
  ::closedir(dir);
}

// A new temporary file beside the target, locked for as long as the write
// lasts. Answers its descriptor, or -1 with errno set.
int createTemporary(QByteArray* temporary, const QByteArray& pattern) {
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    *temporary = pattern;
    const int fd = ::mkostemp(temporary->data(), O_CLOEXEC);
    if (fd < 0) return -1;
    // Another write's clean-up may have taken it between the two calls.
    if (::flock(fd, LOCK_EX) == 0 && sameFile(fd, *temporary)) return fd;
    ::close(fd);
  }
  errno = EBUSY;
  return -1;
}

void syncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

QString AtomicFile::write(const QString& path, const QByteArray& bytes) {
  const QString target = resolvedTarget(path);
  const QFileInfo targetInfo(target);
  if (targetInfo.isDir()) return QStringLiteral("%1: is a folder").arg(path);
  const QByteArray folder = QFile::encodeName(targetInfo.absolutePath());
  const QByteArray targetName = QFile::encodeName(target);
  removeStaleTemporaries(folder, targetInfo.fileName());

  QByteArray temporary;
  const int fd =
      createTemporary(&temporary, folder + "/." + QFile::encodeName(targetInfo.fileName()) +
                                      kTemporaryMark + "XXXXXX");
  if (fd < 0) return path + QStringLiteral(": ") + reason("cannot create a temporary file", errno);

  const char* failed = nullptr;
  if (::fchmod(fd, modeFor(targetName)) != 0) {
    failed = "cannot set the file mode";
  } else if (!writeAll(fd, bytes)) {
    failed = "cannot write";
  } else if (::fsync(fd) != 0) {
    failed = "cannot flush to disk";
  } else if (::rename(temporary.constData(), targetName.constData()) != 0) {
    // Renamed while still open and locked, so no clean-up takes it first.
    failed = "cannot replace the file";
  }
  const int error = errno;
  if (failed) ::unlink(temporary.constData());
  ::close(fd);  // after fsync, closing cannot lose the bytes
  if (failed) return path + QStringLiteral(": ") + reason(failed, error);
  syncFolder(folder);
  return {};
}
