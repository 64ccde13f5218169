#pragma once

class MasterClockInterface;

// An object that finds the master clock by posting
// MasterClockInterface::kFinderNotification with itself (as this
// interface) as the object; the clock calls setMasterClock before the post
// returns.
class MasterClockClient {
 public:
  virtual ~MasterClockClient() = default;
  virtual void setMasterClock(MasterClockInterface* clock) = 0;
};
