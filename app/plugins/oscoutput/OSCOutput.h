#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/oscoutput/OSCOutputItem.h"
#include "app/plugins/output/OutputPlugin.h"

#include <memory>

class OSCOutPort;
class OSCOutputSender;
class QKOSCManager;

// The "OSCOutput" plug-in: rows that send their sources out as OSC float
// messages, to "/ZAPH/1", "/ZAPH/2" … by default. Once per data-source tick
// every message queued since the last pass leaves in one bundle through the
// chosen output port; a tick with nothing queued sends nothing, and with no
// port chosen the messages are dropped. The port is dropped at once when it
// is deleted, and found again by label when the port list changes.
class OSCOutput : public OutputPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;        // "OSCOutput"
  static const QString kOutputPortName;  // "outputPortName"
  static const QString kItemArray;       // "itemArray"

  OSCOutput(const QString& type, const QString& name, std::int32_t uniqueID);
  ~OSCOutput() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Rows ---
  void createItem() override;
  // "/ZAPH/n" with the smallest n from 1 that no row uses.
  QString createUniqueNameForThisPlugin() const;
  QStringList columnTitles() const override;
  QVariant cellValue(int row, int column) const override;
  bool setCellValue(int row, int column, const QVariant& value) override;

  // --- Sending ---
  // Queues one float to the encoded address (any thread).
  void sendThisMessage(const QByteArray& encodedAddress, float value);
  // The per-tick pass.
  const std::shared_ptr<OSCOutputSender>& sender() const { return sender_; }

  // --- Port ---
  void oscOutPortsChanged();
  void outPortDeleted(const void* port);
  void choosePort(const QString& label);
  QString outputPortName() const { return outputPortName_; }
  std::shared_ptr<OSCOutPort> outPort() const;
  QStringList portLabels() const;

 protected:
  void destinationChosen(const QString& title) override;

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  QKOSCManager* oscManager() const;
  OSCOutputItem* item(int row) const;

  QString outputPortName_;
  std::shared_ptr<OSCOutputSender> sender_;
  bool inSynchArray_ = false;
};
