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

MovieByteSource::Spans MovieByteSource::unpinnedIn(int64_t start, int64_t end) const {
  Spans gaps;
  std::lock_guard<std::mutex> lock(pinMutex_);
  auto it = pinned_.upper_bound(start);
  if (it != pinned_.begin()) --it;
  int64_t at = start;
  for (; it != pinned_.end() && it->first < end; ++it) {
    const int64_t pieceEnd = it->first + it->second.size();
    if (pieceEnd <= at) continue;
    if (it->first > at) gaps.emplace_back(at, it->first - at);
    at = pieceEnd;
  }
  if (at < end) gaps.emplace_back(at, end - at);
  return gaps;
}

bool MovieByteSource::readFile(int64_t offset, char* buffer, int64_t length) {
  while (length > 0) {
    const ssize_t n = ::pread(fd_, buffer, size_t(length), offset);
    if (n <= 0) return false;
    fileBytesRead_ += n;
    offset += n;
    buffer += n;
    length -= n;
  }
  return true;
}

bool MovieByteSource::pin(int64_t offset, int64_t length) {
  if (fd_ < 0) return true;  // already all in memory
  offset = std::clamp<int64_t>(offset, 0, size_);
  const int64_t end = std::clamp<int64_t>(offset + std::max<int64_t>(length, 0), 0, size_);
  if (end <= offset) return true;
  // Only what is missing is read, in pieces of its own beside those already
  // held: what is kept is neither read nor copied again. Pieces join the
  // map only once all are read, so a failed read leaves it as it was.
  std::lock_guard<std::mutex> changing(changeMutex_);
  std::map<int64_t, QByteArray> pieces;
  for (const auto& [gap, gapLength] : unpinnedIn(offset, end)) {
    for (int64_t at = gap; at < gap + gapLength; at += kPieceBytes) {
      QByteArray bytes(std::min(kPieceBytes, gap + gapLength - at), Qt::Uninitialized);
      if (!readFile(at, bytes.data(), bytes.size())) return false;
      pieces.emplace(at, std::move(bytes));
    }
  }
  std::lock_guard<std::mutex> lock(pinMutex_);
  pinned_.merge(pieces);
  return true;
}

void MovieByteSource::unpin(int64_t offset, int64_t length) {
  const int64_t end = offset + std::max<int64_t>(length, 0);
  std::lock_guard<std::mutex> changing(changeMutex_);
  // Worked out while readers go on (only this thread changes the map); the
  // pieces cut at either end keep a copy of their rest.
  std::vector<std::map<int64_t, QByteArray>::iterator> gone;
  std::map<int64_t, QByteArray> rests;
  auto it = pinned_.upper_bound(offset);
  if (it != pinned_.begin()) --it;
  for (; it != pinned_.end() && it->first < end; ++it) {
    const int64_t pieceEnd = it->first + it->second.size();
    if (pieceEnd <= offset) continue;
    gone.push_back(it);
    if (it->first < offset) rests.emplace(it->first, it->second.left(offset - it->first));
    if (pieceEnd > end) rests.emplace(end, it->second.mid(end - it->first));
  }
  std::vector<QByteArray> freed;  // freed after the lock is let go
  std::lock_guard<std::mutex> lock(pinMutex_);
  for (auto piece : gone) {
    freed.push_back(std::move(piece->second));
    pinned_.erase(piece);
  }
  pinned_.merge(rests);
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
