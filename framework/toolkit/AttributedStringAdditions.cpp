#include "framework/toolkit/AttributedStringAdditions.h"

namespace AttributedStringAdditions {

std::shared_ptr<AttributedString> createWithString(const QString& string,
                                                   const std::optional<QVariantMap>& attributes) {
  if (string.isNull() || !attributes) return nullptr;
  return std::make_shared<AttributedString>(string, *attributes);
}

}  // namespace AttributedStringAdditions
