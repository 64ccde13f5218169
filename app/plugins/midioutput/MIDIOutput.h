#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/midioutput/MIDIOutputItem.h"
#include "app/plugins/output/OutputPlugin.h"
#include "framework/datasource/MIDIPollObject.h"
#include "platform/midi/QKMIDIMessage.h"

#include <memory>
#include <mutex>
#include <vector>

class QKMIDIManager;
class QKMIDINode;

// The "MIDIOutput" plug-in: rows that send their sources out as MIDI control
// changes. A row's new value queues one message; once per data-source tick
// (`bang`, the MIDI manager's poll) the tick's batch goes, in queue order,
// to the chosen destination and then to the program's own "From ZAPH".
// After a change of the MIDI set-up the destination is found again by name;
// when it is gone the choice falls back to "<none>". The program's own
// endpoints are never offered (no feedback loop).
//
// Sending allocates nothing: messages queue by value in two vectors kept
// across ticks and swapped under the queue lock, and the nodes write each
// message into a fixed buffer. The destination node is an atomic shared
// pointer, so the main thread dropping it never frees what a tick sends to.
class MIDIOutput : public OutputPlugin, public MIDIPollObject {
  Q_OBJECT
 public:
  static const QString kTypeName;          // "MIDIOutput"
  static const QString kOutputDeviceName;  // "outputDeviceName"
  static const QString kItemArray;         // "itemArray"

  MIDIOutput(const QString& type, const QString& name, std::int32_t uniqueID);
  ~MIDIOutput() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Rows ---
  void createItem() override;
  QStringList columnTitles() const override;
  QVariant cellValue(int row, int column) const override;
  bool setCellValue(int row, int column, const QVariant& value) override;
  // The channel spinner steps (up or down) and the controller spinner.
  void stepChannel(int row, bool up);
  void stepController(int row, bool up);
  int currentHighestControllerValue() const { return currentHighestControllerValue_; }
  int currentChannelValue() const { return currentChannelValue_; }

  // --- Sending ---
  // Queues the message unless solo mutes the row (any thread).
  void sendMIDIMsg(const QKMIDIMessage& message, const OutputItem* from);
  // Sends the queue (the tick thread).
  void bang() override;
  // The messages queued and not yet sent.
  QKMIDIMessageArray queuedMessages() const;

  // --- Destination ---
  void midiSetupAboutToChange();
  void midiSetupChanged();
  QString outputDeviceName() const { return outputDeviceName_; }
  std::shared_ptr<QKMIDINode> outputNode() const { return std::atomic_load(&outputNode_); }
  // Chooses a destination by name ("<none>" or an unknown one: none).
  void chooseDestination(const QString& name);
  QStringList destinationNames() const;

 protected:
  void destinationChosen(const QString& title) override;

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  QKMIDIManager* midiManager() const;
  MIDIOutputItem* item(int row) const;

  QString outputDeviceName_;
  std::shared_ptr<QKMIDINode> outputNode_;  // atomic access only
  int currentHighestControllerValue_ = 0;
  int currentChannelValue_ = 1;

  mutable std::mutex msgLock_;
  QKMIDIMessageArray msgArray_;  // queued, under msgLock_
  QKMIDIMessageArray sending_;   // the tick's batch, the tick thread only
  bool registeredForPoll_ = false;
};
