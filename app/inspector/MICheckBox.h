#pragma once

#include <QCheckBox>

// A check box that summarises several files: off, on or mixed (-1). A
// click on a mixed box turns it on, never back to mixed.
class MICheckBox : public QCheckBox {
  Q_OBJECT
 public:
  explicit MICheckBox(const QString& text = {}, QWidget* parent = nullptr);
  // 0 off, 1 on, -1 mixed.
  int state() const;
  void setState(int state);

 protected:
  void nextCheckState() override;
};
