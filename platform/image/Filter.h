#pragma once

#include "platform/image/Image.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace image {

// A filter of the engine: named inputs set by key, one output image made
// when asked for (eagerly, into a texture of the pool). Filters are made on
// any thread (mostly the main one) and run on the render thread, one user
// per instance; they hold no lock.
class Filter {
 public:
  Filter(QString name, QStringList inputKeys);
  virtual ~Filter() = default;
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  const QString& name() const { return name_; }
  // The registered class attributes, with the filter's name under
  // "CIAttributeFilterName".
  QVariantMap attributes() const;
  QStringList inputKeys() const { return inputKeys_; }
  virtual QStringList outputKeys() const;

  // Sets an input (an Image for image inputs); an invalid value removes it.
  virtual void setValue(const QVariant& value, const QString& forKey);
  // An input, or the output image under "outputImage".
  virtual QVariant value(const QString& key);
  // Every input that has a default in the attributes gets it.
  void setDefaults();

  // The result for the current inputs; null when an input it needs is
  // missing or the GL refuses.
  virtual Image outputImage() = 0;

 protected:
  Image imageInput(const QString& key) const;
  // A number input, or `fallback` when it is absent or not a number.
  double number(const QString& key, double fallback) const;
  QVariant input(const QString& key) const { return values_.value(key); }

 private:
  friend class FilterRegistry;
  QString name_;
  QStringList inputKeys_;
  QVariantMap classAttributes_;
  QVariantMap values_;
};

}  // namespace image
