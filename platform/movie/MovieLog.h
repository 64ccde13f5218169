#pragma once

// FFmpeg's own messages: errors go to our log, rate-limited (a damaged movie
// can complain every frame); chatter is dropped.
class MovieLog {
 public:
  static void install();
};
