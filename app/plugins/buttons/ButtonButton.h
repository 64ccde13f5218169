#pragma once

#include "app/plugins/buttons/ButtonButtonCell.h"
#include "framework/controls/QKButton.h"

// A button of a Buttons plug-in: a QKButton showing a ButtonButtonCell.
class ButtonButton : public QKButton {
  Q_OBJECT
 public:
  explicit ButtonButton(QWidget* parent = nullptr);
  static ButtonButton* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);

  ButtonButtonCell* buttonCell() const { return static_cast<ButtonButtonCell*>(cell().get()); }
  void setPluginName(const QString& name) { buttonCell()->setPluginName(name); }
  bool mutexFlag() const { return buttonCell()->mutexFlag(); }
  void setMutexFlag(bool flag) { buttonCell()->setMutexFlag(flag); }
  int mutexGroup() const { return buttonCell()->mutexGroup(); }
  void setMutexGroup(int group) { buttonCell()->setMutexGroup(group); }
};
