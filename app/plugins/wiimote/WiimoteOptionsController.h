#pragma once

#include "app/plugins/wiimote/WiiOrientation.h"

#include <QObject>
#include <QSize>

#include <array>
#include <memory>

class QCheckBox;
class QKSliderControl;
class QLineEdit;
class QWidget;
class WiiMote;

// The Wii remote's options sheet: per device (remote, nunchuk) and axis
// (pitch, roll, yaw) an offset slider, clip low and high fields and an
// invert box — 24 controls, each writing one option of the plug-in, which
// keeps the values (and their snapshot). Main thread.
class WiimoteOptionsController : public QObject {
  Q_OBJECT
 public:
  enum Field { Offset, ClipLow, ClipHigh, Invert };

  WiimoteOptionsController(WiiMote* wiimote, QWidget* panel);

  // Copies every option of the plug-in into its control.
  void updateUI();
  // A control's action: writes its option (a sender of no outlet changes
  // nothing).
  void wimElementUsed(QObject* sender);
  void nunElementUsed(QObject* sender);

  QSize panelSize() const { return {270, 156}; }
  // The control of a device's axis and field.
  QWidget* control(bool nunchuk, WiiOrientation::Axis axis, Field field) const;

 private:
  struct Row {
    QKSliderControl* offset = nullptr;
    QLineEdit* clipLow = nullptr;
    QLineEdit* clipHigh = nullptr;
    QCheckBox* invert = nullptr;
  };
  void buildRows(QWidget* panel, bool nunchuk, int top);
  void elementUsed(bool nunchuk, QObject* sender);

  WiiMote* const wiimote_;
  std::array<std::array<Row, 3>, 2> rows_{};  // remote, nunchuk; by axis
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
