#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QVariant>

// A strict reader of XML property lists, of our own: one pass over the
// bytes, after every byte was checked to be UTF-8 that XML allows. Anything
// the format does not allow (a key without a value, text where a value
// belongs, an integer or date that does not parse, bad base64, an undefined
// entity, a truncated document) is an error naming the line and column,
// never a silently dropped or zeroed value. Internal entities are expanded;
// external ones are refused where they are declared, so nothing is fetched,
// and all references together may expand to at most 64 MB.
// UTF-16 and other declared encodings are converted first. Nesting beyond
// 512 levels is refused.
class PropertyListXmlReader {
 public:
  explicit PropertyListXmlReader(const QByteArray& bytes);

  // The root value, or an invalid QVariant with `error()` set.
  QVariant read();
  QString error() const { return error_; }

 private:
  // What a failed step answers, once the error is set: false where a step
  // answers whether it went on, an invalid value where it answers a value.
  struct Failed {
    operator bool() const { return false; }
    operator QVariant() const { return {}; }
  };
  struct Tag {
    QByteArrayView name;
    const char* start = nullptr;
    bool empty = false;
  };

  bool decode();
  bool checkCharacters();
  bool prolog();
  bool doctype();
  bool entityDeclaration();
  bool skipDeclaration();
  bool skipQuoted(QByteArray* content);
  bool skipMisc();
  bool epilog();
  bool startTag(Tag* tag);
  bool endTag(const Tag& tag);
  bool nextChild(const Tag& parent, Tag* child);
  bool text(const Tag& tag, QByteArray* out);
  bool reference(QByteArray* out);
  QVariant readValue(const Tag& tag, int depth);
  QVariant readDictionary(const Tag& tag, int depth);
  QVariant readArray(const Tag& tag, int depth);
  QVariant readScalar(const Tag& tag);
  QVariant readData(const Tag& tag);
  Failed unexpectedText();
  bool startsWith(const char* text) const;
  void skipSpace();
  Failed fail(const QString& reason);
  Failed failAt(const char* at, const QString& reason);
  bool failAtStart(const QString& reason);
  Failed truncated();

  QByteArray bytes_;
  QByteArray utf8_;
  const char* begin_ = nullptr;
  const char* at_ = nullptr;
  const char* end_ = nullptr;
  QHash<QByteArray, QByteArray> entities_;
  qint64 entityBytes_ = 0;
  QByteArray scratch_;
  QString error_;
};
