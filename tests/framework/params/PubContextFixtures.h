#pragma once

#include "framework/datasource/MasterClockInterface.h"
#include "framework/params/QCTextStepping.h"
#include "framework/render/QKQCGLContext.h"
#include "tests/framework/params/ParamsFixtures.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// Makes RecordingRenderers with the published inputs and outputs of the
// file played, and keeps the last one made.
class RecordingFactory : public QKQCGLContext::RendererFactory {
 public:
  bool load(QKQCGLContext::File&) override { return true; }
  std::shared_ptr<composition::QCRenderer> make(const QKQCGLContext::File& file) override;
  std::shared_ptr<RecordingRenderer> latest() const;
  std::atomic<int> made{0};

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<RecordingRenderer> latest_;
};

// A clock with a fixed measure that records the tempos it is given.
class RecordingClock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage&) override {}
  void setBPM(double bpm) override;
  std::vector<double> tempos() const;

 private:
  mutable std::mutex mutex_;
  std::vector<double> tempos_;
};

// A text element without a view: counts the steps the outputs ask for (on
// the main thread) and answers whether its step buttons follow a source.
class FakeTextElement : public FakeElement, public QCTextStepping {
 public:
  explicit FakeTextElement(QString key) : FakeElement(std::move(key), Row::Text) {}
  bool steppingButtonsSynced() const override { return synced.load(); }
  void parseFwdButtonUsed() override { ++forward; }
  void parseBackButtonUsed() override { ++back; }
  void loadText(const QString&) override {}
  std::atomic<bool> synced{false};
  std::atomic<int> forward{0};
  std::atomic<int> back{0};
};
