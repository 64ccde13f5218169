#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Property-list files as Qt values: dictionary ↔ QVariantMap, array ↔
// QVariantList, string ↔ QString, data ↔ QByteArray, date ↔ QDateTime (UTC),
// integer ↔ qint64, real ↔ double, boolean ↔ bool. Reads XML and binary
// property lists; writes XML.
//
// Writing also takes int, uint, quint64, float, QStringList and QVariantHash;
// `normalized` gives the form that reading the file back answers. XML dates
// keep whole seconds. A value with no property-list form (an invalid
// QVariant, a QObject*, …) is an error naming where it sits in the value.
class PropertyList {
 public:
  struct Result {
    QVariant value;  // invalid on failure
    QString error;   // "<path>: <reason>" on failure, empty on success
    bool ok() const { return error.isEmpty(); }
  };

  static Result read(const QString& path);
  static Result parse(const QByteArray& bytes,
                      const QString& nameForErrors = QStringLiteral("data"));

  // The value as reading it back would give it (qint64, double, QVariantMap,
  // UTC dates in whole seconds …); invalid with `error` set when some part of
  // it has no property-list form.
  static QVariant normalized(const QVariant& value, QString* error = nullptr);
  // Whether `value` is already in that form (normalized would answer an
  // equal value of the same types); answers without copying anything.
  // Dates and unsigned numbers answer false: ask normalized.
  static bool isNormalized(const QVariant& value);

  // XML text of a value; empty with `error` set when a value has no
  // property-list form.
  static QByteArray toXml(const QVariant& value, QString* error = nullptr);
  // Writes atomically (temporary file in the same folder, flush, fsync, rename):
  // on failure the previous file is untouched. Answers the error, or empty.
  static QString write(const QVariant& value, const QString& path);
};
