#pragma once

#include <cstdint>
#include <vector>

class MovieDemuxer;

// When each picture of a movie starts, for a clip whose container does not
// count its frames, whose rate is not constant, or whose picture track does
// not say where it ends. Read at open: from the container's index when it
// lists every frame and no frame is reordered (no reading), else from the
// packets of the picture stream while the file is small enough; past that
// only the last seconds are read, for where the pictures end.
struct VideoFrameTimes {
  static constexpr int64_t kScanBytes = int64_t(64) << 20;
  static constexpr double kTailSeconds = 10.0;

  // Sorted presentation times of every frame (stream time base); empty when
  // not known.
  std::vector<int64_t> starts;
  // Where the last frame ends (stream time base), or -1 when not known.
  int64_t end = -1;

  // Moves the demuxer's read position; open a fresh one for playback. A
  // file bigger than `scanBytes` is not read whole.
  static VideoFrameTimes read(MovieDemuxer& demuxer, int64_t scanBytes = kScanBytes);
};
