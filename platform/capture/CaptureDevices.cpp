#include "platform/capture/CaptureDevices.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {
class DeviceFd {
 public:
  explicit DeviceFd(const QString& path)
      : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {}
  ~DeviceFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  DeviceFd(const DeviceFd&) = delete;
  DeviceFd& operator=(const DeviceFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int xioctl(int fd, unsigned long request, void* arg) {
  int result;
  do result = ::ioctl(fd, request, arg);
  while (result < 0 && errno == EINTR);
  return result;
}

QString ffmpegName(uint32_t pixelFormat) {
  switch (pixelFormat) {
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
      return QStringLiteral("mjpeg");
    case V4L2_PIX_FMT_H264:
      return QStringLiteral("h264");
    case V4L2_PIX_FMT_YUYV:
      return QStringLiteral("yuyv422");
    case V4L2_PIX_FMT_UYVY:
      return QStringLiteral("uyvy422");
    case V4L2_PIX_FMT_YUV420:
      return QStringLiteral("yuv420p");
    case V4L2_PIX_FMT_NV12:
      return QStringLiteral("nv12");
    case V4L2_PIX_FMT_RGB24:
      return QStringLiteral("rgb24");
    case V4L2_PIX_FMT_BGR24:
      return QStringLiteral("bgr24");
    default:
      return {};
  }
}

uint32_t pixelFormatNamed(const QString& name) {
  for (uint32_t format :
       {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_H264, V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY,
        V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_NV12, V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_BGR24})
    if (ffmpegName(format) == name) return format;
  return 0;
}
}  // namespace

std::vector<CaptureDevices::Device> CaptureDevices::list(const QString& devDir) {
  std::vector<Device> devices;
  const QStringList nodes =
      QDir(devDir).entryList({QStringLiteral("video*")}, QDir::System | QDir::Files, QDir::Name);
  for (const QString& node : nodes) {
    const QString path = QDir(devDir).filePath(node);
    DeviceFd fd(path);
    if (fd.get() < 0) continue;
    v4l2_capability capability{};
    if (xioctl(fd.get(), VIDIOC_QUERYCAP, &capability) < 0) continue;
    const uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
                              ? capability.device_caps
                              : capability.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE)) continue;
    devices.push_back(
        {path, QString::fromUtf8(reinterpret_cast<const char*>(capability.card)).trimmed()});
  }
  std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) {
    return a.path.length() != b.path.length() ? a.path.length() < b.path.length() : a.path < b.path;
  });
  return devices;
}

std::vector<CaptureDevices::Format> CaptureDevices::formats(const QString& path) {
  std::vector<Format> formats;
  DeviceFd fd(path);
  if (fd.get() < 0) return formats;
  v4l2_fmtdesc description{};
  description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  for (description.index = 0; xioctl(fd.get(), VIDIOC_ENUM_FMT, &description) == 0;
       ++description.index) {
    Format format{ffmpegName(description.pixelformat),
                  QString::fromUtf8(reinterpret_cast<const char*>(description.description)),
                  {}};
    v4l2_frmsizeenum size{};
    size.pixel_format = description.pixelformat;
    for (size.index = 0; xioctl(fd.get(), VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
      if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
      format.sizes.emplace_back(int(size.discrete.width), int(size.discrete.height));
    }
    formats.push_back(std::move(format));
  }
  return formats;
}

std::vector<double> CaptureDevices::rates(const QString& path, const QString& name, QSize size) {
  std::vector<double> rates;
  const uint32_t pixelFormat = pixelFormatNamed(name);
  DeviceFd fd(path);
  if (fd.get() < 0 || !pixelFormat) return rates;
  v4l2_frmivalenum interval{};
  interval.pixel_format = pixelFormat;
  interval.width = uint32_t(size.width());
  interval.height = uint32_t(size.height());
  for (interval.index = 0; xioctl(fd.get(), VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0;
       ++interval.index) {
    if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
    if (interval.discrete.numerator > 0)
      rates.push_back(double(interval.discrete.denominator) / interval.discrete.numerator);
  }
  return rates;
}
