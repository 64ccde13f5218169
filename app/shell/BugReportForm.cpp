#include "app/shell/BugReportForm.h"

#include "framework/toolkit/DataAdditions.h"
#include "platform/foundation/PropertyList.h"
#include "platform/net/QKCURLDL.h"

namespace {

const char* const kProfileKeys[] = {"hardware", "software", "usb", "firewire",
                                    "graphics", "memory",   "pci"};

BugReportForm::Part textPart(const char* name, const QString& text) {
  return {QByteArray(name), text.toUtf8(), {}, {}};
}

BugReportForm::Part zipPart(const char* name, const QByteArray& bytes) {
  return {QByteArray(name), DataAdditions::gzipDeflate(bytes).value_or(QByteArray()),
          QByteArray(name), QByteArrayLiteral("application/zip")};
}

}  // namespace

std::optional<QByteArray> BugReportForm::serializeProject(const QVariantMap& project,
                                                          QString* error) {
  QString reason;
  QByteArray bytes = PropertyList::toXml(project, &reason);
  if (!reason.isEmpty()) {
    if (error) *error = reason;
    return std::nullopt;
  }
  return bytes;
}

QByteArray BugReportForm::systemData(const QVariantMap& profile) {
  QByteArray joined;
  for (const char* key : kProfileKeys) {
    const auto found = profile.constFind(QString::fromLatin1(key));
    if (found != profile.constEnd()) joined += found->toString().toUtf8();
  }
  return joined;
}

std::vector<BugReportForm::Part> BugReportForm::parts(const Inputs& inputs) {
  std::vector<Part> parts;
  parts.push_back(textPart("email", inputs.email));
  parts.push_back(textPart("description", inputs.description));
  if (inputs.console) parts.push_back(textPart("console", *inputs.console));
  if (!inputs.version.isEmpty()) parts.push_back(textPart("zaph", inputs.version));
  if (inputs.projectData) parts.push_back(zipPart("uploadFile", *inputs.projectData));
  if (inputs.profile) {
    const auto software = inputs.profile->constFind(QStringLiteral("software"));
    if (software != inputs.profile->constEnd())
      parts.push_back(textPart("os", software->toString()));
    parts.push_back(zipPart("systemData", systemData(*inputs.profile)));
  }
  return parts;
}

bool BugReportForm::attach(QKCURLDL& download, const std::vector<Part>& parts) {
  if (!download.appendHeader(QByteArrayLiteral("Expect:"))) return false;
  if (!download.firstFormPtr()) return false;
  for (const Part& part : parts) {
    curl_mimepart* field = download.addFormPart();
    if (!field) return false;
    curl_mime_name(field, part.name.constData());
    curl_mime_data(field, part.data.constData(), size_t(part.data.size()));
    if (!part.fileName.isEmpty()) {
      curl_mime_filename(field, part.fileName.constData());
      curl_mime_type(field, part.contentType.constData());
    }
  }
  return true;
}
