#include "app/inspector/QKMITapFileViewController.h"

#include "app/inspector/MediaInspector.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/NotificationCenter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
}

QKMITapFileViewController::QKMITapFileViewController(MediaInspector* inspector)
    : inspector_(inspector) {
  buildView();
  setMyAction([this] { showMixedState(); });
}

QKMITapFileViewController::~QKMITapFileViewController() = default;

void QKMITapFileViewController::buildView() {
  view_ = new QWidget;
  auto* column = new QVBoxLayout(view_);
  column->setContentsMargins(4, 4, 4, 4);
  auto* row = new QHBoxLayout;
  auto* popUp = new QKNSPopUpButton;
  popUp->setFixedHeight(18);
  popUp->setMinimumWidth(140);
  popUp->setMaximumWidth(220);
  row->addWidget(new QLabel(QStringLiteral("Tap")));
  row->addWidget(popUp, 1, Qt::AlignLeft);
  column->addLayout(row);
  column->addStretch(1);
  // Before the base class takes the choice and runs the action.
  connect(popUp, &QKNSPopUpButton::activated, this, [this] { chosen_ = true; });
  setButton(popUp);
}

void QKMITapFileViewController::showMixedState() {
  if (mixed() && button()) button()->selectItem(nullptr);
}

void QKMITapFileViewController::updateSelection() {
  QStringList names;
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles())
    if (file->qkFileType() == QKFile::kTapKind) names.append(file->name());
  names.removeDuplicates();
  chosen_ = false;
  mixed_ = names.size() > 1;
  const QString shown = names.size() == 1 ? names.front() : QString();
  setLastSelectedName(shown == QKTapManager::kNoneTitle ? QString() : shown);
  reloadAvailableTapsMethod();
}

void QKMITapFileViewController::storeParamsForSelectedFiles() {
  if (!chosen_) return;
  const QString name = lastSelectedName().isEmpty() ? QKTapManager::kNoneTitle : lastSelectedName();
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles()) {
    if (file->qkFileType() != QKFile::kTapKind) continue;
    file->setName(name);
    auto* object = static_cast<QKFile*>(file.get());
    NotificationCenter::defaultCenter().post(kPropsUpdated, object);
    NotificationCenter::defaultCenter().post(MediaNotifications::kPosterImageChanged, object);
  }
  chosen_ = false;
  mixed_ = false;
}
