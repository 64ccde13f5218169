#include "app/capture/QKSeqGrabber.h"

#include "app/capture/CaptureFileNames.h"
#include "app/capture/QKSGController.h"
#include "app/capture/QKSGVideoChannel.h"
#include "framework/media/MediaNotifications.h"
#include "platform/capture/CaptureInput.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

const QString QKSeqGrabber::kNoChannelAlert = QStringLiteral(
    "Couldn't create a video channel- please check your device connections and try again");

namespace {
const QString kSettingsKey = QStringLiteral("seqGrabberSettings");
const QString kTagKey = QStringLiteral("autoAddTagVal");
const QString kBinKey = QStringLiteral("autoAddBinName");
const QString kQuarterKey = QStringLiteral("quarterSizeState");
const QString kRecordFlagKey = QStringLiteral("recordFlag");
const QString kChannelNameKey = QStringLiteral("channelName");

void alertNoChannel() { Alert::show(QStringLiteral("ZAPH"), QKSeqGrabber::kNoChannelAlert); }

void logOpenFailure(const CaptureSettings& settings, const QString& reason) {
  Log::line(
      QStringLiteral("\t\terr: couldn't open video input %1: %2").arg(settings.devicePath, reason));
}
}  // namespace

QKSeqGrabber::QKSeqGrabber(QKSGController& controller) : controller_(controller) {
  destination_.tag = int(controller.firstPageId());
  destination_.binName = CaptureDestinations::kNoneName;
}

QKSeqGrabber::~QKSeqGrabber() {
  prepareToBeDeleted();
  std::lock_guard<std::recursive_mutex> lock(componentLock_);
  input_.reset();
}

std::shared_ptr<QKSeqGrabber> QKSeqGrabber::createEmptyGrabberWithController(
    QKSGController& controller) {
  return std::make_shared<QKSeqGrabber>(controller);
}

std::shared_ptr<QKSeqGrabber> QKSeqGrabber::createGrabberWithController(
    QKSGController& controller, std::optional<CaptureSettings> settings) {
  if (!settings) settings = controller.firstFreeDevice();
  if (!settings) {
    Log::line(QStringLiteral("\t\terr: no free video input device"));
    alertNoChannel();
    return nullptr;
  }
  auto grabber = createEmptyGrabberWithController(controller);
  QString error;
  if (!grabber->openSource(*settings, &error)) {
    logOpenFailure(*settings, error);
    alertNoChannel();
    return nullptr;
  }
  grabber->makeChannel(getUniqueInputName(controller.tapNames()));
  return grabber;
}

QString QKSeqGrabber::getUniqueInputName(const QStringList& tapNames) {
  for (long n = 1;; ++n) {
    const QString name = QStringLiteral("VidIn %1").arg(n);
    if (!tapNames.contains(name)) return name;
  }
}

void QKSeqGrabber::makeChannel(const QString& tapName) {
  channel_ = std::make_unique<QKSGVideoChannel>(*this, tapName);
}

bool QKSeqGrabber::openSource(const CaptureSettings& settings, QString* error) {
  std::unique_ptr<CaptureInput> input = CaptureInput::open(settings, error);
  if (!input) return false;
  std::weak_ptr<QKSeqGrabber> self = weak_from_this();
  input->setFailureHandler([self](const QString& reason) {
    // The capture thread: the stop, its file and the message belong to the
    // main thread.
    MainThread::post([self, reason] {
      if (auto grabber = self.lock()) grabber->sourceFailed(reason);
    });
  });
  std::lock_guard<std::recursive_mutex> lock(componentLock_);
  input_ = std::move(input);
  settings_ = settings;
  storedSettings_.reset();
  applyOutputSize();
  return true;
}

void QKSeqGrabber::applyOutputSize() {
  std::lock_guard<std::recursive_mutex> lock(componentLock_);
  if (!input_) return;
  const QSize source = input_->sourceSize();
  const bool quarter = channel_ && channel_->quarterSizeState();
  input_->setOutputSize(quarter ? CaptureSettings::quarterSize(source) : source);
}

bool QKSeqGrabber::online() const {
  std::lock_guard<std::recursive_mutex> lock(componentLock_);
  return input_ != nullptr;
}

CaptureSettings QKSeqGrabber::settings() const {
  std::lock_guard<std::recursive_mutex> lock(componentLock_);
  return settings_;
}

QString QKSeqGrabber::tapName() const { return channel_ ? channel_->tapName() : QString(); }

bool QKSeqGrabber::changeSettings(const CaptureSettings& settings) {
  const bool wasRunning = running();
  if (wasRunning) stop();
  QString error;
  std::unique_ptr<CaptureInput> old;
  {
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    old = std::move(input_);
  }
  const bool opened = openSource(settings, &error);
  if (!opened) {
    logOpenFailure(settings, error);
    alertNoChannel();
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    input_ = std::move(old);
  }
  if (wasRunning) preview();
  return opened;
}

void QKSeqGrabber::preview() {
  if (running() || !channel_) return;
  const QString path = prepForRecording();
  QString error, recordError;
  bool started = false;
  {
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    // Offline (unplugged, or missing when the project opened): tried again.
    if (!input_ && !settings_.devicePath.isEmpty()) openSource(settings_, &error);
    if (input_) started = input_->start(path, &error, &recordError);
  }
  if (!recordError.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: couldn't record %1 into %2: %3")
                  .arg(tapName(), path, recordError));
    Alert::postWarning(QStringLiteral("%1 cannot be recorded into %2: %3")
                           .arg(tapName(), QFileInfo(path).absolutePath(), recordError));
    recordedFilePath_.clear();
  }
  if (!started) {
    if (!error.isEmpty())
      Log::limited(QStringLiteral("QKSeqGrabber.start.") + tapName(),
                   QStringLiteral("\t\terr: couldn't start %1 (%2): %3")
                       .arg(tapName(), settings().devicePath, error),
                   30.0);
    return;
  }
  stopRequested_.store(false);
  running_.store(true);
}

// The file a new recording goes into, or none: the name is only chosen
// here, the file itself is made exclusively when the input starts.
QString QKSeqGrabber::prepForRecording() {
  recordedFilePath_.clear();
  if (!controller_.recording() || !recordFlag()) return {};
  const QString folder = controller_.recordingFolder();
  if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
    Log::line(QStringLiteral("\t\terr: the recording folder %1 cannot be written").arg(folder));
    Alert::postWarning(QStringLiteral("%1 is not recorded: the folder %2 cannot be written.")
                           .arg(tapName(), folder));
    return {};
  }
  recordedFilePath_ =
      CaptureFileNames::fileName(folder, tapName(), QDateTime::currentDateTime(),
                                 [](const QString& path) { return QFileInfo::exists(path); });
  return recordedFilePath_;
}

void QKSeqGrabber::stop() {
  CaptureInput::Recording recording;
  {
    stopRequested_.store(true);
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    if (input_) recording = input_->stop();
    running_.store(false);
  }
  prepForStop(recording.error, recording.frames);
}

void QKSeqGrabber::prepForStop(const QString& recordError, int64_t frames) {
  if (recordedFilePath_.isEmpty()) return;
  if (!recordError.isEmpty())
    Log::line(QStringLiteral("\t\terr: recording %1 ended with an error: %2")
                  .arg(recordedFilePath_, recordError));
  if (frames == 0 && !QFileInfo::exists(recordedFilePath_)) {
    recordedFilePath_.clear();
    return;
  }
  QVariantMap info{{MediaNotifications::kExportPathKey, recordedFilePath_},
                   {QStringLiteral("tapName"), tapName()},
                   {kTagKey, qint64(destination_.tag)},
                   {QStringLiteral("autoAddState"), controller_.recordingStartedFromMainButton()}};
  if (!destination_.binName.isNull()) info.insert(kBinKey, destination_.binName);
  // Announced once: a later stop of the stopped input announces nothing.
  recordedFilePath_.clear();
  NotificationCenter::defaultCenter().post(MediaNotifications::kExportDone, this, info);
}

// Main thread: the source failed (a camera unplugged): the input stops,
// its recording is finished and announced, and the user is told why.
void QKSeqGrabber::sourceFailed(const QString& reason) {
  if (!running()) return;
  Log::line(QStringLiteral("\t\terr: video input %1 (%2) stopped: %3")
                .arg(tapName(), settings().devicePath, reason));
  stop();
  {
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    input_.reset();  // opened again at the next start
  }
  Alert::postWarning(QStringLiteral("The video input %1 stopped: %2").arg(tapName(), reason));
}

void QKSeqGrabber::render(const gl::DisplayLink::Frame&) {
  if (!running() || stopRequested_.load() || !channel_) return;
  std::unique_lock<std::recursive_mutex> lock(componentLock_, std::try_to_lock);
  if (lock.owns_lock() && input_) channel_->idle(*input_);
  if (lock.owns_lock()) lock.unlock();
  channel_->compositorRender();
}

void QKSeqGrabber::prepareToBeDeleted() {
  if (channel_) channel_->prepareToBeDeleted();
}

CaptureDestinations::Destination QKSeqGrabber::destination() const { return destination_; }
void QKSeqGrabber::setAutoAddTagVal(int tag) { destination_.tag = tag; }
void QKSeqGrabber::setAutoAddBinName(const QString& name) {
  if (!name.isNull()) destination_.binName = name;
}
QString QKSeqGrabber::recordedFilePath() const { return recordedFilePath_; }

QVariantMap QKSeqGrabber::createSnapshot() const {
  QVariantMap snapshot;
  {
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    snapshot.insert(kSettingsKey,
                    storedSettings_ ? *storedSettings_ : QVariant(settings_.toPropertyList()));
  }
  snapshot.insert(kTagKey, qint64(destination_.tag));
  snapshot.insert(kBinKey, destination_.binName.isNull() ? CaptureDestinations::kNoneName
                                                         : destination_.binName);
  snapshot.insert(kQuarterKey, channel_ && channel_->quarterSizeState());
  snapshot.insert(kRecordFlagKey, recordFlag());
  snapshot.insert(kChannelNameKey, tapName());
  return snapshot;
}

void QKSeqGrabber::loadSnapshot(const QVariantMap& snapshot) {
  stop();
  const QVariant stored = snapshot.value(kSettingsKey);
  std::optional<CaptureSettings> settings;
  if (stored.typeId() == QMetaType::QVariantMap)
    settings = CaptureSettings::fromPropertyList(stored.toMap());
  else if (stored.typeId() == QMetaType::QByteArray)
    if (auto list = PropertyList::parse(stored.toByteArray());
        list.value.typeId() == QMetaType::QVariantMap)
      settings = CaptureSettings::fromPropertyList(list.value.toMap());
  if (!settings && stored.isValid() && stored.typeId() != QMetaType::QVariantMap) {
    Log::line(QStringLiteral("\t\tunreadable video input settings: taking the first free device"));
    settings = controller_.firstFreeDevice();
  }
  QString name = snapshot.value(kChannelNameKey).toString();
  if (name.isEmpty() || controller_.tapNames().contains(name))
    name = getUniqueInputName(controller_.tapNames());
  makeChannel(name);
  QString error;
  if (!settings || !openSource(*settings, &error)) {
    // Kept listed and stopped; its settings go back into the project.
    if (settings)
      logOpenFailure(*settings, error);
    else
      Log::line(QStringLiteral("\t\terr: video input %1 has no settings").arg(name));
    std::lock_guard<std::recursive_mutex> lock(componentLock_);
    if (settings) settings_ = *settings;
    storedSettings_ = stored.isValid() ? stored : QVariant(settings_.toPropertyList());
  }
  if (snapshot.contains(kTagKey)) setAutoAddTagVal(snapshot.value(kTagKey).toInt());
  if (snapshot.contains(kBinKey)) setAutoAddBinName(snapshot.value(kBinKey).toString());
  if (snapshot.contains(kRecordFlagKey)) setRecordFlag(snapshot.value(kRecordFlagKey).toBool());
  channel_->ignoreStatusSetQuarterSizeState(snapshot.value(kQuarterKey).toBool());
}
