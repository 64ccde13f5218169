#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the life of the object and then gives
// back what was there before (unset when it was unset), so a test that
// stops at a failed assertion does not hand its setting to the tests that
// run after it in the same process.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* previous = std::getenv(name)) previous_ = std::string(previous);
    ::setenv(name, value, 1);
  }
  ~ScopedEnvironmentVariable() {
    if (previous_)
      ::setenv(name_.c_str(), previous_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};
