#pragma once

#include <QString>

#include <optional>

// What a number field of the preferences accepts: the whole text must be a
// finite number; an integer field keeps its integer part (toward zero:
// "120.9" is 120); then the value must lie within the field's bounds. A
// refused text gives the reason, naming the field.
class PrefsNumberRule {
 public:
  static PrefsNumberRule size(const QString& name);    // integer, 1 to 8192 pixels
  static PrefsNumberRule frames(const QString& name);  // integer, 1 or more
  static PrefsNumberRule tempo(const QString& name);   // integer beats per minute, above 0
  static PrefsNumberRule number(const QString& name);  // any finite number

  std::optional<double> read(const QString& text, QString* reason = nullptr) const;

  static constexpr double kLargestSize = 8192;

 private:
  PrefsNumberRule(QString name, bool integer, double minimum, std::optional<double> maximum)
      : name_(std::move(name)), integer_(integer), minimum_(minimum), maximum_(maximum) {}
  QString boundsText() const;

  QString name_;
  bool integer_;
  double minimum_;
  std::optional<double> maximum_;
};
