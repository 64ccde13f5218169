#include "platform/net/SystemProfiler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/utsname.h>

namespace {

QString readAll(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

// "key : value" lines of /proc files.
QString valueOf(const QString& line) { return line.section(QLatin1Char(':'), 1).trimmed(); }
QString keyOf(const QString& line) { return line.section(QLatin1Char(':'), 0, 0).trimmed(); }

QString joinedLines(const QStringList& lines) {
  return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace

SystemProfiler::SystemProfiler(const QString& root) : root_(root) {}

QVariantMap SystemProfiler::profile() const {
  return {{QStringLiteral("hardware"), hardware()},
          {QStringLiteral("software"), software()},
          {QStringLiteral("usb"), usb()},
          {QStringLiteral("firewire"), firewire()},
          {QStringLiteral("graphics"), graphics()},
          {QStringLiteral("memory"), memory()},
          {QStringLiteral("pci"), pci()}};
}

QString SystemProfiler::path(const QString& relative) const {
  return QDir(root_).filePath(relative);
}

QString SystemProfiler::readFirstLine(const QString& relative) const {
  return readAll(path(relative)).section(QLatin1Char('\n'), 0, 0).trimmed();
}

QStringList SystemProfiler::deviceFolders(const QString& bus) const {
  const QDir dir(path(QStringLiteral("sys/bus/%1/devices").arg(bus)));
  QStringList folders;
  for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
    folders << QStringLiteral("sys/bus/%1/devices/%2").arg(bus, name);
  return folders;
}

QString SystemProfiler::hardware() const {
  QString model;
  int processors = 0;
  for (const QString& line :
       readAll(path(QStringLiteral("proc/cpuinfo"))).split(QLatin1Char('\n'))) {
    const QString key = keyOf(line);
    if (key == QLatin1String("processor")) ++processors;
    if (model.isEmpty() && (key == QLatin1String("model name") ||
                            key == QLatin1String("Hardware") || key == QLatin1String("cpu model")))
      model = valueOf(line);
  }
  struct utsname names {};
  ::uname(&names);
  QStringList lines{QStringLiteral("Machine: %1").arg(QString::fromUtf8(names.machine))};
  if (!model.isEmpty()) lines << QStringLiteral("Processor: %1").arg(model);
  if (processors > 0) lines << QStringLiteral("Processors: %1").arg(processors);
  return joinedLines(lines);
}

QString SystemProfiler::software() const {
  QString distribution;
  for (const QString& line :
       readAll(path(QStringLiteral("etc/os-release"))).split(QLatin1Char('\n')))
    if (line.startsWith(QLatin1String("PRETTY_NAME=")))
      distribution = line.mid(12).remove(QLatin1Char('"'));
  struct utsname names {};
  ::uname(&names);
  QStringList lines;
  if (!distribution.isEmpty()) lines << QStringLiteral("System: %1").arg(distribution);
  lines << QStringLiteral("Kernel: %1 %2 %3")
               .arg(QString::fromUtf8(names.sysname), QString::fromUtf8(names.release),
                    QString::fromUtf8(names.version));
  lines << QStringLiteral("Qt: %1").arg(QString::fromLatin1(qVersion()));
  if (!QCoreApplication::applicationVersion().isEmpty())
    lines << QStringLiteral("%1: %2").arg(QCoreApplication::applicationName(),
                                          QCoreApplication::applicationVersion());
  return joinedLines(lines);
}

QString SystemProfiler::memory() const {
  static const QStringList kKeys{QStringLiteral("MemTotal"), QStringLiteral("MemAvailable"),
                                 QStringLiteral("SwapTotal"), QStringLiteral("SwapFree")};
  QStringList lines;
  for (const QString& line : readAll(path(QStringLiteral("proc/meminfo"))).split(QLatin1Char('\n')))
    if (kKeys.contains(keyOf(line)))
      lines << QStringLiteral("%1: %2").arg(keyOf(line), valueOf(line));
  return joinedLines(lines);
}

QString SystemProfiler::usb() const {
  QStringList lines;
  for (const QString& device : deviceFolders(QStringLiteral("usb"))) {
    const QString vendor = readFirstLine(device + QStringLiteral("/idVendor"));
    if (vendor.isEmpty()) continue;  // interfaces, not devices
    const QString product = readFirstLine(device + QStringLiteral("/idProduct"));
    const QString name = QStringList{readFirstLine(device + QStringLiteral("/manufacturer")),
                                     readFirstLine(device + QStringLiteral("/product"))}
                             .join(QLatin1Char(' '))
                             .trimmed();
    lines << QStringLiteral("%1:%2 %3").arg(vendor, product, name).trimmed();
  }
  return joinedLines(lines);
}

QString SystemProfiler::firewire() const {
  QStringList lines;
  for (const QString& device : deviceFolders(QStringLiteral("firewire"))) {
    const QString name = QStringList{readFirstLine(device + QStringLiteral("/vendor_name")),
                                     readFirstLine(device + QStringLiteral("/model_name"))}
                             .join(QLatin1Char(' '))
                             .trimmed();
    lines << QStringLiteral("%1 %2").arg(device.section(QLatin1Char('/'), -1), name).trimmed();
  }
  return joinedLines(lines);
}

QString SystemProfiler::pci() const {
  QStringList lines;
  for (const QString& device : deviceFolders(QStringLiteral("pci")))
    lines << QStringLiteral("%1 class %2 %3:%4")
                 .arg(device.section(QLatin1Char('/'), -1),
                      readFirstLine(device + QStringLiteral("/class")),
                      readFirstLine(device + QStringLiteral("/vendor")),
                      readFirstLine(device + QStringLiteral("/device")));
  return joinedLines(lines);
}

QString SystemProfiler::graphics() const {
  // Display controllers are PCI class 0x03xxxx.
  QStringList lines;
  for (const QString& device : deviceFolders(QStringLiteral("pci"))) {
    if (!readFirstLine(device + QStringLiteral("/class")).startsWith(QLatin1String("0x03")))
      continue;
    const QString driver = QFileInfo(path(device + QStringLiteral("/driver"))).symLinkTarget();
    lines << QStringLiteral("%1 %2:%3 driver %4")
                 .arg(device.section(QLatin1Char('/'), -1),
                      readFirstLine(device + QStringLiteral("/vendor")),
                      readFirstLine(device + QStringLiteral("/device")),
                      driver.isEmpty() ? QStringLiteral("none")
                                       : driver.section(QLatin1Char('/'), -1));
  }
  return joinedLines(lines);
}
