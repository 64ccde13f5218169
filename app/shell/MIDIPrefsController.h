#pragma once

#include "platform/foundation/NotificationObservers.h"

#include <QString>
#include <QWidget>

class DataSourceController;
class DedicatedSourcesSection;
class MIDIManager;
class MIDISourcesModel;
class QCheckBox;
class QKNSTableView;
class QLabel;

// The "MIDI" preference pane: the dedicated MIDI sources (a note, a
// controller or a pitch wheel on one channel, published under "Dedicated
// MIDI" with a name of the user's), the MIDI sources listened to, and
// whether notes are shown by letter names.
//
// `awakeFromNib` runs at every start-up, before the window is first shown:
// it restores the dedicated sources from "MIDIDedicatedDict" and writes
// "QKMIDIUseNaturalNoteNamesFlag" (1) when it is absent. Main thread; the
// MIDI set-up notification (from the MIDI polling thread) is taken to the
// main thread.
class MIDIPrefsController : public QWidget {
  Q_OBJECT
 public:
  static const QString kNaturalNoteNamesKey;           // "QKMIDIUseNaturalNoteNamesFlag"
  static const QString kNaturalNoteNamesNotification;  // "…FlagChangedNotification"

  explicit MIDIPrefsController(QWidget* parent = nullptr);
  ~MIDIPrefsController() override;

  void awakeFromNib(MIDIManager* midiManager, DataSourceController* dataSourceController);

  void createNewPressed();
  void deleteSelectedPressed();
  void useNaturalNoteNamesButtonUsed();
  // Ends listening without creating anything (the window is closing).
  void stopDetecting();
  // "Ded. MIDI %ld" with the first number from 1 up that is free.
  QString getUniqueDedicatedName() const;

  DedicatedSourcesSection* dedicatedSection() const { return dedicated_; }
  QKNSTableView* sourcesTableView() const { return sourcesTable_; }
  QCheckBox* useNaturalNoteNamesButton() const { return naturalNames_; }
  QLabel* midiStatusLabel() const { return midiStatus_; }

 private:
  void midiSetupChanged();
  void readNaturalNoteNamesFlag();

  MIDIManager* midiManager_ = nullptr;
  DataSourceController* dataSourceController_ = nullptr;
  DedicatedSourcesSection* dedicated_ = nullptr;
  QKNSTableView* sourcesTable_ = nullptr;
  MIDISourcesModel* sourcesModel_ = nullptr;
  QLabel* midiStatus_ = nullptr;
  QCheckBox* naturalNames_ = nullptr;
  NotificationObservers observers_;  // last: removed first
};
