#include "app/capture/QKSGController.h"

#include "app/capture/CaptureFileNames.h"
#include "app/capture/CaptureSettingsDialog.h"
#include "app/capture/QKSGVideoChannel.h"
#include "app/capture/QKSeqGrabber.h"
#include "app/compositor/Compositor.h"
#include "framework/controls/QKButton.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKNSOutlineView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/capture/CaptureDevices.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>

#include <algorithm>

const QString QKSGController::kPaletteTitle = QStringLiteral("Live Input Manager");
const QString QKSGController::kStartRecordingNotification =
    QStringLiteral("QKSGStartRecordingNotification");
const QString QKSGController::kStopRecordingNotification =
    QStringLiteral("QKSGStopRecordingNotification");
const QString QKSGController::kTestSourceVariable = QStringLiteral("ZAPH_CAPTURE_TEST_SOURCE");

namespace {
const QString kSeqSnapArrayKey = QStringLiteral("seqSnapArray");
const QString kRecordToggleKey = QStringLiteral("recordToggleButton");
constexpr int kInputRole = Qt::UserRole + 1;  // the input's index in the list
constexpr int kRowRole = Qt::UserRole + 2;    // a settings row: 0, 1 or 2

const char* const kRowTitles[] = {"Quarter-size input", "Record this?", "Add recorded files here:"};
}  // namespace

QKSGController::QKSGController(Compositor* compositor, MediaBinServices services)
    : compositor_(compositor), services_(std::move(services)) {
  buildPalette();
  observers_.observe(
      MediaNotifications::kFolderListMenuUpdated, nullptr,
      [this](const Notification& note) { folderMenuDidUpdateNotification(note.userInfo); });
}

QKSGController::~QKSGController() {
  observers_.clear();
  stopAllSeqGrabbers();
  deleteAllSequenceGrabbers();
  if (compositor_) compositor_->setCaptureRenderer(nullptr);
  if (window_)
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(PaletteNotifications::RemoveWindow), window_.get());
}

// --- Palette ----------------------------------------------------------------------------

// The body: the outline over the add, delete and record buttons.
void QKSGController::buildPalette() {
  window_ = std::make_unique<QKPaletteWindow>();
  content_ = new QKWindowContentView;
  window_->setContentView(content_);
  window_->setTitle(kPaletteTitle);
  window_->setDelegate(this);
  window_->resize(320, 240);
  QWidget* body = content_->body();

  outline_ = new QKNSOutlineView(body);
  model_ = new QStandardItemModel(0, 2, outline_);
  outline_->setModel(model_);
  outline_->header()->hide();
  outline_->setGeometry(4, 4, 312, 180);
  outline_->setColumnWidth(0, 160);

  addButton_ = new QPushButton(QStringLiteral("+"), body);
  addButton_->setGeometry(4, 190, 28, 20);
  QObject::connect(addButton_, &QPushButton::clicked, this, [this] { addInputButtonClicked(); });
  deleteButton_ = new QPushButton(QStringLiteral("-"), body);
  deleteButton_->setGeometry(36, 190, 28, 20);
  QObject::connect(deleteButton_, &QPushButton::clicked, this,
                   [this] { deleteSelectedSequenceGrabber(); });

  recordToggle_ = new QKButton(body);
  recordToggle_->setTitle(QStringLiteral("Record"));
  recordToggle_->setTitle2(QStringLiteral("Recording"));
  recordToggle_->setButtonType(1);
  recordToggle_->setTriggerOnMain(true);
  recordToggle_->setTarget(alive_);
  recordToggle_->setAction([this](QKButtonCell&) { recordToggleUsed(); });
  recordToggle_->setGeometry(216, 190, 100, 20);
}

void QKSGController::awakeFromNib() {
  window_->awakeFromNib();
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
  updateContents();
  reloadOutline();
}

// --- Frame --------------------------------------------------------------------------------

void QKSGController::render(const gl::DisplayLink::Frame& frame) {
  std::unique_lock<std::recursive_mutex> lock(listMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;  // the list is being changed: no capture work this frame
  for (const std::shared_ptr<QKSeqGrabber>& input : inputs_) input->render(frame);
}

// --- Inputs ------------------------------------------------------------------------------

std::vector<std::shared_ptr<QKSeqGrabber>> QKSGController::inputs() const {
  std::lock_guard<std::recursive_mutex> lock(listMutex_);
  return inputs_;
}

std::shared_ptr<QKSeqGrabber> QKSGController::addInputButtonClicked() {
  std::shared_ptr<QKSeqGrabber> input = QKSeqGrabber::createGrabberWithController(*this);
  if (!input) return nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    inputs_.push_back(input);
  }
  reloadOutline();
  selectInput(input);
  startAllSeqGrabbers();
  return input;
}

std::shared_ptr<QKSeqGrabber> QKSGController::addInput(const CaptureSettings& settings) {
  std::shared_ptr<QKSeqGrabber> input = QKSeqGrabber::createGrabberWithController(*this, settings);
  if (!input) return nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    inputs_.push_back(input);
  }
  reloadOutline();
  startAllSeqGrabbers();
  return input;
}

void QKSGController::deleteSelectedSequenceGrabber() {
  std::shared_ptr<QKSeqGrabber> input = selectedInput();
  if (!input) return;
  {
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    inputs_.erase(std::remove(inputs_.begin(), inputs_.end(), input), inputs_.end());
  }
  reloadOutline();
  input->stop();
  input->prepareToBeDeleted();
}

void QKSGController::deleteAllSequenceGrabbers() {
  std::vector<std::shared_ptr<QKSeqGrabber>> gone;
  {
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    if (inputs_.empty()) return;
    gone.swap(inputs_);
  }
  reloadOutline();
  for (const auto& input : gone) input->prepareToBeDeleted();
}

// Under the render lock: no frame runs while the inputs stop.
void QKSGController::stopAllSeqGrabbers() {
  if (compositor_) compositor_->lockForRender();
  {
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    for (const auto& input : inputs_) input->stop();
  }
  if (compositor_) compositor_->unlockRender();
}

void QKSGController::startAllSeqGrabbers() {
  std::lock_guard<std::recursive_mutex> lock(listMutex_);
  for (const auto& input : inputs_) input->preview();
}

// --- Recording ---------------------------------------------------------------------------

void QKSGController::recordToggleUsed() {
  stopAllSeqGrabbers();
  const int value = recordToggle_->intValue();
  if (value == 0) {
    recording_ = false;
    NotificationCenter::defaultCenter().post(kStopRecordingNotification);
  } else if (value == 1) {
    recording_ = true;
    recordingStartedFromMainButton_ = true;
    NotificationCenter::defaultCenter().post(kStartRecordingNotification);
  }
  updateRecordButtonState();
  startAllSeqGrabbers();
}

void QKSGController::startRecordingFromRightClick() {
  if (recordToggle_->intValue() != 0) return;
  stopAllSeqGrabbers();
  recording_ = true;
  recordingStartedFromMainButton_ = false;
  NotificationCenter::defaultCenter().post(kStartRecordingNotification);
  updateRecordButtonState();
  startAllSeqGrabbers();
}

void QKSGController::stopRecordingFromExternalSource() {
  if (recordToggle_->intValue() != 1) return;
  recordToggle_->setIntValue(0);
  recordToggleUsed();
}

void QKSGController::updateRecordButtonState() {
  recordToggle_->setIntValue(recording_ ? 1 : 0, false);
  reloadOutline();
}

// --- Persistence -------------------------------------------------------------------------

QVariantMap QKSGController::createSnapshot() const {
  QVariantList inputs;
  {
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    for (const auto& input : inputs_) inputs.append(input->createSnapshot());
  }
  QVariantMap snapshot{{kSeqSnapArrayKey, inputs}};
  if (recordToggle_) snapshot.insert(kRecordToggleKey, recordToggle_->createSnapshot());
  return snapshot;
}

void QKSGController::loadSnapshot(const QVariantMap& snapshot) {
  stopAllSeqGrabbers();
  deleteAllSequenceGrabbers();
  const QVariant list = snapshot.value(kSeqSnapArrayKey);
  if (list.typeId() != QMetaType::QVariantList) return;
  for (const QVariant& entry : list.toList()) {
    if (entry.typeId() != QMetaType::QVariantMap) {
      Log::line(QStringLiteral("\t\terror: seqPtr was NIL"));
      continue;
    }
    std::shared_ptr<QKSeqGrabber> input = QKSeqGrabber::createEmptyGrabberWithController(*this);
    input->loadSnapshot(entry.toMap());
    std::lock_guard<std::recursive_mutex> lock(listMutex_);
    inputs_.push_back(input);
  }
  // The toggle takes its bindings and looks back, but a project saved while
  // recording opens not recording: the value is set back to 0 silently.
  const QVariant toggle = snapshot.value(kRecordToggleKey);
  if (toggle.typeId() == QMetaType::QVariantMap) {
    recordToggle_->loadSnapshot(toggle.toMap());
    recordToggle_->setIntValue(recording_ ? 1 : 0, false);
  }
  startAllSeqGrabbers();
  reloadOutline();
}

void QKSGController::clearOutInPrepForLoad() {
  stopAllSeqGrabbers();
  deleteAllSequenceGrabbers();
  startAllSeqGrabbers();
}

// --- What the inputs ask -------------------------------------------------------------------

QStringList QKSGController::tapNames() const {
  return compositor_ && compositor_->tapManager() ? compositor_->tapManager()->sTapKeyArray()
                                                  : QStringList();
}

long QKSGController::firstPageId() const {
  return services_.firstPageId ? services_.firstPageId() : 0;
}

QString QKSGController::recordingFolder() const {
  const QString mediaFolder =
      QFileInfo(MediaPaths::applicationBundlePath()).dir().filePath(QStringLiteral("media"));
  return CaptureFileNames::folder(
      UserDefaults::standard().stringValue(QString::fromLatin1(CaptureFileNames::kFolderDefault)),
      mediaFolder);
}

std::optional<CaptureSettings> QKSGController::firstFreeDevice() const {
  if (deviceChooser_) return deviceChooser_();
  QStringList used;
  for (const auto& input : inputs()) used.append(input->settings().devicePath);
  for (const CaptureDevices::Device& device : CaptureDevices::list()) {
    if (used.contains(device.path)) continue;
    CaptureSettings settings;
    settings.devicePath = device.path;
    settings.deviceName = device.name;
    return settings;
  }
  if (qEnvironmentVariableIsSet(kTestSourceVariable.toLatin1().constData()))
    return CaptureSettings::testPattern();
  return std::nullopt;
}

// --- The window ----------------------------------------------------------------------------

std::shared_ptr<QKSeqGrabber> QKSGController::selectedInput() const {
  if (!outline_ || !outline_->selectionModel()) return nullptr;
  const QModelIndexList rows = outline_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  QModelIndex index = rows.first().siblingAtColumn(0);
  if (index.parent().isValid()) index = index.parent();
  const QVariant position = index.data(kInputRole);
  std::lock_guard<std::recursive_mutex> lock(listMutex_);
  if (!position.isValid() || position.toInt() < 0 || position.toInt() >= int(inputs_.size()))
    return nullptr;
  return inputs_[size_t(position.toInt())];
}

void QKSGController::selectInput(const std::shared_ptr<QKSeqGrabber>& input) {
  const auto list = inputs();
  const auto it = std::find(list.begin(), list.end(), input);
  if (it == list.end() || !outline_) return;
  outline_->setCurrentIndex(model_->index(int(it - list.begin()), 0));
}

void QKSGController::reloadOutline() {
  if (!model_) return;
  model_->removeRows(0, model_->rowCount());
  const auto list = inputs();
  for (size_t i = 0; i < list.size(); ++i) {
    auto* name = new QStandardItem(list[i]->tapName());
    name->setData(int(i), kInputRole);
    name->setEditable(false);
    auto* data = new QStandardItem;
    data->setEditable(false);
    for (int row = 0; row < 3; ++row) {
      auto* title = new QStandardItem(QString::fromLatin1(kRowTitles[row]));
      title->setData(row, kRowRole);
      title->setEditable(false);
      auto* cell = new QStandardItem;
      cell->setEditable(false);
      name->appendRow({title, cell});
    }
    model_->appendRow({name, data});
  }
  installRowWidgets();
  outline_->expandAll();
}

// The data column's cells: "Settings", the two check boxes and the
// destination pop-up.
void QKSGController::installRowWidgets() {
  const auto list = inputs();
  for (size_t i = 0; i < list.size(); ++i) {
    const std::weak_ptr<QKSeqGrabber> weak = list[i];
    const QModelIndex inputIndex = model_->index(int(i), 0);
    auto* settings = new QPushButton(QStringLiteral("Settings"));
    QObject::connect(settings, &QPushButton::clicked, this, [this, weak] {
      if (auto input = weak.lock()) settingsButtonUsed(input);
    });
    outline_->setIndexWidget(model_->index(int(i), 1), settings);

    auto* quarter = new QCheckBox;
    quarter->setChecked(list[i]->videoChannel() && list[i]->videoChannel()->quarterSizeState());
    QObject::connect(quarter, &QCheckBox::toggled, this, [weak](bool on) {
      if (auto input = weak.lock())
        if (input->videoChannel()) input->videoChannel()->setQuarterSizeState(on);
    });
    outline_->setIndexWidget(model_->index(0, 1, inputIndex), quarter);

    auto* record = new QCheckBox;
    record->setChecked(list[i]->recordFlag());
    record->setEnabled(!recording_);  // the flag holds still while recording
    QObject::connect(record, &QCheckBox::toggled, this, [weak](bool on) {
      if (auto input = weak.lock()) input->setRecordFlag(on);
    });
    outline_->setIndexWidget(model_->index(1, 1, inputIndex), record);

    auto* destination = new QComboBox;
    destination->setFont(QKPageListMenu::font());
    for (const QKPageListMenu::Item& item : localMenu_) {
      if (item.separator) {
        destination->insertSeparator(destination->count());
        continue;
      }
      destination->addItem(QString(item.indentation * 2, u' ') + item.title, item.tag);
    }
    destination->setCurrentIndex(
        CaptureDestinations::popUpIndex(localMenu_, list[i]->destination()));
    QObject::connect(destination, &QComboBox::activated, this, [this, weak](int index) {
      auto input = weak.lock();
      if (!input || index < 0 || index >= int(localMenu_.size())) return;
      if (auto chosen = CaptureDestinations::destinationOfItem(localMenu_[size_t(index)])) {
        input->setAutoAddTagVal(chosen->tag);
        input->setAutoAddBinName(chosen->binName);
      }
    });
    outline_->setIndexWidget(model_->index(2, 1, inputIndex), destination);
  }
}

void QKSGController::updateContents() {
  localMenu_ =
      services_.destinationMenu ? services_.destinationMenu() : std::vector<QKPageListMenu::Item>();
}

void QKSGController::folderMenuDidUpdateNotification(const QVariantMap& reason) {
  updateContents();
  const QStringList bins = CaptureDestinations::binTitles(localMenu_);
  for (const auto& input : inputs())
    if (auto after = CaptureDestinations::afterMenuUpdate(input->destination(), reason, bins)) {
      input->setAutoAddTagVal(after->tag);
      input->setAutoAddBinName(after->binName);
    }
  reloadOutline();
}

void QKSGController::settingsButtonUsed(const std::shared_ptr<QKSeqGrabber>& input) {
  CaptureSettingsDialog dialog(input->settings(), window_.get());
  if (dialog.exec() != QDialog::Accepted) return;
  input->changeSettings(dialog.chosen());
}
