#pragma once

#include "framework/render/TheApplication.h"

// Puts the application's colour scheme back as it was when the test ends, so
// that a test that changes the theme leaves the next one the defaults.
class SavedTheme {
 public:
  SavedTheme() : saved_(TheApplication::instance()->colorScheme()) {}
  ~SavedTheme() { TheApplication::instance()->colorScheme() = saved_; }
  SavedTheme(const SavedTheme&) = delete;
  SavedTheme& operator=(const SavedTheme&) = delete;

 private:
  InterfaceColorScheme saved_;
};
