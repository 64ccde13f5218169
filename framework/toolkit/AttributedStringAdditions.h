#pragma once

#include "framework/toolkit/AttributedString.h"

#include <memory>
#include <optional>

namespace AttributedStringAdditions {

// An attributed string, or nothing when the string (a null QString) or the
// attributes are missing.
std::shared_ptr<AttributedString> createWithString(const QString& string,
                                                   const std::optional<QVariantMap>& attributes);

}  // namespace AttributedStringAdditions
