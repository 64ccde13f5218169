#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

// The cameras of the machine, asked of V4L2 directly (FFmpeg only logs a
// device's formats): every /dev/video* node that captures video, with its
// card name, and on request its formats, sizes and rates.
class CaptureDevices {
 public:
  struct Device {
    QString path;
    QString name;
  };
  struct Format {
    QString ffmpegName;  // "mjpeg", "yuyv422", "h264", … (empty: one FFmpeg does not name)
    QString description;
    std::vector<QSize> sizes;  // discrete sizes; empty for a stepwise device
  };

  // Video capture devices, by path. `devDir` is for tests.
  static std::vector<Device> list(const QString& devDir = QStringLiteral("/dev"));
  // Empty when the device cannot be opened.
  static std::vector<Format> formats(const QString& path);
  // Frame rates the device offers for a format and size.
  static std::vector<double> rates(const QString& path, const QString& ffmpegName, QSize size);
};
