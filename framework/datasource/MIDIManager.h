#pragma once

#include "framework/datasource/DedicatedSources.h"
#include "framework/datasource/MIDIManagerInterface.h"
#include "platform/midi/QKMIDIManager.h"
#include "platform/threading/MutLockArray.h"

#include <QString>
#include <QVariantMap>

#include <atomic>

class AppControllerInterface;
class DataSourceController;
class MIDIPollObject;

// The program's MIDI manager. Its virtual endpoints are "To ZAPH" (others
// send to it) and "From ZAPH" (others read from it). Every incoming message
// goes, on its input thread, to the master clock when it is a timing clock,
// start or stop, and otherwise to the data-source controller, which names it
// into the tree. It keeps the sources' enable states and the user's
// dedicated MIDI sources in the user defaults, and bangs the registered MIDI
// outputs on every data-source tick.
//
// Opened at construction, closed by `closeAll` (at quit) or destruction.
class MIDIManager : public QKMIDIManager, public MIDIManagerInterface {
 public:
  static constexpr char kDedicatedDefaultsKey[] = "MIDIDedicatedDict";
  static constexpr char kSourcesEnabledDefaultsKey[] = "midiSourcesEnabledDict";
  static constexpr char kRawRoot[] = "MIDI";
  static constexpr char kDedicatedRoot[] = "Dedicated MIDI";

  explicit MIDIManager(AppControllerInterface* appController, Options options = {});
  ~MIDIManager() override;

  void generalInit() override;

  // "C3" for 60: the note letter and the octave, with 0 as "C-2".
  static QString naturalNameForMIDINoteValue(int note);

  QString receivingNodeName() const override;
  QString sendingNodeName() const override;
  void receivedMIDI(const QKMIDIMessageArray& messages) override;
  // Keeps the enable states across the rebuild and announces it.
  void setupChanged() override;

  // MIDIManagerInterface
  void bang() override;
  QString dedicatedNameFor(const QString& sourceName) const override;

  void saveSourceEnableStatesToDefaults();
  void loadSourceEnableStatesFromDefaults();
  void saveDedicatedToDefaults();
  void loadDedicatedFromDefaults();
  // Source name → dedicated name; the MIDI preferences edit it, then save
  // and load.
  QVariantMap dedicatedSourcesDict() const { return dedicated_.dictionary(); }
  void setDedicatedSourcesDict(const QVariantMap& dictionary) {
    dedicated_.setDictionary(dictionary);
  }

  MutLockArray<MIDIPollObject*>& pollArray() { return pollArray_; }

 private:
  DataSourceController* controller();

  AppControllerInterface* const appController_;
  std::atomic<DataSourceController*> dataSourceController_{nullptr};
  MutLockArray<MIDIPollObject*> pollArray_;
  DedicatedSources dedicated_;
};
