#pragma once

#include <QWidget>

class PrefsController;
class QCheckBox;
class QPushButton;

// The "FX Settings" pane: whether effects added from now on start enabled
// ("FXEnableDefault"), and a button that rescans everything found in
// folders. Main thread.
class FXPrefsController : public QWidget {
  Q_OBJECT
 public:
  explicit FXPrefsController(PrefsController* prefsController, QWidget* parent = nullptr);

  void awakeFromNib();
  void buttonUsed(QObject* sender);

  QCheckBox* FXEnabledButton() const { return FXEnabledButton_; }
  QPushButton* refreshFXListButton() const { return refreshFXListButton_; }

 private:
  PrefsController* prefsController_;
  QCheckBox* FXEnabledButton_ = nullptr;
  QPushButton* refreshFXListButton_ = nullptr;
};
