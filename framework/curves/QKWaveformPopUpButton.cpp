#include "framework/curves/QKWaveformPopUpButton.h"

#include "framework/curves/CurveFiles.h"
#include "framework/curves/QKSingleSplineView.h"
#include "platform/foundation/MainThread.h"

#include <QPointer>

QKWaveformPopUpButton::QKWaveformPopUpButton(QWidget* parent) : QKNSPopUpButton(parent) {}

QKWaveformPopUpButton::~QKWaveformPopUpButton() = default;

void QKWaveformPopUpButton::awakeFromNib() {
  waveformObservers_.clear();
  waveformObservers_.observe(QKSingleSplineView::kWaveformMenuNeedsUpdateNotification, nullptr,
                             [this](const Notification&) {
                               QPointer<QKWaveformPopUpButton> self(this);
                               MainThread::run([self] {
                                 if (self) self->populateWaveformListFromDisk();
                               });
                             });
  populateWaveformListFromDisk();
}

void QKWaveformPopUpButton::populateWaveformListFromDisk() {
  removeAllItems();
  for (const QString& name : CurveFiles::names()) addItemWithTitle(name);
}

QStringList QKWaveformPopUpButton::itemTitles() const {
  QStringList titles;
  for (const QAction* item : menu()->actions()) titles << item->text();
  return titles;
}
