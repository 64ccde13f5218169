#pragma once

#include <QString>

// FFmpeg's own messages: errors go to our log, rate-limited (a damaged movie
// can complain every frame); chatter is dropped.
class MovieLog {
 public:
  static void install();

  // While one lives, FFmpeg's error messages on this thread are also kept
  // (they still reach the log): the demuxer's or decoder's own words for
  // why an open failed. Captures nest; the innermost one collects.
  class Capture {
   public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    // The last message, without FFmpeg's "[name @ address]" prefix; empty
    // when none came.
    QString last() const { return last_; }
    void take(const QString& message) { last_ = message; }

   private:
    Capture* outer_;
    QString last_;
  };
};
