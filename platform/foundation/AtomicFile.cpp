#include "platform/foundation/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
  QByteArray temporary = folder + "/." + QFile::encodeName(targetInfo.fileName()) + ".XXXXXX";

  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return path + QStringLiteral(": ") + reason("cannot create a temporary file", errno);

  const char* failed = nullptr;
  int error = 0;
  if (::fchmod(fd, modeFor(targetName)) != 0) {
    failed = "cannot set the file mode";
  } else if (!writeAll(fd, bytes)) {
    failed = "cannot write";
  } else if (::fsync(fd) != 0) {
    failed = "cannot flush to disk";
  }
  if (failed) error = errno;
  if (::close(fd) != 0 && !failed) {
    failed = "cannot close";
    error = errno;
  }
  if (!failed && ::rename(temporary.constData(), targetName.constData()) != 0) {
    failed = "cannot replace the file";
    error = errno;
  }
  if (failed) {
    ::unlink(temporary.constData());
    return path + QStringLiteral(": ") + reason(failed, error);
  }
  syncFolder(folder);
  return {};
}
