#include "app/prefs/FXPrefsController.h"

#include "app/effects/LayerFXObject.h"
#include "app/prefs/PrefsController.h"
#include "app/prefs/PrefsDefaults.h"
#include "app/prefs/PrefsHost.h"
#include "platform/foundation/UserDefaults.h"

#include <QCheckBox>
#include <QPushButton>
#include <QVBoxLayout>

FXPrefsController::FXPrefsController(PrefsController* prefsController, QWidget* parent)
    : QWidget(parent), prefsController_(prefsController) {
  setObjectName(QStringLiteral("FX Settings"));
  auto* layout = new QVBoxLayout(this);
  FXEnabledButton_ = new QCheckBox(QStringLiteral("New effects start enabled"), this);
  FXEnabledButton_->setChecked(true);
  refreshFXListButton_ = new QPushButton(QStringLiteral("Rescan Effects and Plug-ins"), this);
  layout->addWidget(FXEnabledButton_);
  layout->addWidget(refreshFXListButton_, 0, Qt::AlignLeft);
  layout->addStretch(1);
  connect(FXEnabledButton_, &QCheckBox::clicked, this, [this] { buttonUsed(FXEnabledButton_); });
  connect(refreshFXListButton_, &QPushButton::clicked, this,
          [this] { buttonUsed(refreshFXListButton_); });
}

void FXPrefsController::awakeFromNib() {
  if (const auto stored = PrefsDefaults::integer(LayerFXObject::kEnableDefaultKey))
    FXEnabledButton_->setChecked(*stored != 0);
}

void FXPrefsController::buttonUsed(QObject* sender) {
  if (sender == FXEnabledButton_) {
    UserDefaults::standard().setValue(LayerFXObject::kEnableDefaultKey,
                                      qint64(FXEnabledButton_->isChecked() ? 1 : 0));
  } else if (sender == refreshFXListButton_) {
    if (PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr) host->rescanAll();
  }
}
