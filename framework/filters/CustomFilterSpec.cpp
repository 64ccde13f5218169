#include "framework/filters/CustomFilterSpec.h"

#include "platform/image/FilterKeys.h"

using namespace FilterKeys;

QVariantMap CustomFilterSpec::classAttributes() const {
  if (displayName.isEmpty()) return {};
  QVariantMap attributes{{kFilterDisplayName, displayName}, {kFilterCategories, categories}};
  if (!description.isEmpty()) attributes.insert(kDescription, description);
  for (const QString& image : images)
    attributes.insert(image, CustomFilter::imageAttribute(QStringLiteral("Mask Image")));
  for (const CustomFilter::ScalarRow& row : scalars)
    if (row.described) attributes.insert(row.key, CustomFilter::scalarAttribute(row));
  for (const VectorRow& row : vectors) attributes.insert(row.key, row.attribute);
  if (!pointKey.isEmpty()) attributes.insert(pointKey, QVariantMap{{kType, kTypePosition}});
  return attributes;
}

QStringList CustomFilterSpec::inputKeys() const {
  QStringList keys{kInputImage};
  if (shape == Shape::Composite) keys.append(kInputBackgroundImage);
  keys += images;
  for (const CustomFilter::ScalarRow& row : scalars) keys.append(row.key);
  for (const VectorRow& row : vectors) keys.append(row.key);
  if (!pointKey.isEmpty()) keys.append(pointKey);
  return keys;
}

const CustomFilterSpec::VectorRow* CustomFilterSpec::vectorRow(const QString& key) const {
  for (const VectorRow& row : vectors)
    if (row.key == key) return &row;
  return nullptr;
}

bool CustomFilterSpec::isScalar(const QString& key) const {
  for (const CustomFilter::ScalarRow& row : scalars)
    if (row.key == key) return true;
  return false;
}
