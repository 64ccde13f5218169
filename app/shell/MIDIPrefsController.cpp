#include "app/shell/MIDIPrefsController.h"

#include "app/shell/DedicatedSourcesSection.h"
#include "app/shell/MIDISourcesModel.h"
#include "framework/controls/DetectPaths.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/toolkit/QKNSTableView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/VariantNumbers.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

const QString MIDIPrefsController::kNaturalNoteNamesKey =
    QStringLiteral("QKMIDIUseNaturalNoteNamesFlag");
const QString MIDIPrefsController::kNaturalNoteNamesNotification =
    QStringLiteral("QKMIDIUseNaturalNoteNamesFlagChangedNotification");

namespace {

QString rawMIDIName(const QVariantMap& userInfo) {
  const auto path = DetectPaths::midi(Notification{{}, nullptr, userInfo});
  return path ? path->last() : QString();
}

DedicatedSourcesSection::Config dedicatedConfig() {
  return {QStringLiteral("Dedicated MIDI Sources"),
          QString::fromLatin1(MIDIManager::kRawRoot),
          QString::fromLatin1(MIDIManager::kDedicatedRoot),
          QStringLiteral("MIDI Source"),
          QString::fromLatin1(InputNotifications::MIDIDetect),
          &rawMIDIName,
          QStringLiteral("Listening: play a note or move a controller or pitch wheel.")};
}

}  // namespace

MIDIPrefsController::MIDIPrefsController(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  dedicated_ = new DedicatedSourcesSection(dedicatedConfig(), this);
  layout->addWidget(dedicated_, 3);

  layout->addWidget(new QLabel(QStringLiteral("MIDI Sources"), this));
  sourcesTable_ = new QKNSTableView(this);
  sourcesTable_->setObjectName(QStringLiteral("sourcesTableView"));
  sourcesTable_->setSelectionMode(QAbstractItemView::NoSelection);
  sourcesTable_->verticalHeader()->hide();
  sourcesTable_->horizontalHeader()->setStretchLastSection(false);
  layout->addWidget(sourcesTable_, 2);
  midiStatus_ = new QLabel(this);
  midiStatus_->setWordWrap(true);
  midiStatus_->hide();
  layout->addWidget(midiStatus_);

  naturalNames_ =
      new QCheckBox(QStringLiteral("Show notes by letter names (C3 for note 60)"), this);
  connect(naturalNames_, &QCheckBox::clicked, this, [this] { useNaturalNoteNamesButtonUsed(); });
  layout->addWidget(naturalNames_);
}

MIDIPrefsController::~MIDIPrefsController() { observers_.clear(); }

void MIDIPrefsController::awakeFromNib(MIDIManager* midiManager,
                                       DataSourceController* dataSourceController) {
  midiManager_ = midiManager;
  dataSourceController_ = dataSourceController;
  if (midiManager_) {
    midiManager_->loadDedicatedFromDefaults();
    observers_.clear();  // woken again: observe once
    QPointer<MIDIPrefsController> self(this);
    observers_.observe(QString::fromLatin1(InputNotifications::MIDISetupChanged), nullptr,
                       [self](const Notification&) {
                         MainThread::coalesce(self.data(), [self] {
                           if (self) self->midiSetupChanged();
                         });
                       });
    MIDIManager* manager = midiManager_;
    dedicated_->wake(dataSourceController_,
                     {[manager] { return manager->dedicatedSourcesDict(); },
                      [manager](const QVariantMap& d) { manager->setDedicatedSourcesDict(d); },
                      [manager] { manager->saveDedicatedToDefaults(); },
                      [this] { return getUniqueDedicatedName(); }});
    delete sourcesModel_;
    sourcesModel_ = new MIDISourcesModel(*midiManager_, this);
    sourcesTable_->setModel(sourcesModel_);
    sourcesTable_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    sourcesTable_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    midiSetupChanged();
  }
  readNaturalNoteNamesFlag();
}

void MIDIPrefsController::readNaturalNoteNamesFlag() {
  UserDefaults& defaults = UserDefaults::standard();
  const QVariant stored = defaults.value(kNaturalNoteNamesKey);
  // A stored value of the wrong type counts as absent.
  if (VariantNumbers::isNumber(stored, true)) {
    naturalNames_->setChecked(stored.toLongLong() != 0);
    return;
  }
  defaults.setValue(kNaturalNoteNamesKey, 1);
  naturalNames_->setChecked(true);
}

void MIDIPrefsController::midiSetupChanged() {
  if (sourcesModel_) sourcesModel_->reload();
  const QString status = midiManager_ ? midiManager_->status() : QString();
  midiStatus_->setText(status);
  midiStatus_->setVisible(!status.isEmpty());
}

void MIDIPrefsController::createNewPressed() { dedicated_->createNewPressed(); }

void MIDIPrefsController::deleteSelectedPressed() { dedicated_->deleteSelectedPressed(); }

void MIDIPrefsController::stopDetecting() { dedicated_->stopDetecting(); }

void MIDIPrefsController::useNaturalNoteNamesButtonUsed() {
  UserDefaults::standard().setValue(kNaturalNoteNamesKey, naturalNames_->isChecked() ? 1 : 0);
  NotificationCenter::defaultCenter().post(kNaturalNoteNamesNotification, this);
}

QString MIDIPrefsController::getUniqueDedicatedName() const {
  const DedicatedSourcesEditor* editor = dedicated_->editor();
  return editor ? editor->firstFreeName(QStringLiteral("Ded. MIDI "), 1) : QString();
}
