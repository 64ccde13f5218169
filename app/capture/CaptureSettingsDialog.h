#pragma once

#include "platform/capture/CaptureSettings.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLineEdit;

// The settings of a live input: the device (cameras, and the test pattern
// when ZAPH_CAPTURE_TEST_SOURCE is set), its format, size and rate.
class CaptureSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CaptureSettingsDialog(const CaptureSettings& current, QWidget* parent = nullptr);

  // The settings chosen (the current ones until the user changes them).
  CaptureSettings chosen() const;
  QComboBox* deviceMenu() const { return device_; }

 private:
  void deviceChosen();
  void formatChosen();

  CaptureSettings current_;
  QComboBox* device_;
  QComboBox* format_;
  QComboBox* size_;
  QLineEdit* rate_;
};
