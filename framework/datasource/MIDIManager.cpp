#include "framework/datasource/MIDIManager.h"

#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIPollObject.h"
#include "framework/datasource/MasterClockInterface.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <cmath>

namespace {
void post(const char* name, void* object) {
  NotificationCenter::defaultCenter().post(QString::fromLatin1(name), object);
}
}  // namespace

MIDIManager::MIDIManager(AppControllerInterface* appController, Options options)
    : QKMIDIManager(options),
      appController_(appController),
      dedicated_(QString::fromLatin1(kDedicatedDefaultsKey), QString::fromLatin1(kRawRoot),
                 QString::fromLatin1(kDedicatedRoot)) {
  generalInit();
}

MIDIManager::~MIDIManager() {
  closeAll();  // no input reaches this object once it is going
  NotificationCenter::defaultCenter().removeObserver(this);
}

void MIDIManager::generalInit() {
  if (appController_) dataSourceController_.store(appController_->dataSourceController());
  auto& center = NotificationCenter::defaultCenter();
  center.addObserver(this, QString::fromLatin1(InputNotifications::MIDIRegisterForPoll), nullptr,
                     [this](const Notification& note) {
                       if (note.object)
                         pollArray_.lockAddObject(static_cast<MIDIPollObject*>(note.object));
                     });
  center.addObserver(
      this, QString::fromLatin1(InputNotifications::MIDIUnregisterForPoll), nullptr,
      [this](const Notification& note) {
        if (note.object)
          pollArray_.lockRemoveIdenticalPtr(static_cast<MIDIPollObject*>(note.object));
      });
  QKMIDIManager::generalInit();
}

QString MIDIManager::naturalNameForMIDINoteValue(int note) {
  static const char* const names[] = {"A",  "A#", "B", "C",  "C#", "D",
                                      "D#", "E",  "F", "F#", "G",  "G#"};
  const int index = ((note + 3) % 12 + 12) % 12;
  const long octave = static_cast<long>(std::ceil((note - 35) / 12.0));
  return QStringLiteral("%1%2").arg(QString::fromLatin1(names[index])).arg(octave);
}

QString MIDIManager::receivingNodeName() const { return QStringLiteral("To ZAPH"); }
QString MIDIManager::sendingNodeName() const { return QStringLiteral("From ZAPH"); }

DataSourceController* MIDIManager::controller() {
  DataSourceController* dsc = dataSourceController_.load();
  if (!dsc && appController_) {
    dsc = appController_->dataSourceController();
    dataSourceController_.store(dsc);
  }
  return dsc;
}

void MIDIManager::receivedMIDI(const QKMIDIMessageArray& messages) {
  if (messages.empty()) return;
  DataSourceController* dsc = controller();
  if (!dsc) return;  // too early: nothing to name the messages into yet
  for (const QKMIDIMessage& message : messages) {
    if (message.isClockMessage()) {
      if (MasterClockInterface* clock = appController_ ? appController_->masterClock() : nullptr)
        clock->midiClockReceived(message);
    } else {
      dsc->midiMsgReceived(message);
    }
  }
}

void MIDIManager::setupChanged() {
  saveSourceEnableStatesToDefaults();
  post(InputNotifications::MIDISetupAboutToChange, this);
  QKMIDIManager::setupChanged();
  loadSourceEnableStatesFromDefaults();
  post(InputNotifications::MIDISetupChanged, this);
}

void MIDIManager::bang() {
  pollArray_.lockMakeObjectsPerform([](MIDIPollObject* object) { object->bang(); });
}

QString MIDIManager::dedicatedNameFor(const QString& sourceName) const {
  return dedicated_.dedicatedNameFor(sourceName);
}

void MIDIManager::saveSourceEnableStatesToDefaults() {
  if (sourceArray().lockCount() == 0) return;
  const QVariantMap snapshot = createSnapshot();
  const QVariant states = snapshot.value(QStringLiteral("src"));
  if (!states.isValid()) return;
  UserDefaults::standard().setValue(QString::fromLatin1(kSourcesEnabledDefaultsKey), states);
  UserDefaults::standard().synchronize();
}

void MIDIManager::loadSourceEnableStatesFromDefaults() {
  const QVariant states =
      UserDefaults::standard().value(QString::fromLatin1(kSourcesEnabledDefaultsKey));
  if (states.isValid()) loadSnapshot({{QStringLiteral("src"), states}});
}

void MIDIManager::saveDedicatedToDefaults() { dedicated_.saveToDefaults(); }

void MIDIManager::loadDedicatedFromDefaults() { dedicated_.loadFromDefaults(controller()); }
