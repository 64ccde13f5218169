#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QXmlStreamReader>

// A strict reader of XML property lists. Anything the format does not allow
// (a key without a value, text where a value belongs, an integer or date that
// does not parse, bad base64, an undefined entity, a truncated document) is an
// error naming the line and column, never a silently dropped or zeroed value.
// External entities are refused where they are declared; nothing is fetched.
class PropertyListXmlReader {
 public:
  explicit PropertyListXmlReader(const QByteArray& bytes);

  // The root value, or an invalid QVariant with `error()` set.
  QVariant read();
  QString error() const { return error_; }

 private:
  QVariant readValue(int depth);
  QVariant readDictionary(int depth);
  QVariant readArray(int depth);
  QVariant readScalar(const QString& element);
  bool readBoolean();
  // Moves to the next child element of the current one; false at its end
  // tag or on an error.
  bool nextChild();
  bool startRootElement();
  bool finishDocument();
  QString text();
  QVariant readData(const QString& content);
  bool encodingMatches();
  bool refuseExternalEntities();
  QVariant undefinedEntity();
  bool explainXmlError();
  QVariant fail(const QString& message);
  QVariant failAt(qint64 line, qint64 column, const QString& reason);

  QByteArray bytes_;
  QXmlStreamReader xml_;
  QString error_;
};
