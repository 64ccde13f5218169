#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Property-list files as Qt values: dictionary ↔ QVariantMap, array ↔
// QVariantList, string ↔ QString, data ↔ QByteArray, date ↔ QDateTime (UTC),
// integer ↔ qint64, real ↔ double, boolean ↔ bool. Reads XML and binary
// property lists; writes XML.
class PropertyList {
 public:
  struct Result {
    QVariant value;  // invalid on failure
    QString error;   // "<path>: <reason>" on failure, empty on success
    bool ok() const { return error.isEmpty(); }
  };

  static Result read(const QString& path);
  static Result parse(const QByteArray& bytes, const QString& nameForErrors = QStringLiteral("data"));

  // XML text of a value; empty with `error` set when a value has no
  // property-list form.
  static QByteArray toXml(const QVariant& value, QString* error = nullptr);
  // Writes atomically (temporary file in the same folder, flush, rename):
  // on failure the previous file is untouched. Answers the error, or empty.
  static QString write(const QVariant& value, const QString& path);
};
