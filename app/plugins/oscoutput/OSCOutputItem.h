#pragma once

#include "app/plugins/output/OutputItem.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>

class OSCOutput;

// A row of the OSC output: its source's every new value leaves as one float
// message to the row's address. The address is encoded once when it is
// set. An address that OSC cannot carry is refused when edited; one loaded
// from a snapshot is kept as it stands but sends nothing (logged once).
class OSCOutputItem : public OutputItem {
 public:
  static const QString kAddress;  // "address"

  OSCOutputItem(DataSourceController* controller, OSCOutput* output);
  static std::shared_ptr<OSCOutputItem> create(DataSourceController* controller, OSCOutput* output);

  // A leading "/", then no white space, control character or any of
  // # * , ? [ ] { }.
  static bool isValidAddress(const QString& address);

  QString address() const;
  // Refused (false, nothing changed) for an address that is not valid.
  bool editAddress(const QString& address);
  // Any text, kept as it stands.
  void setAddress(const QString& address);

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

 protected:
  bool valueChanged(float value) override;

 private:
  OSCOutput* const output_;
  mutable std::mutex addressMutex_;
  QString address_;
  QByteArray encoded_;  // empty when the address cannot be sent
  std::atomic<bool> reportedInvalid_{false};
};
