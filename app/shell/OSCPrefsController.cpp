#include "app/shell/OSCPrefsController.h"

#include "app/shell/DedicatedSourcesSection.h"
#include "app/shell/OSCInPortsModel.h"
#include "app/shell/OSCOutPortsModel.h"
#include "framework/controls/DetectPaths.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/toolkit/QKNSTableView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString rawOSCName(const QVariantMap& userInfo) {
  const auto path = DetectPaths::osc(Notification{{}, nullptr, userInfo});
  return path ? path->last() : QString();
}

DedicatedSourcesSection::Config dedicatedConfig() {
  return {QStringLiteral("Dedicated OSC Sources"),
          QString::fromLatin1(QKOSCManager::kRawRoot),
          QString::fromLatin1(QKOSCManager::kDedicatedRoot),
          QStringLiteral("OSC Address"),
          QString::fromLatin1(InputNotifications::OSCDetect),
          &rawOSCName,
          QStringLiteral("Listening: send an OSC message with a number to any input port.")};
}

void postPortsChanged() {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::OSCOutPortsChanged));
}

}  // namespace

OSCPrefsController::OSCPrefsController(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  auto* ports = new QHBoxLayout;
  ports->addWidget(makePortTable(inPortTable_, QStringLiteral("Input Ports"),
                                 QStringLiteral("inPortTableView"), addInPort_, removeInPort_),
                   1);
  ports->addWidget(makePortTable(outPortTable_, QStringLiteral("Output Ports"),
                                 QStringLiteral("outPortTableView"), addOutPort_, removeOutPort_),
                   3);
  layout->addLayout(ports, 2);
  portStatus_ = new QLabel(this);
  portStatus_->setWordWrap(true);
  layout->addWidget(portStatus_);
  dedicated_ = new DedicatedSourcesSection(dedicatedConfig(), this);
  layout->addWidget(dedicated_, 3);

  connect(addInPort_, &QPushButton::clicked, this, [this] { createNewInPortPressed(); });
  connect(removeInPort_, &QPushButton::clicked, this, [this] { deleteSelectedInPortPressed(); });
  connect(addOutPort_, &QPushButton::clicked, this, [this] { createNewOutPortPressed(); });
  connect(removeOutPort_, &QPushButton::clicked, this, [this] { deleteSelectedOutPortPressed(); });
}

OSCPrefsController::~OSCPrefsController() { observers_.clear(); }

QWidget* OSCPrefsController::makePortTable(QKNSTableView*& table, const QString& title,
                                           const QString& name, QPushButton*& add,
                                           QPushButton*& remove) {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(new QLabel(title, box));
  table = new QKNSTableView(box);
  table->setObjectName(name);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  layout->addWidget(table, 1);
  auto* buttons = new QHBoxLayout;
  add = new QPushButton(QStringLiteral("Add"), box);
  remove = new QPushButton(QStringLiteral("Remove"), box);
  buttons->addWidget(add);
  buttons->addWidget(remove);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  return box;
}

void OSCPrefsController::awakeFromNib(QKOSCManager* oscManager,
                                      DataSourceController* dataSourceController) {
  oscManager_ = oscManager;
  dataSourceController_ = dataSourceController;
  if (!oscManager_) return;
  oscManager_->loadPortsFromDefaults();
  oscManager_->loadDedicatedFromDefaults();

  delete inPortsModel_;
  inPortsModel_ = new OSCInPortsModel(*oscManager_, this);
  inPortTable_->setModel(inPortsModel_);
  connect(inPortsModel_, &OSCInPortsModel::problem, this,
          [this](const QString& reason) { showPortStatus(reason); });
  delete outPortsModel_;
  outPortsModel_ = new OSCOutPortsModel(*oscManager_, this);
  outPortTable_->setModel(outPortsModel_);
  connect(outPortsModel_, &OSCOutPortsModel::problem, this,
          [this](const QString& reason) { showPortStatus(reason); });

  QKOSCManager* manager = oscManager_;
  dedicated_->wake(dataSourceController_,
                   {[manager] { return manager->dedicatedSourcesDict(); },
                    [manager](const QVariantMap& d) { manager->setDedicatedSourcesDict(d); },
                    [manager] { manager->saveDedicatedToDefaults(); },
                    [manager] { return manager->getUniqueDedicatedName(); }});

  // Queued, also on the main thread: an edit of the table itself announces
  // the change from inside the table's own edit.
  observers_.clear();  // woken again: observe once
  QPointer<OSCPrefsController> self(this);
  observers_.observe(QString::fromLatin1(InputNotifications::OSCOutPortsChanged), nullptr,
                     [self](const Notification&) {
                       MainThread::coalesce(self.data(), [self] {
                         if (self && self->outPortsModel_) self->outPortsModel_->reload();
                       });
                     });
}

QString OSCPrefsController::portStatusText() const { return portStatus_->text(); }

void OSCPrefsController::showPortStatus(const QString& text) { portStatus_->setText(text); }

int OSCPrefsController::selectedRow(const QKNSTableView* table) {
  if (!table->selectionModel()) return -1;
  const QModelIndexList rows = table->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void OSCPrefsController::createNewDedicatedPressed() { dedicated_->createNewPressed(); }

void OSCPrefsController::deleteSelectedDedicatedPressed() { dedicated_->deleteSelectedPressed(); }

void OSCPrefsController::stopDetecting() { dedicated_->stopDetecting(); }

void OSCPrefsController::createNewInPortPressed() {
  if (!oscManager_) return;
  const auto port = oscManager_->createNewInput();
  inPortsModel_->reload();
  oscManager_->savePortsToDefaults();
  if (!port)
    showPortStatus(QStringLiteral("No free input port number was left."));
  else if (!port->isOpen())
    showPortStatus(
        QStringLiteral("Port %1 could not be opened: %2").arg(port->port()).arg(port->lastError()));
  else
    showPortStatus({});
}

void OSCPrefsController::deleteSelectedInPortPressed() {
  if (!oscManager_) return;
  const auto port = inPortsModel_->portAt(selectedRow(inPortTable_));
  if (!port) return;
  oscManager_->removeInput(port);
  inPortsModel_->reload();
  oscManager_->savePortsToDefaults();
}

void OSCPrefsController::createNewOutPortPressed() {
  if (!oscManager_) return;
  oscManager_->createNewOutput();
  oscManager_->savePortsToDefaults();
  postPortsChanged();
}

void OSCPrefsController::deleteSelectedOutPortPressed() {
  if (!oscManager_) return;
  const auto port = outPortsModel_->portAt(selectedRow(outPortTable_));
  if (!port) return;
  oscManager_->removeOutput(port);
  oscManager_->savePortsToDefaults();
  postPortsChanged();
}
