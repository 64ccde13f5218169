#pragma once

#include <QString>

#include <vector>

// A search predicate: the constants TRUE and FALSE, a comparison (its text,
// as the search takes it, e.g. "name == 'clip.mov'"), NOT of one predicate,
// and AND and OR of any number.
class QueryPredicate {
 public:
  enum class Kind { True, False, Comparison, Not, And, Or };

  static QueryPredicate truePredicate() { return QueryPredicate(Kind::True); }
  static QueryPredicate falsePredicate() { return QueryPredicate(Kind::False); }
  static QueryPredicate comparison(const QString& text);
  static QueryPredicate notPredicate(const QueryPredicate& predicate);
  static QueryPredicate andPredicate(std::vector<QueryPredicate> subpredicates);
  static QueryPredicate orPredicate(std::vector<QueryPredicate> subpredicates);

  Kind kind() const { return kind_; }
  bool isConstant() const { return kind_ == Kind::True || kind_ == Kind::False; }
  const QString& text() const { return text_; }
  const std::vector<QueryPredicate>& subpredicates() const { return subpredicates_; }
  // "TRUEPREDICATE", "NOT (a)", "(a AND b)" …
  QString format() const;

  bool operator==(const QueryPredicate& other) const = default;

 private:
  explicit QueryPredicate(Kind kind, QString text = {}, std::vector<QueryPredicate> sub = {})
      : kind_(kind), text_(std::move(text)), subpredicates_(std::move(sub)) {}

  Kind kind_;
  QString text_;
  std::vector<QueryPredicate> subpredicates_;
};
