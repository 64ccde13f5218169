#pragma once

#include "platform/osc/OSCBundle.h"
#include "platform/osc/OSCMessage.h"

#include <lo/lo.h>

// Conversions between our OSC objects and liblo's.
class OSCLoCodec {
 public:
  // A new liblo message (free it with lo_message_free).
  static lo_message toLo(const OSCMessage& message);
  // A new liblo bundle, to be acted on at once (free it with
  // lo_bundle_free_recursive).
  static lo_bundle toLo(const OSCBundle& bundle);
  // A message from what liblo hands a method handler (already checked by
  // liblo against its type tags).
  static OSCMessage fromLo(const char* path, const char* types, lo_arg** argv, int argc);
  // The address as text. Addresses repeat, so a small cache per thread hands
  // back the string made before instead of decoding and allocating anew.
  static QString address(const char* path);
};
