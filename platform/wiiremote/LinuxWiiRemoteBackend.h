#pragma once

#include "platform/wiiremote/WiiRemoteBackend.h"

// Wii remotes as the kernel's hid-wiimote driver shows them: each remote a
// HID device bound to the driver (sysfs "bus/hid/drivers/wiimote"), with
// its address in the device's uevent (HID_UNIQ), its input devices (the
// remote's keys, accelerometer and IR camera, and the nunchuk or classic
// controller while one is plugged in) as evdev nodes, the extension in its
// "extension" attribute, the LEDs and the battery as its LED and power
// supply classes, and rumble as the keys device's force feedback. Pairing is
// the system's Bluetooth tools' job.
//
// The sysfs and /dev roots can be moved (tests build fake trees).
class LinuxWiiRemoteBackend : public WiiRemoteBackend {
 public:
  explicit LinuxWiiRemoteBackend(QString sysRoot = QStringLiteral("/sys"),
                                 QString devRoot = QStringLiteral("/dev"));

  std::vector<QString> listRemotes() override;
  std::unique_ptr<WiiRemoteConnection> open(const QString& id, QString* error) override;
  QString whyNoRemote() const override;

 private:
  QString driverDir() const;

  const QString sysRoot_;
  const QString devRoot_;
};
