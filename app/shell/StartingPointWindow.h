#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

// The window ZAPH opens 1.5 s after launch when no project came with it:
// a new set, an open set, the last set (its name shown), and the check box
// that asks for the first preset to be recalled once a project has loaded.
// Application-modal; each button closes it before its action runs.
class StartingPointWindow : public QDialog {
  Q_OBJECT
 public:
  struct Actions {
    std::function<void()> newSet;
    std::function<void()> openSet;
    std::function<void()> openLastSet;
    std::function<void(int)> triggerPresetToggled;
  };

  explicit StartingPointWindow(Actions actions, QWidget* parent = nullptr);

  void setLastSetName(const QString& name);
  void setTriggerPreset(bool on);

  QPushButton* newSetButton() const { return newSet_; }
  QPushButton* openSetButton() const { return openSet_; }
  QPushButton* openLastSetButton() const { return openLastSet_; }
  QCheckBox* triggerPresetButton() const { return triggerPreset_; }
  QLabel* lastSetNameField() const { return lastSetName_; }

 private:
  QPushButton* makeButton(const QString& title, std::function<void()> action);

  Actions actions_;
  QPushButton* newSet_ = nullptr;
  QPushButton* openSet_ = nullptr;
  QPushButton* openLastSet_ = nullptr;
  QCheckBox* triggerPreset_ = nullptr;
  QLabel* lastSetName_ = nullptr;
};
