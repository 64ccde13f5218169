#pragma once

#include <cstdint>

// The type codes of data-source nodes. A code decides how a node ticks,
// whether it shows in menus and how it describes itself.
namespace DSType {
enum : int32_t {
  Deleted = -1,            // set by prepareToBeDeleted; the node is inert
  Plain = 0,               // no value of its own; an infrequent float of this type is a button
  FloatFrequent = 1,       // pushed on the next tick, repeats pass
  FloatFreqNonRepeat = 2,  // pushed at once, equal values dropped
  FloatInfrequent = 3,     // pushed at once, equal values dropped
  FloatInfreqRepeat = 4,   // pushed at once, every value passes
  ButtonFloat = 5,         // infrequent float whose rise to exactly 1.0 is a button press
  Holder = 6,              // plain branch (also the root "ZAPH")
  InputHolder = 7,         // "Key", "MIDI", "OSC": never ticked, hidden from menus
  UntickedHolder = 8,      // never ticked, shown in menus
  ColorHolder = 9,
  PointHolder = 10,
};
}  // namespace DSType
