#pragma once

#include <QString>

// The framework as a whole.
class Halvane {
 public:
  static QString version();
};
