#pragma once

#include <QSize>
#include <QString>
#include <QVariantMap>

#include <optional>

// What a live input captures from: a camera (a V4L2 device), a libavfilter
// graph standing in for one (the test pattern), or a movie file read at its
// own pace. Stored in projects as a property list.
struct CaptureSettings {
  enum class Backend { Camera, TestPattern, File };

  Backend backend = Backend::Camera;
  // The device node, the filter graph or the file.
  QString devicePath;
  // The device's own name (a camera's card name), for the user.
  QString deviceName;
  // A camera's input format as FFmpeg names it ("mjpeg", "yuyv422", "h264");
  // empty: the device's default.
  QString format;
  QSize size{640, 480};
  double frameRate = 30.0;
  // Tests and benchmarks only (never stored): a file read as fast as its
  // consumer asks for pictures rather than at its own rate, starting over
  // at its end (see CaptureInput::requestFrame).
  bool unpaced = false;

  static constexpr int kDefaultWidth = 640;
  static constexpr int kDefaultHeight = 480;

  // The test pattern at the given size and rate: FFmpeg's testsrc2, paced in
  // real time.
  static CaptureSettings testPattern(QSize size = {kDefaultWidth, kDefaultHeight},
                                     double frameRate = 30.0);
  // The graph of the test pattern for a size and rate.
  static QString testPatternGraph(QSize size, double frameRate);

  QVariantMap toPropertyList() const;
  // Nullopt when the list lacks a backend or path, or holds values of the
  // wrong type.
  static std::optional<CaptureSettings> fromPropertyList(const QVariantMap& list);

  // A size both halved, rounded down to even numbers (the picture stays
  // 4:2:0), at least 2 × 2.
  static QSize quarterSize(QSize size);

  bool operator==(const CaptureSettings&) const = default;
};
