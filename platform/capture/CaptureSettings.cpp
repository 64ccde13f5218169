#include "platform/capture/CaptureSettings.h"

namespace {
const QString kBackendKey = QStringLiteral("backend");
const QString kPathKey = QStringLiteral("devicePath");
const QString kNameKey = QStringLiteral("deviceName");
const QString kFormatKey = QStringLiteral("format");
const QString kWidthKey = QStringLiteral("width");
const QString kHeightKey = QStringLiteral("height");
const QString kRateKey = QStringLiteral("frameRate");

QString backendName(CaptureSettings::Backend backend) {
  switch (backend) {
    case CaptureSettings::Backend::Camera:
      return QStringLiteral("camera");
    case CaptureSettings::Backend::TestPattern:
      return QStringLiteral("testPattern");
    case CaptureSettings::Backend::File:
      return QStringLiteral("file");
  }
  return {};
}

std::optional<CaptureSettings::Backend> backendNamed(const QString& name) {
  for (auto backend : {CaptureSettings::Backend::Camera, CaptureSettings::Backend::TestPattern,
                       CaptureSettings::Backend::File})
    if (backendName(backend) == name) return backend;
  return std::nullopt;
}

bool isNumber(const QVariant& value) {
  const int type = value.typeId();
  return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double ||
         type == QMetaType::UInt || type == QMetaType::ULongLong;
}
}  // namespace

CaptureSettings CaptureSettings::testPattern(QSize size, double frameRate) {
  CaptureSettings settings;
  settings.backend = Backend::TestPattern;
  settings.devicePath = testPatternGraph(size, frameRate);
  settings.deviceName = QStringLiteral("Test pattern");
  settings.size = size;
  settings.frameRate = frameRate;
  return settings;
}

QString CaptureSettings::testPatternGraph(QSize size, double frameRate) {
  return QStringLiteral("testsrc2=size=%1x%2:rate=%3,format=yuv420p,realtime")
      .arg(size.width())
      .arg(size.height())
      .arg(frameRate);
}

QVariantMap CaptureSettings::toPropertyList() const {
  return {{kBackendKey, backendName(backend)},
          {kPathKey, devicePath},
          {kNameKey, deviceName},
          {kFormatKey, format},
          {kWidthKey, size.width()},
          {kHeightKey, size.height()},
          {kRateKey, frameRate}};
}

std::optional<CaptureSettings> CaptureSettings::fromPropertyList(const QVariantMap& list) {
  const std::optional<Backend> backend = backendNamed(list.value(kBackendKey).toString());
  const QVariant path = list.value(kPathKey);
  if (!backend || path.typeId() != QMetaType::QString || path.toString().isEmpty())
    return std::nullopt;
  CaptureSettings settings;
  settings.backend = *backend;
  settings.devicePath = path.toString();
  for (const QString& key : {kNameKey, kFormatKey}) {
    const QVariant value = list.value(key);
    if (value.isValid() && value.typeId() != QMetaType::QString) return std::nullopt;
  }
  settings.deviceName = list.value(kNameKey).toString();
  settings.format = list.value(kFormatKey).toString();
  for (const QString& key : {kWidthKey, kHeightKey, kRateKey}) {
    const QVariant value = list.value(key);
    if (value.isValid() && !isNumber(value)) return std::nullopt;
  }
  const int width = list.value(kWidthKey, kDefaultWidth).toInt();
  const int height = list.value(kHeightKey, kDefaultHeight).toInt();
  if (width >= 2 && height >= 2 && width <= 16384 && height <= 16384)
    settings.size = QSize(width, height);
  const double rate = list.value(kRateKey, 30.0).toDouble();
  if (rate > 0.0 && rate <= 1000.0) settings.frameRate = rate;
  return settings;
}

QSize CaptureSettings::quarterSize(QSize size) {
  return {std::max(2, (size.width() / 2) & ~1), std::max(2, (size.height() / 2) & ~1)};
}
