#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>
#include <vector>

class QKCURLDL;

// The multipart form of a bug report, made off the main thread: the text
// parts, the gzipped project and the gzipped machine profile, in the order
// the bug-report service reads them.
class BugReportForm {
 public:
  // A chosen project file may be this large; project data sent must be
  // smaller.
  static constexpr qint64 kProjectLimit = 20971520;
  static bool chosenFileAccepted(qint64 size) { return size <= kProjectLimit; }
  static bool projectDataSendable(qint64 size) { return size < kProjectLimit; }

  struct Part {
    QByteArray name;
    QByteArray data;
    QByteArray fileName;     // empty: a text part
    QByteArray contentType;  // empty: a text part
  };

  struct Inputs {
    QString email;
    QString description;
    std::optional<QString> console;
    QString version;                        // empty: no "zaph" part
    std::optional<QByteArray> projectData;  // the uncompressed project
    std::optional<QVariantMap> profile;
  };

  // The project dictionary as the XML property list a project file holds;
  // nullopt (with the reason) when it cannot be written.
  static std::optional<QByteArray> serializeProject(const QVariantMap& project, QString* error);
  // "email", "description", "console", "zaph", "uploadFile", "os",
  // "systemData", each only when its input is there.
  static std::vector<Part> parts(const Inputs& inputs);
  // The parts added to the downloader's form, and the "Expect:" header.
  static bool attach(QKCURLDL& download, const std::vector<Part>& parts);
  // The profile's texts under these keys, in this order, joined.
  static QByteArray systemData(const QVariantMap& profile);
};
