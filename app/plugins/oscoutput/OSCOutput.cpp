#include "app/plugins/oscoutput/OSCOutput.h"

#include "app/plugins/oscoutput/OSCOutputSender.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QPointer>

const QString OSCOutput::kTypeName = QStringLiteral("OSCOutput");
const QString OSCOutput::kOutputPortName = QStringLiteral("outputPortName");
const QString OSCOutput::kItemArray = QStringLiteral("itemArray");

OSCOutput::OSCOutput(const QString& type, const QString& name, std::int32_t uniqueID)
    : OutputPlugin(type, name, uniqueID), sender_(std::make_shared<OSCOutputSender>()) {}

OSCOutput::~OSCOutput() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass OSCOutput::pluginClass() {
  PluginClass output;
  output.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<OSCOutput>(type, name, uniqueID);
  };
  output.layout = &OSCOutput::buildWindow;
  return output;
}

std::unique_ptr<QWidget> OSCOutput::buildWindow(QObject* owner) {
  return buildOutputWindow(owner, QRectF(300, 300, 240, 160));
}

QKOSCManager* OSCOutput::oscManager() const {
  AppControllerInterface* app = appController();
  return app ? app->oscManager() : nullptr;
}

void OSCOutput::awakeFromNib() {
  OutputPlugin::awakeFromNib();
  oscOutPortsChanged();
  if (DataSourceController* dsc = dataSourceController()) {
    dsc->addToExternalSynchArray(sender_);
    inSynchArray_ = true;
  }
  observers().observe(QString::fromLatin1(InputNotifications::OSCOutPortsChanged), nullptr,
                      [this](const Notification&) {
                        MainThread::run([self = QPointer<OSCOutput>(this)] {
                          if (self && !self->deleted()) self->oscOutPortsChanged();
                        });
                      });
  // At once, on the deleting thread: no pass sends through the port again.
  observers().observe(QString::fromLatin1(InputNotifications::OSCOutPortDeletion), nullptr,
                      [this](const Notification& note) { outPortDeleted(note.object); });
  if (items().empty()) createItem();
}

void OSCOutput::prepareToBeDeleted() {
  if (deleted()) return;
  if (inSynchArray_)
    if (DataSourceController* dsc = dataSourceController())
      dsc->removeFromExternalSynchArray(sender_.get());
  inSynchArray_ = false;
  OutputPlugin::prepareToBeDeleted();
  sender_->setPort(nullptr);
}

// --- Rows ----------------------------------------------------------------------------------

OSCOutputItem* OSCOutput::item(int row) const {
  if (row < 0 || row >= static_cast<int>(items().size())) return nullptr;
  return static_cast<OSCOutputItem*>(items()[row].get());
}

QString OSCOutput::createUniqueNameForThisPlugin() const {
  for (long n = 1;; ++n) {
    const QString candidate = QStringLiteral("/ZAPH/%1").arg(n);
    bool taken = false;
    for (const auto& row : items())
      if (static_cast<const OSCOutputItem&>(*row).address() == candidate) taken = true;
    if (!taken) return candidate;
  }
}

void OSCOutput::createItem() {
  auto row = OSCOutputItem::create(dataSourceController(), this);
  row->setAddress(createUniqueNameForThisPlugin());
  appendItem(row);
}

QStringList OSCOutput::columnTitles() const { return {QStringLiteral("Address")}; }

QVariant OSCOutput::cellValue(int row, int column) const {
  const OSCOutputItem* output = item(row);
  return output && column == 0 ? QVariant(output->address()) : QVariant();
}

bool OSCOutput::setCellValue(int row, int column, const QVariant& value) {
  OSCOutputItem* output = item(row);
  if (!output || column != 0 || value.typeId() != QMetaType::QString) return false;
  if (!output->editAddress(value.toString())) {
    Log::line(QStringLiteral("\t\terr: refused the OSC address \"%1\": it needs a leading / and "
                             "no spaces, control characters or # * , ? [ ] { }")
                  .arg(value.toString()));
    return false;
  }
  reloadTable();
  return true;
}

// --- Sending -------------------------------------------------------------------------------

void OSCOutput::sendThisMessage(const QByteArray& encodedAddress, float value) {
  sender_->queue(encodedAddress, value);
}

// --- Port ----------------------------------------------------------------------------------

std::shared_ptr<OSCOutPort> OSCOutput::outPort() const { return sender_->port(); }

QStringList OSCOutput::portLabels() const {
  QStringList labels;
  if (QKOSCManager* manager = oscManager())
    for (const auto& port : manager->outPortArray().lockCopy())
      if (port) labels << port->portLabel();
  return labels;
}

void OSCOutput::oscOutPortsChanged() {
  destinationChosen(fillDestinations(portLabels(), outputPortName_));
}

void OSCOutput::choosePort(const QString& label) {
  destinationChosen(fillDestinations(portLabels(), label));
}

void OSCOutput::outPortDeleted(const void* port) {
  const std::shared_ptr<OSCOutPort> current = sender_->port();
  if (current && static_cast<const void*>(current.get()) == port) sender_->setPort(nullptr);
}

void OSCOutput::destinationChosen(const QString& title) {
  outputPortName_.clear();
  std::shared_ptr<OSCOutPort> port;
  if (!title.isEmpty() && title != kNone) {
    outputPortName_ = title;
    if (QKOSCManager* manager = oscManager()) port = manager->findOutputWithLabel(title);
  }
  sender_->setPort(port);
  if (port)
    for (const auto& row : items()) row->setLastOutputValue(OutputItem::kNoValue);
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap OSCOutput::createSnapshot() const {
  QVariantList rows;
  for (const auto& row : items())
    rows.append(static_cast<const OSCOutputItem&>(*row).createSnapshot());
  return {{kSuperSnap, OutputPlugin::createSnapshot()},
          {kOutputPortName, outputPortName_.isEmpty() ? kNone : outputPortName_},
          {kItemArray, rows}};
}

void OSCOutput::loadSnapshot(const QVariantMap& snapshot) {
  OutputPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  deleteAllItems();
  const QVariant port = snapshot.value(kOutputPortName);
  if (port.typeId() == QMetaType::QString) choosePort(port.toString());
  loadRows(snapshot.value(kItemArray), [this](const QVariantMap& row) {
    auto output = OSCOutputItem::create(dataSourceController(), this);
    output->loadSnapshot(row);
    return output;
  });
}
