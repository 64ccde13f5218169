#pragma once

#include "platform/foundation/NotificationObservers.h"

#include <QString>
#include <QWidget>

class DataSourceController;
class DedicatedSourcesSection;
class OSCInPortsModel;
class OSCOutPortsModel;
class QKNSTableView;
class QKOSCManager;
class QLabel;
class QPushButton;

// The "OSC" preference pane: the input ports the program listens on, the
// output ports the OSC output plug-ins send to, and the dedicated OSC
// sources (an address published under "Dedicated OSC" with a name of the
// user's).
//
// `awakeFromNib` runs at every start-up, before the window is first shown:
// it opens the stored ports ("OSCInPortSnapshotArray", "OSCOutPortArray")
// and restores the dedicated sources ("OSCDedicatedDict"). Every change of
// the ports is stored at once. A port number outside 1–65535 is refused with
// the reason under the tables, and the port keeps its number. Main thread.
class OSCPrefsController : public QWidget {
  Q_OBJECT
 public:
  explicit OSCPrefsController(QWidget* parent = nullptr);
  ~OSCPrefsController() override;

  void awakeFromNib(QKOSCManager* oscManager, DataSourceController* dataSourceController);

  void createNewDedicatedPressed();
  void deleteSelectedDedicatedPressed();
  void createNewInPortPressed();
  void deleteSelectedInPortPressed();
  void createNewOutPortPressed();
  void deleteSelectedOutPortPressed();
  // Ends listening without creating anything (the window is closing).
  void stopDetecting();

  DedicatedSourcesSection* dedicatedSection() const { return dedicated_; }
  QKNSTableView* inPortTableView() const { return inPortTable_; }
  QKNSTableView* outPortTableView() const { return outPortTable_; }
  // The line under the port tables: why the last port edit was refused.
  QString portStatusText() const;

 private:
  QWidget* makePortTable(QKNSTableView*& table, const QString& title, const QString& name,
                         QPushButton*& add, QPushButton*& remove);
  void showPortStatus(const QString& text);
  static int selectedRow(const QKNSTableView* table);

  QKOSCManager* oscManager_ = nullptr;
  DataSourceController* dataSourceController_ = nullptr;
  DedicatedSourcesSection* dedicated_ = nullptr;
  QKNSTableView* inPortTable_ = nullptr;
  QKNSTableView* outPortTable_ = nullptr;
  OSCInPortsModel* inPortsModel_ = nullptr;
  OSCOutPortsModel* outPortsModel_ = nullptr;
  QPushButton* addInPort_ = nullptr;
  QPushButton* removeInPort_ = nullptr;
  QPushButton* addOutPort_ = nullptr;
  QPushButton* removeOutPort_ = nullptr;
  QLabel* portStatus_ = nullptr;
  NotificationObservers observers_;  // last: removed first
};
