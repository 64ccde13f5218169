#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct AVIOContext;

// The bytes of one movie: a file read with pread, or a block of memory.
// Spans of a file can be pinned in memory (RAM loading); reads inside a
// pinned span never touch the file. Several demuxers (playback, frame
// images, audio) read one source at once, each through its own AVIO context
// with its own position.
class MovieByteSource : public std::enable_shared_from_this<MovieByteSource> {
 public:
  static std::shared_ptr<MovieByteSource> forFile(const QString& path, QString* error);
  static std::shared_ptr<MovieByteSource> forData(const QByteArray& bytes, QString* error);
  ~MovieByteSource();
  MovieByteSource(const MovieByteSource&) = delete;
  MovieByteSource& operator=(const MovieByteSource&) = delete;

  int64_t size() const { return size_; }
  QString path() const { return path_; }

  // Copies up to `length` bytes at `offset`; answers the count, 0 at the end,
  // or a negative errno.
  int read(int64_t offset, uint8_t* buffer, int length);

  // Keeps [offset, offset + length) in memory; answers false (keeping what
  // was pinned before) when the file cannot be read there. Only bytes not yet
  // pinned are read, and pinned bytes are never copied to grow a span.
  // Unpinning cuts spans. Pin and unpin take turns; reads go on meanwhile.
  bool pin(int64_t offset, int64_t length);
  void unpin(int64_t offset, int64_t length);
  int64_t pinnedBytes() const;
  // Bytes read from the file itself so far (not from memory).
  int64_t fileBytesRead() const { return fileBytesRead_.load(); }

  // A new AVIO context over the source (freed with freeAVIO). It records the
  // spans it reads until `stopRecording` (what opening a demuxer reads: the
  // header and the packets probed).
  AVIOContext* createAVIO();
  static void freeAVIO(AVIOContext* io);
  using Spans = std::vector<std::pair<int64_t, int64_t>>;  // offset, length
  static Spans stopRecording(AVIOContext* io);

 private:
  MovieByteSource() = default;
  bool readPinned(int64_t offset, uint8_t* buffer, int length, int* got);
  // The stretches of [start, end) no piece holds.
  Spans unpinnedIn(int64_t start, int64_t end) const;
  bool readFile(int64_t offset, char* buffer, int64_t length);

  // Pinned bytes are held in pieces of at most this size, side by side.
  static constexpr int64_t kPieceBytes = int64_t(4) << 20;

  QString path_;
  int fd_ = -1;
  int64_t size_ = 0;
  QByteArray data_;  // the whole movie, for sources made from memory
  std::mutex changeMutex_;       // one pin or unpin at a time; held while reading the file
  mutable std::mutex pinMutex_;  // guards pinned_, held briefly
  // Start offset -> bytes; pieces never overlap. Only a thread holding
  // changeMutex_ changes the map.
  std::map<int64_t, QByteArray> pinned_;
  std::atomic<int64_t> fileBytesRead_{0};
};
