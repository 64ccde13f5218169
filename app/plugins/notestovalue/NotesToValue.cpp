#include "app/plugins/notestovalue/NotesToValue.h"

#include "app/plugins/manager/SharedSourceGroup.h"
#include "app/plugins/notestovalue/NotesToValueTableModel.h"
#include "framework/controls/DetectPaths.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/midi/QKMIDIMessage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

const QString NotesToValue::kTypeName = QStringLiteral("NotesToValue");
const QString NotesToValue::kGroupName = QStringLiteral("NotesToValue");
const QString NotesToValue::kIdleInstructions = QStringLiteral(" ");
const QString NotesToValue::kWaitingForKeys = QStringLiteral("waiting for keys or notes");
const QString NotesToValue::kPressStartingNote = QStringLiteral("press starting note or type:");
const QString NotesToValue::kPressLastNote = QStringLiteral("press last note or type:");
const QString NotesToValue::kNoShortcuts =
    QStringLiteral("No shortcuts set up.\nClick start detecting or MIDI range to begin.");

namespace {

const QString kSuperSnap = QStringLiteral("superSnap");
const QString kLastVal = QStringLiteral("lastVal");
const QString kAutoSpaceButton = QStringLiteral("autoSpaceButton");
const QString kShortcutsArray = QStringLiteral("shortcutsArray");
const QString kNaturalNamesChanged =
    QStringLiteral("QKMIDIUseNaturalNoteNamesFlagChangedNotification");

KeyPath noteSourcePath(int note, int channel) {
  return {QStringLiteral("MIDI"), QStringLiteral("note [%1] ch. %2").arg(note).arg(channel)};
}

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

}  // namespace

NotesToValue::NotesToValue(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      link_(std::make_shared<Link>(this)),
      dataSource_(DSFloatInfreqRepeat::createWithName(name)),
      continuousMIDI_(this, QString::fromLatin1(InputNotifications::MIDIDetect)),
      continuousKey_(this, QString::fromLatin1(InputNotifications::KeyDetect)),
      continuousOSC_(this, QString::fromLatin1(InputNotifications::OSCDetect)),
      continuousButtonDetect_(this, QString::fromLatin1(DataSourceNotifications::ButtonDetect)),
      rangeMIDI_(&rangeObserver_, QString::fromLatin1(InputNotifications::MIDIDetect)) {
  SharedSourceGroup::join(dataSourceController(), kGroupName, name, dataSource_,
                          DSType::UntickedHolder);
}

NotesToValue::~NotesToValue() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass NotesToValue::pluginClass() {
  PluginClass notes;
  notes.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<NotesToValue>(type, name, uniqueID);
  };
  notes.layout = &NotesToValue::buildWindow;
  return notes;
}

void NotesToValue::onMain(std::function<void(NotesToValue&)> work) const {
  const std::weak_ptr<Link> weak = link_;
  MainThread::post([weak, work = std::move(work)] {
    if (auto link = weak.lock()) link->call(work);
  });
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> NotesToValue::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(340, 300, 260, 300));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<NotesToValue*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(3);

  self->levelView_ = new SimpleLevelView(body);
  self->levelView_->setFixedHeight(8);
  column->addWidget(self->levelView_);

  self->tableView_ = new ActiveDeleteTableView(body);
  self->model_ = new NotesToValueTableModel(self, self);
  self->tableView_->setModel(self->model_);
  self->tableView_->setDeleteDelegate(self);
  self->tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  self->tableView_->verticalHeader()->hide();
  self->tableView_->horizontalHeader()->setSectionResizeMode(NotesToValueTableModel::Shortcut,
                                                             QHeaderView::Stretch);
  self->tableView_->setColumnWidth(NotesToValueTableModel::CellNumber, 28);
  self->tableView_->setColumnWidth(NotesToValueTableModel::Value, 60);
  column->addWidget(self->tableView_, 1);

  auto* buttons = new QHBoxLayout;
  const auto makeButton = [body](const QString& title, int type) {
    auto* button = new QKButton(body);
    button->setButtonType(type);
    button->setTitle(title);
    button->setTitle2(title);
    button->setFixedHeight(18);
    return button;
  };
  self->continuousButton_ = makeButton(QStringLiteral("Detect"), 1);
  self->rangeButton_ = makeButton(QStringLiteral("MIDI Range"), 0);
  self->clearButton_ = makeButton(QStringLiteral("Clear"), 0);
  buttons->addWidget(self->continuousButton_);
  buttons->addWidget(self->rangeButton_);
  buttons->addWidget(self->clearButton_);
  column->addLayout(buttons);

  auto* range = new QHBoxLayout;
  self->rangeLabel_ = new QLabel(QStringLiteral("note, ch."), body);
  self->rangeNoteField_ = new QLineEdit(body);
  self->rangeChannelField_ = new QLineEdit(body);
  self->rangeNoteField_->setFixedWidth(44);
  self->rangeChannelField_->setFixedWidth(32);
  range->addWidget(self->rangeLabel_);
  range->addWidget(self->rangeNoteField_);
  range->addWidget(self->rangeChannelField_);
  range->addStretch(1);
  column->addLayout(range);

  self->instructionsField_ = new QLabel(kIdleInstructions, body);
  self->instructionsField_->setWordWrap(true);
  column->addWidget(self->instructionsField_);
  self->autoSpaceBox_ = new QCheckBox(QStringLiteral("Space values evenly"), body);
  self->autoSpaceBox_->setChecked(true);
  column->addWidget(self->autoSpaceBox_);
  return window;
}

void NotesToValue::awakeFromNib() {
  QKPlugin::awakeFromNib();
  observers_.observe(kNaturalNamesChanged, nullptr, [this](const Notification&) {
    onMain([](NotesToValue& n) { n.reloadTable(); });
  });
  wireControls();
  setRangeFieldsShown(false);
}

void NotesToValue::wireControls() {
  if (!continuousButton_) return;
  continuousButton_->setTarget(link_);
  continuousButton_->setAction([this](QKButtonCell& sender) {
    const int value = sender.intValue();
    onMain([value](NotesToValue& n) { n.continuousDetectButtonUsed(value); });
  });
  rangeButton_->setTarget(link_);
  rangeButton_->setAction(
      [this](QKButtonCell&) { onMain([](NotesToValue& n) { n.autoMidiRangeSetupButtonUsed(); }); });
  clearButton_->setTarget(link_);
  clearButton_->setAction(
      [this](QKButtonCell&) { onMain([](NotesToValue& n) { n.clearAllShortcutsButtonUsed(); }); });
  for (QLineEdit* field : {rangeNoteField_.data(), rangeChannelField_.data()})
    connect(field, &QLineEdit::returnPressed, this, [this] { midiRangeTextFieldUsed(); });
  connect(autoSpaceBox_, &QCheckBox::clicked, this, [this](bool on) { autoSpaceButtonUsed(on); });
}

// --- Firing --------------------------------------------------------------------------------

void NotesToValue::shortcutUsed(QKNTVShortcut& sender) {
  if (deleted() || continuousDetectSetup_.load()) return;
  float value = lastVal_.load();
  if (!autoSpace_.load()) {
    value = sender.outputValue();
  } else {
    std::unique_lock lock(itemsMutex_);
    const int count = int(items_.size());
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const QKNTVShortcut::Ptr& item) {
      return item.get() == &sender;
    });
    if (it == items_.end()) {
      lock.unlock();
      Log::line("err: unknown shortcut used for note to val");
      return;
    }
    value = spacedValue(int(it - items_.begin()), count);
  }
  pushLastVal(value);
}

float NotesToValue::spacedValue(int row, int count) const {
  return count <= 1 ? 0.0f : float(row) / float(count - 1);
}

// Every push reaches subscribers, an unchanged value included.
void NotesToValue::pushLastVal(float value) {
  lastVal_.store(value);
  dataSource_->setValue(value);
  if (levelView_) levelView_->setVal(value);
}

// --- Shortcuts -----------------------------------------------------------------------------

QKNTVShortcut::Ptr NotesToValue::makeShortcut() {
  return QKNTVShortcut::createWithTarget(
      link_, [weak = std::weak_ptr<Link>(link_)](QKButtonCell& sender) {
        if (auto link = weak.lock())
          link->call(
              [&sender](NotesToValue& n) { n.shortcutUsed(static_cast<QKNTVShortcut&>(sender)); });
      });
}

void NotesToValue::addListenerWithSyncArray(const std::optional<KeyPath>& path) {
  if (deleted()) return;
  const QKNTVShortcut::Ptr shortcut = makeShortcut();
  if (path) {
    if (shortcut->useThisSource(*path)) shortcut->setSyncFlag(true);
    const int before = shortcutCount();
    shortcut->setOutputValue(float(before) / float(before + 1));
  }
  {
    std::lock_guard lock(itemsMutex_);
    items_.push_back(shortcut);
  }
  reloadTable();
}

void NotesToValue::removeItemsAtIndexes(const std::set<int>& indexes) {
  if (deleted()) return;
  std::vector<QKNTVShortcut::Ptr> gone;
  {
    std::lock_guard lock(itemsMutex_);
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
      if (*it >= 0 && *it < int(items_.size())) {
        gone.push_back(items_[size_t(*it)]);
        items_.erase(items_.begin() + *it);
      }
  }
  for (const auto& shortcut : gone) shortcut->prepareToBeDeleted();
  reloadTable();
}

void NotesToValue::clearAllShortcuts() {
  if (autoMidiSetupStage_ != 0) {
    autoMidiSetupStage_ = 0;
    rangeMIDI_.turnOff();
    setInstructions(kNoShortcuts);
  }
  setRangeFieldsShown(false);
  std::vector<QKNTVShortcut::Ptr> gone;
  {
    std::lock_guard lock(itemsMutex_);
    gone.swap(items_);
  }
  for (const auto& shortcut : gone) shortcut->prepareToBeDeleted();
  reloadTable();
}

void NotesToValue::deleteKeyPressed() {
  if (!tableView_ || !tableView_->selectionModel()) return;
  std::set<int> rows;
  for (const QModelIndex& index : tableView_->selectionModel()->selectedRows())
    rows.insert(index.row());
  removeItemsAtIndexes(rows);
}

std::vector<QKNTVShortcut::Ptr> NotesToValue::shortcuts() const {
  std::lock_guard lock(itemsMutex_);
  return items_;
}

int NotesToValue::shortcutCount() const {
  std::lock_guard lock(itemsMutex_);
  return int(items_.size());
}

// --- Continuous detection ------------------------------------------------------------------

void NotesToValue::stopDetecting() {
  continuousMIDI_.turnOff();
  continuousKey_.turnOff();
  continuousOSC_.turnOff();
  continuousButtonDetect_.turnOff();
}

void NotesToValue::doContinuousDetect(bool on) {
  if (deleted()) return;
  continuousDetectSetup_.store(false);
  setInstructions(kIdleInstructions);
  stopDetecting();
  if (!on) return;
  setInstructions(kWaitingForKeys);
  continuousDetectSetup_.store(true);
  continuousMIDI_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(InputNotifications::MIDIDetect));
  });
  continuousKey_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(InputNotifications::KeyDetect));
  });
  continuousOSC_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(InputNotifications::OSCDetect));
  });
  continuousButtonDetect_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(DataSourceNotifications::ButtonDetect));
  });
}

// On the posting thread: only the notification is read here.
void NotesToValue::detectContinuous(const Notification& n, const QString& name) {
  const std::optional<KeyPath> path = DetectPaths::learnt(n, name);
  if (!path) return;
  onMain([path = *path](NotesToValue& n) { n.continuousDetected(path); });
}

void NotesToValue::continuousDetected(const KeyPath& path) {
  if (deleted() || !continuousDetectSetup_.load()) return;
  addListenerWithSyncArray(path);
  if (shortcutCount() <= 1) return;
  pushLastVal(1.0f);
  scrollToLastRow();
}

void NotesToValue::continuousDetectButtonUsed(int value) {
  doAutoMidiSetup(false);
  doContinuousDetect(value != 0);
}

// --- MIDI range setup ----------------------------------------------------------------------

void NotesToValue::autoMidiRangeSetupButtonUsed() {
  doContinuousDetect(false);
  if (continuousButton_) continuousButton_->setIntValue(0, false);
  doAutoMidiSetup(true);
}

void NotesToValue::doAutoMidiSetup(bool on) {
  if (!on) {
    autoMidiSetupStage_ = 0;
    rangeMIDI_.turnOff();
    setInstructions(kIdleInstructions);
    setRangeFieldsShown(false);
    return;
  }
  if (autoMidiSetupStage_ != 0 || deleted()) return;
  clearAllShortcuts();
  autoMidiSetupStage_ = 1;
  setRangeFieldsShown(true);
  setInstructions(kPressStartingNote);
  rangeMIDI_.turnOn([this](const Notification& n) { detectRange(n); });
}

void NotesToValue::detectRange(const Notification& n) {
  const std::optional<QKMIDIMessage> message = DetectPaths::soundingNoteOn(n);
  if (!message) return;
  const int note = message->data1();
  const int channel = message->channel();
  onMain([note, channel](NotesToValue& n) {
    if (n.rangeMIDI_.isOn()) n.doMidiRangeSetup(note, channel);
  });
}

void NotesToValue::midiRangeTextFieldUsed() {
  if (!rangeNoteField_ || !rangeChannelField_) return;
  bool noteOk = false, channelOk = false;
  const int note = rangeNoteField_->text().trimmed().toInt(&noteOk);
  const int channel = rangeChannelField_->text().trimmed().toInt(&channelOk);
  if (!noteOk || !channelOk) return;
  doMidiRangeSetup(note, channel);
}

// Notes and channels outside MIDI's range name no source: they are refused.
void NotesToValue::doMidiRangeSetup(int note, int channel) {
  if (deleted() || note < 0 || note > 127 || channel < 1 || channel > 16) return;
  if (autoMidiSetupStage_ == 1) {
    addListenerWithSyncArray(noteSourcePath(note, channel));
    firstCellNote_ = note;
    autoMidiSetupStage_ = 2;
    setInstructions(kPressLastNote);
    return;
  }
  if (autoMidiSetupStage_ != 2) return;
  rangeMIDI_.turnOff();
  autoMidiSetupStage_ = 0;
  const int step = note > firstCellNote_ ? 1 : -1;
  if (note != firstCellNote_)
    for (int n = firstCellNote_ + step; n != note + step; n += step)
      addListenerWithSyncArray(noteSourcePath(n, channel));
  reloadTable();
  setInstructions(kIdleInstructions);
  setRangeFieldsShown(false);
}

// --- Table ---------------------------------------------------------------------------------

QVariant NotesToValue::objectValue(int row, int column) const {
  std::lock_guard lock(itemsMutex_);
  if (row < 0 || row >= int(items_.size())) return {};
  switch (column) {
    case NotesToValueTableModel::CellNumber:
      return QString::number(row + 1);
    case NotesToValueTableModel::Shortcut:
      return items_[size_t(row)]->humanReadableName();
    case NotesToValueTableModel::Value:
      return autoSpace_.load() ? spacedValue(row, int(items_.size()))
                               : items_[size_t(row)]->outputValue();
    default:
      return {};
  }
}

bool NotesToValue::setObjectValue(int row, int column, const QVariant& value) {
  if (column != NotesToValueTableModel::Value || autoSpace_.load() || !value.isValid())
    return false;
  bool ok = false;
  const float number = value.toFloat(&ok);
  if (!ok || !std::isfinite(number)) return false;
  std::lock_guard lock(itemsMutex_);
  if (row < 0 || row >= int(items_.size())) return false;
  items_[size_t(row)]->setOutputValue(std::clamp(number, 0.0f, 1.0f));
  return true;
}

void NotesToValue::autoSpaceButtonUsed(bool on) {
  if (deleted()) return;
  autoSpace_.store(on);
  if (autoSpaceBox_ && autoSpaceBox_->isChecked() != on) autoSpaceBox_->setChecked(on);
  reloadTable();
}

void NotesToValue::reloadTable() {
  if (model_) model_->reload();
}

void NotesToValue::scrollToLastRow() {
  if (tableView_ && model_ && model_->rowCount() > 0)
    tableView_->scrollTo(model_->index(model_->rowCount() - 1, 0));
}

void NotesToValue::setInstructions(const QString& text) {
  instructions_ = text;
  if (instructionsField_) instructionsField_->setText(text);
}

void NotesToValue::setRangeFieldsShown(bool shown) {
  rangeFieldsShown_ = shown;
  for (QWidget* widget :
       {static_cast<QWidget*>(rangeLabel_.data()), static_cast<QWidget*>(rangeNoteField_.data()),
        static_cast<QWidget*>(rangeChannelField_.data())})
    if (widget) widget->setVisible(shown);
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap NotesToValue::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()},
                       {kLastVal, double(lastVal_.load())},
                       {kAutoSpaceButton, autoSpace_.load() ? 1 : 0}};
  QVariantList shortcuts;
  for (const auto& shortcut : this->shortcuts()) shortcuts << shortcut->createSnapshot();
  if (!shortcuts.isEmpty()) snapshot.insert(kShortcutsArray, shortcuts);
  return snapshot;
}

void NotesToValue::loadSnapshot(const QVariantMap& snapshot) {
  if (isMap(snapshot.value(kSuperSnap))) QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  if (snapshot.contains(kAutoSpaceButton)) {
    const bool on = snapshot.value(kAutoSpaceButton).toInt() != 0;
    autoSpace_.store(on);
    if (autoSpaceBox_) autoSpaceBox_->setChecked(on);
  }
  bool ok = false;
  const float last = snapshot.value(kLastVal).toFloat(&ok);
  if (ok && std::isfinite(last)) pushLastVal(last);
  clearAllShortcuts();
  const QVariant stored = snapshot.value(kShortcutsArray);
  if (stored.typeId() == QMetaType::QVariantList) {
    setInstructions(kIdleInstructions);
    std::vector<QKNTVShortcut::Ptr> loaded;
    for (const QVariant& entry : stored.toList()) {
      if (!isMap(entry)) continue;
      const QKNTVShortcut::Ptr shortcut = makeShortcut();
      shortcut->loadSnapshot(entry.toMap());
      loaded.push_back(shortcut);
    }
    std::lock_guard lock(itemsMutex_);
    items_.insert(items_.end(), loaded.begin(), loaded.end());
  }
  reloadTable();
}

// --- Naming and deletion -------------------------------------------------------------------

void NotesToValue::setPluginName(const QString& name) {
  SharedSourceGroup::rename(dataSourceController(), kGroupName, windowTitle(), name);
  QKPlugin::setPluginName(name);
}

void NotesToValue::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  doContinuousDetect(false);
  doAutoMidiSetup(false);
  continuousMIDI_.close();
  continuousKey_.close();
  continuousOSC_.close();
  continuousButtonDetect_.close();
  rangeMIDI_.close();
  for (QKButton* button : {continuousButton_.data(), rangeButton_.data(), clearButton_.data()})
    if (button) button->prepareToBeDeleted();
  clearAllShortcuts();
  // Firing threads and queued main-thread work find the plug-in gone.
  link_->cut();
  SharedSourceGroup::leave(dataSourceController(), kGroupName, windowTitle());
  QKPlugin::prepareToBeDeleted();
}
