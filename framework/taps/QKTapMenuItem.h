#pragma once

#include <QString>

// One item of the tap manager's menus: a source tap's name (empty for the
// leading "<none>"), its indentation (its layer's depth) and whether the tap
// has a layer.
struct QKTapMenuItem {
  QString tapName;
  int indentation = 0;
  bool hasLayer = false;

  bool isNone() const { return tapName.isEmpty(); }
  bool operator==(const QKTapMenuItem& other) const = default;
};
