#pragma once

#include <QString>
#include <QVariantMap>

// A plain-text description of the machine for problem reports, one string
// each under "hardware", "software", "usb", "firewire", "graphics",
// "memory" and "pci" (an empty string when there is nothing to list). Read
// from /proc, /sys, /etc/os-release and uname; `root` lets tests point it
// at a prepared tree.
class SystemProfiler {
 public:
  explicit SystemProfiler(const QString& root = QStringLiteral("/"));

  QVariantMap profile() const;

  QString hardware() const;
  QString software() const;
  QString memory() const;
  QString usb() const;
  QString firewire() const;
  QString pci() const;
  QString graphics() const;

 private:
  QString path(const QString& relative) const;
  QString readFirstLine(const QString& relative) const;
  QStringList deviceFolders(const QString& bus) const;

  QString root_;
};
