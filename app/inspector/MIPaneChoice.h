#pragma once

#include <QString>

// Which container the inspector shows for the kinds selected, and the name
// both name fields show. Pure: the first rule that holds wins.
struct MIKindCounts {
  int movies = 0;
  int compositions = 0;
  int taps = 0;
  int folders = 0;
  int texts = 0;
  int webs = 0;
  int images = 0;
  int total() const { return movies + compositions + taps + texts + webs + images; }
};

struct MIPaneChoice {
  enum class Box { Empty, Multiple, Movie, Composition, Web, Tap };
  enum class Kind { None, Composition, Text, Image, Movie, Web, Tap, Mixed };

  Box box = Box::Empty;
  Kind kind = Kind::None;
  // The text of both name fields; empty: the single entry's own name.
  QString title;

  // `entries` counts everything selected, folders included.
  static MIPaneChoice choose(const MIKindCounts& counts, int entries);
};
