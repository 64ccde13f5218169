#include "platform/net/QKCrashReporter.h"
#include "platform/net/SystemProfiler.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/utsname.h>

namespace {

const QStringList kProfileKeys{"hardware", "software", "usb", "firewire",
                               "graphics", "memory",   "pci"};

void writeFile(const QString& root, const QString& relative, const QByteArray& contents) {
  const QString path = root + QLatin1Char('/') + relative;
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(contents);
}

TEST(SystemProfiler, ThisMachineHasEveryKeyAsText) {
  QKCrashReporter reporter;
  const std::optional<QVariantMap> profile = reporter.systemProfilerDict();
  ASSERT_TRUE(profile.has_value());
  for (const QString& key : kProfileKeys) {
    ASSERT_TRUE(profile->contains(key)) << key.toStdString();
    EXPECT_EQ(profile->value(key).typeId(), QMetaType::QString) << key.toStdString();
  }
  struct utsname names {};
  ::uname(&names);
  EXPECT_TRUE(profile->value("software").toString().contains(QString::fromUtf8(names.release)));
  EXPECT_TRUE(profile->value("memory").toString().contains("MemTotal: "));
  EXPECT_FALSE(profile->value("hardware").toString().isEmpty());
}

TEST(SystemProfiler, ReadsDevicesFromAPreparedTree) {
  const QString root = TestEnvironment::makeTempDir(QStringLiteral("sysroot"));
  writeFile(root, "proc/cpuinfo",
            "processor\t: 0\nmodel name\t: Test CPU @ 3.00GHz\n\nprocessor\t: 1\nmodel name\t: "
            "Test CPU @ 3.00GHz\n");
  writeFile(
      root, "proc/meminfo",
      "MemTotal:       16000000 kB\nMemFree:  1 kB\nMemAvailable:   8000000 kB\nSwapTotal: 0 kB\n");
  writeFile(root, "etc/os-release",
            "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  writeFile(root, "sys/bus/usb/devices/1-1/idVendor", "1235\n");
  writeFile(root, "sys/bus/usb/devices/1-1/idProduct", "8202\n");
  writeFile(root, "sys/bus/usb/devices/1-1/manufacturer", "Focusrite\n");
  writeFile(root, "sys/bus/usb/devices/1-1/product", "Scarlett 2i2\n");
  writeFile(root, "sys/bus/usb/devices/1-1:1.0/bInterfaceClass",
            "01\n");  // an interface, not listed
  writeFile(root, "sys/bus/pci/devices/0000:00:02.0/class", "0x030000\n");
  writeFile(root, "sys/bus/pci/devices/0000:00:02.0/vendor", "0x8086\n");
  writeFile(root, "sys/bus/pci/devices/0000:00:02.0/device", "0x3e92\n");
  writeFile(root, "sys/bus/pci/devices/0000:00:1f.3/class", "0x040300\n");
  writeFile(root, "sys/bus/pci/devices/0000:00:1f.3/vendor", "0x8086\n");
  writeFile(root, "sys/bus/pci/devices/0000:00:1f.3/device", "0xa348\n");
  QDir().mkpath(root + "/drivers/i915");
  ASSERT_TRUE(
      QFile::link(root + "/drivers/i915", root + "/sys/bus/pci/devices/0000:00:02.0/driver"));

  const QVariantMap profile = SystemProfiler(root).profile();
  EXPECT_EQ(profile.keys(), [] {
    QStringList sorted = kProfileKeys;
    sorted.sort();
    return sorted;
  }());
  const QString hardware = profile["hardware"].toString();
  EXPECT_TRUE(hardware.contains("Processor: Test CPU @ 3.00GHz\n")) << hardware.toStdString();
  EXPECT_TRUE(hardware.contains("Processors: 2\n")) << hardware.toStdString();
  EXPECT_EQ(profile["memory"].toString(),
            "MemTotal: 16000000 kB\nMemAvailable: 8000000 kB\nSwapTotal: 0 kB\n");
  EXPECT_TRUE(
      profile["software"].toString().startsWith("System: Debian GNU/Linux 12 (bookworm)\n"));
  EXPECT_EQ(profile["usb"].toString(), "1235:8202 Focusrite Scarlett 2i2\n");
  EXPECT_EQ(
      profile["pci"].toString(),
      "0000:00:02.0 class 0x030000 0x8086:0x3e92\n0000:00:1f.3 class 0x040300 0x8086:0xa348\n");
  EXPECT_EQ(profile["graphics"].toString(), "0000:00:02.0 0x8086:0x3e92 driver i915\n");
  EXPECT_EQ(profile["firewire"].toString(), "");
}

TEST(SystemProfiler, AnEmptyTreeStillAnswersEveryKey) {
  const QVariantMap profile =
      SystemProfiler(TestEnvironment::makeTempDir(QStringLiteral("empty"))).profile();
  for (const QString& key : kProfileKeys) EXPECT_TRUE(profile.contains(key)) << key.toStdString();
  EXPECT_EQ(profile["usb"].toString(), "");
  EXPECT_TRUE(profile["hardware"].toString().startsWith("Machine: "));
}

}  // namespace
