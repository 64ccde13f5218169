#include "app/capture/CaptureSettingsDialog.h"

#include "platform/capture/CaptureDevices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QLineEdit>

namespace {
constexpr int kTestPatternRole = Qt::UserRole + 1;

QString sizeTitle(QSize size) {
  return QStringLiteral("%1 × %2").arg(size.width()).arg(size.height());
}
}  // namespace

CaptureSettingsDialog::CaptureSettingsDialog(const CaptureSettings& current, QWidget* parent)
    : QDialog(parent), current_(current) {
  setWindowTitle(QStringLiteral("Video Input Settings"));
  auto* form = new QFormLayout(this);
  device_ = new QComboBox(this);
  format_ = new QComboBox(this);
  size_ = new QComboBox(this);
  size_->setEditable(true);
  rate_ = new QLineEdit(QString::number(current.frameRate), this);
  rate_->setValidator(new QDoubleValidator(1.0, 240.0, 3, rate_));
  form->addRow(QStringLiteral("Device"), device_);
  form->addRow(QStringLiteral("Format"), format_);
  form->addRow(QStringLiteral("Size"), size_);
  form->addRow(QStringLiteral("Frames per second"), rate_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (const CaptureDevices::Device& device : CaptureDevices::list())
    device_->addItem(QStringLiteral("%1 (%2)").arg(device.name, device.path), device.path);
  if (qEnvironmentVariableIsSet("ZAPH_CAPTURE_TEST_SOURCE") ||
      current.backend == CaptureSettings::Backend::TestPattern) {
    device_->addItem(QStringLiteral("Test pattern"), QString());
    device_->setItemData(device_->count() - 1, true, kTestPatternRole);
  }
  int index = current.backend == CaptureSettings::Backend::TestPattern
                  ? device_->count() - 1
                  : device_->findData(current.devicePath);
  device_->setCurrentIndex(std::max(0, index));
  connect(device_, &QComboBox::currentIndexChanged, this, [this] { deviceChosen(); });
  connect(format_, &QComboBox::currentIndexChanged, this, [this] { formatChosen(); });
  deviceChosen();
}

void CaptureSettingsDialog::deviceChosen() {
  const QSignalBlocker block(format_);
  format_->clear();
  format_->addItem(QStringLiteral("Default"), QString());
  if (!device_->currentData(kTestPatternRole).toBool())
    for (const CaptureDevices::Format& format :
         CaptureDevices::formats(device_->currentData().toString()))
      if (!format.ffmpegName.isEmpty()) format_->addItem(format.description, format.ffmpegName);
  format_->setCurrentIndex(std::max(0, format_->findData(current_.format)));
  formatChosen();
}

void CaptureSettingsDialog::formatChosen() {
  size_->clear();
  std::vector<QSize> sizes;
  if (!device_->currentData(kTestPatternRole).toBool())
    for (const CaptureDevices::Format& format :
         CaptureDevices::formats(device_->currentData().toString()))
      if (format.ffmpegName == format_->currentData().toString()) sizes = format.sizes;
  if (sizes.empty()) sizes = {{640, 480}, {1280, 720}, {1920, 1080}, {320, 240}};
  for (QSize size : sizes) size_->addItem(sizeTitle(size), size);
  const int index = size_->findData(current_.size);
  if (index >= 0)
    size_->setCurrentIndex(index);
  else
    size_->setEditText(sizeTitle(current_.size));
}

CaptureSettings CaptureSettingsDialog::chosen() const {
  QSize size = current_.size;
  const QStringList parts = size_->currentText().split(QChar(u'×'));
  if (parts.size() == 2 && parts[0].trimmed().toInt() >= 2 && parts[1].trimmed().toInt() >= 2)
    size = QSize(parts[0].trimmed().toInt(), parts[1].trimmed().toInt());
  const double rate = rate_->text().toDouble() > 0 ? rate_->text().toDouble() : current_.frameRate;
  if (device_->currentData(kTestPatternRole).toBool())
    return CaptureSettings::testPattern(size, rate);
  CaptureSettings settings;
  settings.backend = CaptureSettings::Backend::Camera;
  settings.devicePath = device_->currentData().toString();
  settings.deviceName = device_->currentText().section(QStringLiteral(" ("), 0, 0);
  settings.format = format_->currentData().toString();
  settings.size = size;
  settings.frameRate = rate;
  if (settings.devicePath.isEmpty()) return current_;
  return settings;
}
