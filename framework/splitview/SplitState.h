#pragma once

#include <QString>

#include <optional>
#include <vector>

// The one-line state string of a split view ("3 120.25 -200 300H"): the
// number of panes, hidden ones included, then one field per pane — an open
// pane's dimension plus its fraction, minus the dimension a collapsed pane
// would expand to, "H" after a hidden pane's. Numbers are written with six
// significant digits and read and written in the C locale.
class SplitState {
 public:
  struct Field {
    double value = 0.0;  // dimension + fraction, or minus the dimension when collapsed
    bool hidden = false;
  };

  static QString format(const std::vector<Field>& fields);
  // The fields of a string written for `count` panes, or nothing when the
  // count, the number of fields or any field is wrong: a field must be a
  // finite number within the 32-bit range, optionally followed by "H".
  static std::optional<std::vector<Field>> parse(const QString& text, int count);

  // "TQSplitView H Name" / "TQSplitView V Name".
  static QString defaultsKey(const QString& name, bool horizontal);
};
