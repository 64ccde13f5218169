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
    attributes.insert(row.key, CustomFilter::scalarAttribute(row));
  if (!pointKey.isEmpty()) attributes.insert(pointKey, QVariantMap{{kType, kTypePosition}});
  return attributes;
}

QStringList CustomFilterSpec::inputKeys() const {
  QStringList keys{kInputImage};
  keys += images;
  for (const CustomFilter::ScalarRow& row : scalars) keys.append(row.key);
  if (!pointKey.isEmpty()) keys.append(pointKey);
  return keys;
}
