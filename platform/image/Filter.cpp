#include "platform/image/Filter.h"

#include "platform/image/FilterKeys.h"

namespace image {

Filter::Filter(QString name, QStringList inputKeys)
    : name_(std::move(name)), inputKeys_(std::move(inputKeys)) {}

QVariantMap Filter::attributes() const {
  QVariantMap attributes = classAttributes_;
  attributes.insert(FilterKeys::kFilterName, name_);
  return attributes;
}

QStringList Filter::outputKeys() const { return {FilterKeys::kOutputImage}; }

void Filter::setValue(const QVariant& value, const QString& forKey) {
  if (value.isValid())
    values_.insert(forKey, value);
  else
    values_.remove(forKey);
}

QVariant Filter::value(const QString& key) {
  if (key == FilterKeys::kOutputImage) {
    const Image image = outputImage();
    return image.isNull() ? QVariant() : QVariant::fromValue(image);
  }
  return values_.value(key);
}

void Filter::setDefaults() {
  for (auto it = classAttributes_.cbegin(); it != classAttributes_.cend(); ++it) {
    const QVariantMap attribute = it.value().toMap();
    if (attribute.contains(FilterKeys::kDefault))
      setValue(attribute.value(FilterKeys::kDefault), it.key());
  }
}

Image Filter::imageInput(const QString& key) const { return values_.value(key).value<Image>(); }

double Filter::number(const QString& key, double fallback) const {
  const QVariant v = values_.value(key);
  bool ok = false;
  const double d = v.toDouble(&ok);
  return ok && v.typeId() != QMetaType::QString ? d : fallback;
}

}  // namespace image
