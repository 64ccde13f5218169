#include "framework/toolkit/QueryPredicate.h"

#include <QStringList>

QueryPredicate QueryPredicate::comparison(const QString& text) {
  return QueryPredicate(Kind::Comparison, text);
}

QueryPredicate QueryPredicate::notPredicate(const QueryPredicate& predicate) {
  return QueryPredicate(Kind::Not, {}, {predicate});
}

QueryPredicate QueryPredicate::andPredicate(std::vector<QueryPredicate> subpredicates) {
  return QueryPredicate(Kind::And, {}, std::move(subpredicates));
}

QueryPredicate QueryPredicate::orPredicate(std::vector<QueryPredicate> subpredicates) {
  return QueryPredicate(Kind::Or, {}, std::move(subpredicates));
}

QString QueryPredicate::format() const {
  switch (kind_) {
    case Kind::True:
      return QStringLiteral("TRUEPREDICATE");
    case Kind::False:
      return QStringLiteral("FALSEPREDICATE");
    case Kind::Comparison:
      return text_;
    case Kind::Not:
      return QStringLiteral("NOT (%1)").arg(subpredicates_.front().format());
    case Kind::And:
    case Kind::Or: {
      QStringList parts;
      for (const QueryPredicate& sub : subpredicates_) parts.append(sub.format());
      const QString separator =
          kind_ == Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
      return QLatin1Char('(') + parts.join(separator) + QLatin1Char(')');
    }
  }
  return {};
}
