#include "app/inspector/MICheckBox.h"

MICheckBox::MICheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

int MICheckBox::state() const {
  switch (checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return -1;
    default:
      return 0;
  }
}

void MICheckBox::setState(int state) {
  setTristate(state < 0);
  setCheckState(state < 0 ? Qt::PartiallyChecked : state ? Qt::Checked : Qt::Unchecked);
}

void MICheckBox::nextCheckState() { setState(checkState() == Qt::Checked ? 0 : 1); }
