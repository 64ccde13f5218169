#pragma once

#include "platform/movie/VideoFrame.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// The decoded frames of one movie around its play head: the frames decoded
// ahead for the render thread and a small cache behind it for stepping,
// scratching and reverse play. Bounded in bytes; when full, the frames
// farthest from the play head go first, those behind it (against the play
// direction) sooner than those ahead. Readers on the render thread only try
// the lock and never wait.
class FrameStore {
 public:
  explicit FrameStore(int64_t byteLimit) : byteLimit_(byteLimit) {}

  // The frame, or null when it is not here or the store is busy.
  std::shared_ptr<const VideoFrame> tryFind(int64_t index) const;
  bool contains(int64_t index) const;
  // Keeps the frame as frame `index` (its own number, or the one it stands in
  // for), then trims the store around `playHead`.
  void insert(int64_t index, const std::shared_ptr<const VideoFrame>& frame, int64_t playHead,
              int direction);
  // Drops every frame but those in [first, last].
  void keepOnly(int64_t first, int64_t last);
  void clear();
  std::size_t size() const;  // frames held

 private:
  void trim(int64_t playHead, int direction, std::vector<std::shared_ptr<const VideoFrame>>& out);

  mutable std::mutex mutex_;
  std::map<int64_t, std::shared_ptr<const VideoFrame>> frames_;
  int64_t bytes_ = 0;
  int64_t byteLimit_;
};
