#pragma once

#include "framework/toolkit/QueryPredicate.h"

#include <optional>

namespace MetadataQueryAdditions {

// The predicate with its constants folded away, for a file search that takes
// no constants: AND with FALSE is FALSE, OR with TRUE is TRUE, NOT TRUE is
// FALSE, and TRUE and FALSE drop out of the others. Answers nothing when no
// constraint is left (everything matches), `QueryPredicate::falsePredicate()`
// when the predicate matches nothing (no search to run), otherwise a
// predicate without constants.
std::optional<QueryPredicate> spotlightFriendlyPredicate(const QueryPredicate& predicate);

}  // namespace MetadataQueryAdditions
