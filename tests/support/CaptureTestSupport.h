#pragma once

#include "platform/capture/CaptureSettings.h"

#include <QString>

#include <vector>

// Live sources for the capture tests, all through FFmpeg's lavfi: a grey
// picture whose luma steps by 8 each frame (frame n: 8 n mod 256), so a
// recording can be checked frame by frame. The levels are video levels
// (16 + 8 n mod 216); a recording holds them at full range.
struct CaptureTestSupport {
  static constexpr int kSteps = 27;
  // The pattern's step (0 … 26) shown by a full-range luma.
  static int stepOfFullRangeLuma(int luma);
  static CaptureSettings countingPattern(int width = 64, int height = 48, int rate = 25);
  // A live source whose picture n (from 0 at each start) shows the number
  // n + 1 as TestClip's grid of black and white cells, so that every
  // picture, the first included, reads back with TestClip::frameNumberIn.
  static CaptureSettings numberedPattern(int width = 160, int height = 120, int rate = 25);
  // What a movie file holds, read with FFmpeg directly.
  struct Probe {
    QString error;
    QString codec;
    int width = 0;
    int height = 0;
    std::vector<int64_t> pts;  // in frames (pts × rate)
    std::vector<int> lumas;    // the first pixel's luma of each decoded picture
    std::vector<int> numbers;  // the grid number each picture shows (-1: none)
  };
  static Probe probe(const QString& path, double rate);
  // Writes an MJPEG movie of the counting pattern (`frames` pictures).
  static QString writeMjpegFile(const QString& path, int frames, int width, int height, int rate);
};
