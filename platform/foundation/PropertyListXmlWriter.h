#pragma once

#include <QByteArray>
#include <QVariant>

// Writes XML property lists in the usual layout (tab-indented, dates in
// whole UTC seconds, reals in their shortest exact form, "nan",
// "+infinity", "-infinity"). Takes values already in property-list form
// (see PropertyList::normalized); text is escaped so that reading it back
// gives the same string, carriage returns included.
class PropertyListXmlWriter {
 public:
  static QByteArray write(const QVariant& normalizedValue);

 private:
  explicit PropertyListXmlWriter(QByteArray& out) : out_(out) {}
  void value(const QVariant& value, int indent);
  void dictionary(const QVariantMap& map, int indent);
  void array(const QVariantList& list, int indent);
  void data(const QByteArray& bytes, int indent);
  void element(int indent, const char* name, const QByteArray& text);
  void tabs(int indent);

  QByteArray& out_;
};
