#include "app/plugins/midioutput/MIDIOutput.h"

#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManagerInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIManager.h"
#include "platform/midi/QKMIDINode.h"

#include <QPointer>

const QString MIDIOutput::kTypeName = QStringLiteral("MIDIOutput");
const QString MIDIOutput::kOutputDeviceName = QStringLiteral("outputDeviceName");
const QString MIDIOutput::kItemArray = QStringLiteral("itemArray");

namespace {
// Room for a tick of many rows: the queues grow only past it.
constexpr std::size_t kQueueCapacity = 512;
enum Column { Channel, Controller };
}  // namespace

MIDIOutput::MIDIOutput(const QString& type, const QString& name, std::int32_t uniqueID)
    : OutputPlugin(type, name, uniqueID) {
  msgArray_.reserve(kQueueCapacity);
  sending_.reserve(kQueueCapacity);
}

MIDIOutput::~MIDIOutput() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass MIDIOutput::pluginClass() {
  PluginClass output;
  output.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<MIDIOutput>(type, name, uniqueID);
  };
  output.layout = &MIDIOutput::buildWindow;
  return output;
}

std::unique_ptr<QWidget> MIDIOutput::buildWindow(QObject* owner) {
  return buildOutputWindow(owner, QRectF(300, 300, 240, 160));
}

QKMIDIManager* MIDIOutput::midiManager() const {
  AppControllerInterface* app = appController();
  return app ? dynamic_cast<QKMIDIManager*>(app->midiManager()) : nullptr;
}

void MIDIOutput::awakeFromNib() {
  OutputPlugin::awakeFromNib();
  auto& center = NotificationCenter::defaultCenter();
  // Set-up changes are noticed on the MIDI polling thread.
  observers().observe(QString::fromLatin1(InputNotifications::MIDISetupAboutToChange), nullptr,
                      [this](const Notification&) { midiSetupAboutToChange(); });
  observers().observe(QString::fromLatin1(InputNotifications::MIDISetupChanged), nullptr,
                      [this](const Notification&) {
                        MainThread::run([self = QPointer<MIDIOutput>(this)] {
                          if (self && !self->deleted()) self->midiSetupChanged();
                        });
                      });
  midiSetupChanged();
  if (items().empty()) createItem();
  center.post(QString::fromLatin1(InputNotifications::MIDIRegisterForPoll),
              static_cast<MIDIPollObject*>(this));
  registeredForPoll_ = true;
}

void MIDIOutput::prepareToBeDeleted() {
  if (deleted()) return;
  // Waits for a bang under way.
  if (registeredForPoll_)
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(InputNotifications::MIDIUnregisterForPoll),
        static_cast<MIDIPollObject*>(this));
  registeredForPoll_ = false;
  OutputPlugin::prepareToBeDeleted();
  std::atomic_store(&outputNode_, std::shared_ptr<QKMIDINode>());
}

// --- Rows ----------------------------------------------------------------------------------

MIDIOutputItem* MIDIOutput::item(int row) const {
  if (row < 0 || row >= static_cast<int>(items().size())) return nullptr;
  return static_cast<MIDIOutputItem*>(items()[row].get());
}

void MIDIOutput::createItem() {
  auto row = MIDIOutputItem::create(dataSourceController(), this);
  currentHighestControllerValue_ =
      MIDIOutputItem::clampController(currentHighestControllerValue_ + 1);
  row->setControllerValue(currentHighestControllerValue_);
  row->setChannelValue(currentChannelValue_);
  appendItem(row);
}

QStringList MIDIOutput::columnTitles() const {
  return {QStringLiteral("Ch."), QStringLiteral("CC")};
}

QVariant MIDIOutput::cellValue(int row, int column) const {
  const MIDIOutputItem* output = item(row);
  if (!output) return {};
  if (column == Channel) return output->channelValue();
  if (column == Controller) return output->controllerValue();
  return {};
}

bool MIDIOutput::setCellValue(int row, int column, const QVariant& value) {
  MIDIOutputItem* output = item(row);
  const std::optional<long long> number = wholeNumber(value);
  if (!output || !number) return false;
  if (column == Channel) {
    output->setChannelValue(*number);
    currentChannelValue_ = output->channelValue();
  } else if (column == Controller) {
    output->setControllerValue(*number);
    currentHighestControllerValue_ =
        std::max(currentHighestControllerValue_, output->controllerValue());
  } else {
    return false;
  }
  reloadTable();
  return true;
}

void MIDIOutput::stepChannel(int row, bool up) {
  if (const MIDIOutputItem* output = item(row))
    setCellValue(row, Channel, output->channelValue() + (up ? 1 : -1));
}

void MIDIOutput::stepController(int row, bool up) {
  if (const MIDIOutputItem* output = item(row))
    setCellValue(row, Controller, output->controllerValue() + (up ? 1 : -1));
}

// --- Sending -------------------------------------------------------------------------------

void MIDIOutput::sendMIDIMsg(const QKMIDIMessage& message, const OutputItem* from) {
  if (!soloLets(from)) return;
  std::lock_guard<std::mutex> lock(msgLock_);
  msgArray_.push_back(message);
}

QKMIDIMessageArray MIDIOutput::queuedMessages() const {
  std::lock_guard<std::mutex> lock(msgLock_);
  return msgArray_;
}

void MIDIOutput::bang() {
  {
    std::lock_guard<std::mutex> lock(msgLock_);
    if (msgArray_.empty()) return;
    msgArray_.swap(sending_);
  }
  // The destination first, then "From ZAPH".
  if (const std::shared_ptr<QKMIDINode> node = std::atomic_load(&outputNode_))
    node->sendMsgs(sending_);
  if (QKMIDIManager* manager = midiManager())
    if (const std::shared_ptr<QKMIDINode> main = manager->virtualDest()) main->sendMsgs(sending_);
  sending_.clear();
}

// --- Destination ---------------------------------------------------------------------------

QStringList MIDIOutput::destinationNames() const {
  QKMIDIManager* manager = midiManager();
  if (!manager) return {};
  const QStringList own{manager->receivingNodeName(), manager->sendingNodeName(),
                        QStringLiteral("to ZAPH")};
  QStringList names;
  for (const auto& node : manager->destArray().lockCopy())
    if (node && !own.contains(node->name())) names << node->name();
  return names;
}

void MIDIOutput::midiSetupAboutToChange() {
  std::atomic_store(&outputNode_, std::shared_ptr<QKMIDINode>());
}

void MIDIOutput::midiSetupChanged() {
  destinationChosen(fillDestinations(destinationNames(), outputDeviceName_));
}

void MIDIOutput::chooseDestination(const QString& name) {
  destinationChosen(fillDestinations(destinationNames(), name));
}

void MIDIOutput::destinationChosen(const QString& title) {
  std::atomic_store(&outputNode_, std::shared_ptr<QKMIDINode>());
  outputDeviceName_.clear();
  QKMIDIManager* manager = midiManager();
  if (!title.isEmpty() && title != kNone && manager) {
    if (std::shared_ptr<QKMIDINode> node = manager->findDestNodeNamed(title)) {
      std::atomic_store(&outputNode_, node);
      outputDeviceName_ = title;
    }
  }
  for (const auto& row : items()) row->setLastOutputValue(OutputItem::kNoValue);
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap MIDIOutput::createSnapshot() const {
  QVariantList rows;
  for (const auto& row : items())
    rows.append(static_cast<const MIDIOutputItem&>(*row).createSnapshot());
  return {{kSuperSnap, OutputPlugin::createSnapshot()},
          {kOutputDeviceName, outputDeviceName_.isEmpty() ? kNone : outputDeviceName_},
          {kItemArray, rows}};
}

void MIDIOutput::loadSnapshot(const QVariantMap& snapshot) {
  OutputPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  deleteAllItems();
  currentHighestControllerValue_ = 0;
  const QVariant device = snapshot.value(kOutputDeviceName);
  chooseDestination(device.typeId() == QMetaType::QString ? device.toString() : outputDeviceName_);
  loadRows(snapshot.value(kItemArray), [this](const QVariantMap& row) {
    auto output = MIDIOutputItem::create(dataSourceController(), this);
    output->loadSnapshot(row);
    if (row.contains(MIDIOutputItem::kControllerValue))
      currentHighestControllerValue_ =
          std::max(currentHighestControllerValue_, output->controllerValue());
    if (row.contains(MIDIOutputItem::kChannelValue)) currentChannelValue_ = output->channelValue();
    return output;
  });
}
