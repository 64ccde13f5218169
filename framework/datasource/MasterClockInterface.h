#pragma once

class QKMIDIMessage;

// What the framework asks of the master clock.
//
// Objects that need the clock post kFinderNotification with themselves (as
// a MasterClockClient*, passed as void*) as object; the clock answers by
// calling their setMasterClock before the post returns. The clock posts
// kMeasureDurationChangedNotification (object: the clock) when the measure
// duration or the beats per measure change.
class MasterClockInterface {
 public:
  static constexpr char kFinderNotification[] = "QKMCFinderNotification";
  static constexpr char kMeasureDurationChangedNotification[] =
      "QKMCMeasureDurationChangedNotification";

  virtual ~MasterClockInterface() = default;
  // A MIDI timing clock (0xF8), start (0xFA) or stop (0xFC), on the MIDI
  // input thread; it must not wait.
  virtual void midiClockReceived(const QKMIDIMessage& message) = 0;

  // The position in the current measure, 0 … 1. Any thread (the render
  // thread reads it every frame): it must not wait.
  virtual float measurePosition() const { return 0.0f; }
  // The whole measures counted since the clock started. Any thread, without
  // waiting.
  virtual long measuresElapsed() const { return 0; }
  // Any thread, without waiting.
  virtual int beatsPerMeasure() const { return 4; }
  // Any thread, without waiting.
  virtual int quantizedSubdivisions() const { return 2; }
  // Seconds; any thread, without waiting.
  virtual float measureDuration() const { return 4.0f; }
  // Sets the tempo in beats per minute; any thread (the clock moves the
  // change to the main thread itself and never waits).
  virtual void setBPM(double bpm) { (void)bpm; }
};
