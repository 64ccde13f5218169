#include "platform/movie/MovieByteSource.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kIOBufferSize = 64 * 1024;

struct Cursor {
  std::shared_ptr<MovieByteSource> source;
  int64_t position = 0;
  bool recording = true;
  MovieByteSource::Spans reads;
};

int readPacket(void* opaque, uint8_t* buffer, int size) {
  auto* cursor = static_cast<Cursor*>(opaque);
  const int got = cursor->source->read(cursor->position, buffer, size);
  if (got < 0) return AVERROR(-got);
  if (got == 0) return AVERROR_EOF;
  if (cursor->recording) cursor->reads.emplace_back(cursor->position, got);
  cursor->position += got;
  return got;
}

int64_t seek(void* opaque, int64_t offset, int whence) {
  auto* cursor = static_cast<Cursor*>(opaque);
  const int64_t size = cursor->source->size();
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return size;
    case SEEK_SET:
      break;
    case SEEK_CUR:
      offset += cursor->position;
      break;
    case SEEK_END:
      offset += size;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  cursor->position = offset;
  return offset;
}
}  // namespace

std::shared_ptr<MovieByteSource> MovieByteSource::forFile(const QString& path, QString* error) {
  const QByteArray local = path.toLocal8Bit();
  const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (error)
      *error = e == ENOENT ? QStringLiteral("the file does not exist.")
                           : QStringLiteral("the file cannot be read (%1).")
                                 .arg(QString::fromLocal8Bit(std::strerror(e)));
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (error) *error = QStringLiteral("the path is not a regular file.");
    return nullptr;
  }
  if (st.st_size == 0) {
    ::close(fd);
    if (error) *error = QStringLiteral("the file is empty.");
    return nullptr;
  }
  std::shared_ptr<MovieByteSource> source(new MovieByteSource);
  source->path_ = path;
  source->fd_ = fd;
  source->size_ = st.st_size;
  return source;
}

std::shared_ptr<MovieByteSource> MovieByteSource::forData(const QByteArray& bytes, QString* error) {
  if (bytes.isEmpty()) {
    if (error) *error = QStringLiteral("the data is empty.");
    return nullptr;
  }
  std::shared_ptr<MovieByteSource> source(new MovieByteSource);
  source->data_ = bytes;
  source->size_ = bytes.size();
  return source;
}

MovieByteSource::~MovieByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

int MovieByteSource::read(int64_t offset, uint8_t* buffer, int length) {
  if (offset >= size_ || length <= 0) return 0;
  length = int(std::min<int64_t>(length, size_ - offset));
  if (fd_ < 0) {
    std::memcpy(buffer, data_.constData() + offset, size_t(length));
    return length;
  }
  int got = 0;
  if (readPinned(offset, buffer, length, &got)) return got;
  const ssize_t n = ::pread(fd_, buffer, size_t(got), offset);
  if (n < 0) return -errno;
  fileBytesRead_ += n;
  return int(n);
}

bool MovieByteSource::readPinned(int64_t offset, uint8_t* buffer, int length, int* got) {
  std::lock_guard<std::mutex> lock(pinMutex_);
  auto it = pinned_.upper_bound(offset);
  // A read from the file stops where the next pinned span begins.
  if (it != pinned_.end()) *got = int(std::min<int64_t>(length, it->first - offset));
  else
    *got = length;
  if (it == pinned_.begin()) return false;
  --it;
  const int64_t end = it->first + it->second.size();
  if (offset >= end) return false;
  *got = int(std::min<int64_t>(length, end - offset));
  std::memcpy(buffer, it->second.constData() + (offset - it->first), size_t(*got));
  return true;
}

bool MovieByteSource::pin(int64_t offset, int64_t length) {
  if (fd_ < 0) return true;  // already all in memory
  offset = std::clamp<int64_t>(offset, 0, size_);
  int64_t end = std::clamp<int64_t>(offset + std::max<int64_t>(length, 0), 0, size_);
  if (end <= offset) return true;
  // Merge with the spans it touches; read only what is missing.
  std::unique_lock<std::mutex> lock(pinMutex_);
  int64_t start = offset;
  auto first = pinned_.upper_bound(start);
  if (first != pinned_.begin() && std::prev(first)->first + std::prev(first)->second.size() >= start)
    --first;
  auto last = first;
  while (last != pinned_.end() && last->first <= end) ++last;
  if (first != last) {
    start = std::min(start, first->first);
    const auto back = std::prev(last);
    end = std::max<int64_t>(end, back->first + back->second.size());
  }
  std::map<int64_t, QByteArray> old(std::make_move_iterator(first), std::make_move_iterator(last));
  pinned_.erase(first, last);
  lock.unlock();

  QByteArray bytes(end - start, Qt::Uninitialized);
  bool ok = true;
  for (int64_t pos = start; pos < end && ok;) {
    auto it = old.upper_bound(pos);
    if (it != old.begin() && std::prev(it)->first + std::prev(it)->second.size() > pos) {
      const auto& [spanStart, span] = *std::prev(it);
      const int64_t n = spanStart + span.size() - pos;
      std::memcpy(bytes.data() + (pos - start), span.constData() + (pos - spanStart), size_t(n));
      pos += n;
      continue;
    }
    const int64_t stop = it == old.end() ? end : std::min(end, it->first);
    const ssize_t n = ::pread(fd_, bytes.data() + (pos - start), size_t(stop - pos), pos);
    if (n <= 0) ok = false;
    else {
      fileBytesRead_ += n;
      pos += n;
    }
  }
  lock.lock();
  if (ok) pinned_[start] = std::move(bytes);
  else
    for (auto& span : old) pinned_.insert(std::move(span));
  return ok;
}

void MovieByteSource::unpin(int64_t offset, int64_t length) {
  const int64_t end = offset + std::max<int64_t>(length, 0);
  std::lock_guard<std::mutex> lock(pinMutex_);
  std::map<int64_t, QByteArray> kept;
  for (auto& [start, bytes] : pinned_) {
    const int64_t spanEnd = start + bytes.size();
    if (spanEnd <= offset || start >= end) {
      kept.emplace(start, std::move(bytes));
      continue;
    }
    if (start < offset) kept.emplace(start, bytes.left(offset - start));
    if (spanEnd > end) kept.emplace(end, bytes.mid(end - start));
  }
  pinned_ = std::move(kept);
}

int64_t MovieByteSource::pinnedBytes() const {
  std::lock_guard<std::mutex> lock(pinMutex_);
  int64_t total = 0;
  for (const auto& span : pinned_) total += span.second.size();
  return total;
}

AVIOContext* MovieByteSource::createAVIO() {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIOBufferSize));
  if (!buffer) return nullptr;
  auto* cursor = new Cursor{shared_from_this(), 0, true, {}};
  AVIOContext* io = avio_alloc_context(buffer, kIOBufferSize, 0, cursor, readPacket, nullptr, seek);
  if (!io) {
    av_free(buffer);
    delete cursor;
  }
  return io;
}

void MovieByteSource::freeAVIO(AVIOContext* io) {
  if (!io) return;
  delete static_cast<Cursor*>(io->opaque);
  av_freep(&io->buffer);
  avio_context_free(&io);
}

MovieByteSource::Spans MovieByteSource::stopRecording(AVIOContext* io) {
  if (!io) return {};
  auto* cursor = static_cast<Cursor*>(io->opaque);
  cursor->recording = false;
  return std::move(cursor->reads);
}
