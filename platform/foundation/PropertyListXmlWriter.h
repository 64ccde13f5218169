#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Writes XML property lists in the usual layout (tab-indented, dates in
// whole UTC seconds, reals in their shortest exact form, "nan",
// "+infinity", "-infinity"). Takes any value PropertyList::normalized takes
// and writes what reading it back gives; text is escaped so that reading it
// back gives the same string, carriage returns included. One pass, nothing
// copied: a value with no property-list form stops the write (ask
// PropertyList::normalized for the reason).
class PropertyListXmlWriter {
 public:
  // The XML text, or empty when some part of the value has no
  // property-list form.
  static QByteArray write(const QVariant& value);

 private:
  explicit PropertyListXmlWriter(QByteArray& out) : out_(out) {}
  bool value(const QVariant& value, int indent);
  template <typename Map>
  bool dictionary(const Map& map, int indent);
  template <typename List>
  bool array(const List& list, int indent);
  bool hash(const QVariantHash& hash, int indent);
  void data(const QByteArray& bytes, int indent);
  bool date(const QDateTime& date, int indent);
  bool text(const QString& text);
  bool textElement(int indent, const char* name, const QString& text);
  void element(int indent, const char* name, const QByteArray& text);
  void tabs(int indent);

  QByteArray& out_;
};
