#include "framework/toolkit/MetadataQueryAdditions.h"

namespace MetadataQueryAdditions {

namespace {

using Kind = QueryPredicate::Kind;

QueryPredicate fold(const QueryPredicate& predicate);

// AND and OR: the absorbing constant wins, the neutral one drops out.
QueryPredicate foldCompound(const QueryPredicate& predicate) {
  const bool isAnd = predicate.kind() == Kind::And;
  const Kind absorbing = isAnd ? Kind::False : Kind::True;
  std::vector<QueryPredicate> kept;
  for (const QueryPredicate& sub : predicate.subpredicates()) {
    QueryPredicate folded = fold(sub);
    if (folded.kind() == absorbing) return folded;
    if (!folded.isConstant()) kept.push_back(std::move(folded));
  }
  if (kept.empty())
    return isAnd ? QueryPredicate::truePredicate() : QueryPredicate::falsePredicate();
  if (kept.size() == 1) return kept.front();
  return isAnd ? QueryPredicate::andPredicate(std::move(kept))
               : QueryPredicate::orPredicate(std::move(kept));
}

QueryPredicate fold(const QueryPredicate& predicate) {
  switch (predicate.kind()) {
    case Kind::Not: {
      const QueryPredicate inner = fold(predicate.subpredicates().front());
      if (inner.kind() == Kind::True) return QueryPredicate::falsePredicate();
      if (inner.kind() == Kind::False) return QueryPredicate::truePredicate();
      return QueryPredicate::notPredicate(inner);
    }
    case Kind::And:
    case Kind::Or:
      return foldCompound(predicate);
    default:
      return predicate;
  }
}

}  // namespace

std::optional<QueryPredicate> spotlightFriendlyPredicate(const QueryPredicate& predicate) {
  QueryPredicate folded = fold(predicate);
  if (folded.kind() == Kind::True) return std::nullopt;
  return folded;
}

}  // namespace MetadataQueryAdditions
