#include "app/mediabin/MBViewsController.h"

#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "framework/controls/QKButton.h"
#include "framework/splitview/QKTQSplitView.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"

#include <QDialog>
#include <QLabel>

const QString MBViewsController::kSnapshotKey = QStringLiteral("viewsController");
const QString MBViewsController::kLRSplitViewKey = QStringLiteral("LRSplitView");
const QString MBViewsController::kTBSplitViewKey = QStringLiteral("TBSplitView");

namespace {
const QString kStartRecording = QStringLiteral("QKSGStartRecordingNotification");
const QString kStopRecording = QStringLiteral("QKSGStopRecordingNotification");
const QString kRestoreStart = QStringLiteral("QKPMRestoreStartNotification");
}  // namespace

MBViewsController::MBViewsController(Outlets outlets, QObject* parent)
    : QObject(parent), o_(outlets) {}

MBViewsController::~MBViewsController() { prepareToBeDeleted(); }

void MBViewsController::awakeFromNib() {
  if (o_.recordIndicatorButton) o_.recordIndicatorButton->hide();
  fileLoadingSheetDown_ = false;
  // Recording and restores are announced on any thread; the views follow
  // on the main thread.
  const QPointer<MBViewsController> self = this;
  auto onMain = [self](std::function<void(MBViewsController&)> work) {
    return [self, work](const Notification&) {
      MainThread::run([self, work] {
        if (self && !self->deleted_) work(*self);
      });
    };
  };
  observers_.observe(kStartRecording, nullptr, onMain([](MBViewsController& v) {
                       if (v.o_.recordIndicatorButton) v.o_.recordIndicatorButton->show();
                     }));
  observers_.observe(kStopRecording, nullptr, onMain([](MBViewsController& v) {
                       if (v.o_.recordIndicatorButton) v.o_.recordIndicatorButton->hide();
                     }));
  observers_.observe(kRestoreStart, nullptr, onMain([](MBViewsController& v) {
                       if (v.optionsPanelOpen()) v.closeOptionsPanelButtonUsed();
                     }));
  for (QKTQSplitView* split : {o_.leftRightSplitView, o_.topBottomSplitView})
    if (split) split->setDelegate(this);
  applyNextLayerRule();
}

void MBViewsController::applyNextLayerRule() {
  const bool collapsed = o_.layerSubview && o_.layerSubview->status() == 1;
  if (o_.nextLayerPopUpButton) o_.nextLayerPopUpButton->setVisible(collapsed);
  if (o_.nextLayerLabel) o_.nextLayerLabel->setVisible(collapsed);
}

void MBViewsController::didAdjustSubviews(TQSplitView*) {
  if (deleted_) return;
  if (o_.gridView) {
    o_.gridView->recomputeSize();
    o_.gridView->update();
  }
  applyNextLayerRule();
}

void MBViewsController::openOptionsPanelButtonUsed() {
  if (deleted_ || !o_.optionsPanel) return;
  o_.optionsPanel->setWindowModality(Qt::WindowModal);
  o_.optionsPanel->open();
}

bool MBViewsController::optionsPanelOpen() const {
  return o_.optionsPanel && o_.optionsPanel->isVisible();
}

void MBViewsController::closeOptionsPanelButtonUsed() {
  if (o_.listeners) {
    o_.listeners->doAutoMidiSetup(false);
    o_.listeners->doContinuousDetect(false);
  }
  if (o_.continuousDetectButton) o_.continuousDetectButton->setIntValue(0, false);
  if (o_.optionsPanel) o_.optionsPanel->done(0);
  if (o_.gridView) {
    o_.gridView->recomputeSize();
    o_.gridView->update();
  }
}

void MBViewsController::recordIndicatorButtonUsed() {
  if (o_.recordIndicatorButton && o_.recordIndicatorButton->isVisible() && stopRecording_)
    stopRecording_();
}

void MBViewsController::stopLoadingProgressSheet() {
  if (!fileLoadingSheetDown_) return;
  if (o_.loadingFilesPanel) o_.loadingFilesPanel->hide();
  fileLoadingSheetDown_ = false;
}

void MBViewsController::fileAboutToLoad(const QVariantMap& userInfo) {
  if (userInfo.isEmpty()) return;
  auto show = [&](QLabel* field, const QString& key) {
    const QString text = userInfo.value(key).toString();
    if (field) field->setText(text.isEmpty() ? QStringLiteral(" ") : text);
  };
  show(o_.loadingDescriptionTextField, QStringLiteral("loadingString"));
  show(o_.loadingCountTextField, QStringLiteral("loadingCountString"));
}

QVariantMap MBViewsController::createSnapshot() const {
  QVariantMap snapshot;
  if (o_.leftRightSplitView)
    snapshot.insert(kLRSplitViewKey, o_.leftRightSplitView->createSnapshot());
  if (o_.topBottomSplitView)
    snapshot.insert(kTBSplitViewKey, o_.topBottomSplitView->createSnapshot());
  return snapshot;
}

void MBViewsController::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_) return;
  const QVariant lr = snapshot.value(kLRSplitViewKey);
  if (lr.typeId() == QMetaType::QVariantMap && o_.leftRightSplitView)
    o_.leftRightSplitView->loadSnapshot(lr.toMap());
  const QVariant tb = snapshot.value(kTBSplitViewKey);
  if (tb.typeId() == QMetaType::QVariantMap && o_.topBottomSplitView)
    o_.topBottomSplitView->loadSnapshot(tb.toMap());
  applyNextLayerRule();
}

void MBViewsController::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  for (QKButton* button :
       {o_.openOptionsPanelButton, o_.closeOptionsPanelButton, o_.recordIndicatorButton})
    if (button) button->prepareToBeDeleted();
  for (QKTQSplitView* split : {o_.leftRightSplitView, o_.topBottomSplitView})
    if (split) split->setDelegate(nullptr);
  if (o_.optionsPanel && o_.optionsPanel->isVisible()) o_.optionsPanel->done(0);
  fileLoadingSheetDown_ = true;
  stopLoadingProgressSheet();
}
