#include "app/plugins/wiimote/WiimoteOptionsController.h"

#include "app/plugins/wiimote/WiiMote.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "platform/foundation/MainThread.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>

#include <cmath>

namespace {

const char* const kAxisTitles[] = {"pitch", "roll", "yaw"};

QString numberText(float value) { return QLocale::c().toString(double(value), 'g', 6); }

}  // namespace

WiimoteOptionsController::WiimoteOptionsController(WiiMote* wiimote, QWidget* panel)
    : QObject(panel), wiimote_(wiimote) {
  auto* remote =
      new QKNSTextLabel(QStringLiteral("remote: offset, clip low / high, invert"), panel);
  remote->setGeometry(4, 2, 200, 14);
  buildRows(panel, false, 16);
  auto* nunchuk = new QKNSTextLabel(QStringLiteral("nunchuk"), panel);
  nunchuk->setGeometry(4, 78, 190, 14);
  buildRows(panel, true, 92);
}

void WiimoteOptionsController::buildRows(QWidget* panel, bool nunchuk, int top) {
  for (int axis = 0; axis < 3; ++axis) {
    const int y = top + axis * 20;
    Row& row = rows_[nunchuk][axis];
    auto* title = new QKNSTextLabel(QString::fromLatin1(kAxisTitles[axis]), panel);
    title->setGeometry(4, y + 2, 30, 14);
    row.offset = QKSliderControl::createWithFrame(QRectF(34, y, 100, 18), panel);
    row.offset->setSliderName(QStringLiteral("offset"));
    row.clipLow = new QLineEdit(panel);
    row.clipLow->setGeometry(138, y, 38, 18);
    row.clipHigh = new QLineEdit(panel);
    row.clipHigh->setGeometry(180, y, 38, 18);
    row.invert = new QCheckBox(QStringLiteral("inv"), panel);
    row.invert->setStyleSheet(QStringLiteral("color: white; font-size: 8pt"));
    row.invert->setGeometry(222, y, 46, 18);
    const auto used = [this, nunchuk](QObject* sender) {
      if (nunchuk)
        nunElementUsed(sender);
      else
        wimElementUsed(sender);
    };
    row.offset->setTarget(alive_);
    QKSliderControl* slider = row.offset;
    row.offset->setAction([this, used, slider](QKSliderCell&) {
      MainThread::run([self = QPointer<WiimoteOptionsController>(this), used, slider] {
        if (self) used(slider);
      });
    });
    for (QLineEdit* field : {row.clipLow, row.clipHigh})
      connect(field, &QLineEdit::editingFinished, this, [used, field] { used(field); });
    QCheckBox* box = row.invert;
    connect(box, &QCheckBox::clicked, this, [used, box] { used(box); });
  }
}

QWidget* WiimoteOptionsController::control(bool nunchuk, WiiOrientation::Axis axis,
                                           Field field) const {
  const Row& row = rows_[nunchuk][axis];
  switch (field) {
    case Offset:
      return row.offset;
    case ClipLow:
      return row.clipLow;
    case ClipHigh:
      return row.clipHigh;
    case Invert:
      return row.invert;
  }
  return nullptr;
}

void WiimoteOptionsController::updateUI() {
  for (bool nunchuk : {false, true}) {
    const WiiOrientation::Options& options =
        nunchuk ? wiimote_->nunOptions() : wiimote_->wiiOptions();
    for (int axis = 0; axis < 3; ++axis) {
      const Row& row = rows_[nunchuk][axis];
      row.offset->setValue(options[axis].offset, false);
      row.clipLow->setText(numberText(options[axis].clipLow));
      row.clipHigh->setText(numberText(options[axis].clipHigh));
      row.invert->setChecked(options[axis].invert);
    }
  }
}

void WiimoteOptionsController::wimElementUsed(QObject* sender) { elementUsed(false, sender); }
void WiimoteOptionsController::nunElementUsed(QObject* sender) { elementUsed(true, sender); }

void WiimoteOptionsController::elementUsed(bool nunchuk, QObject* sender) {
  for (int axis = 0; axis < 3; ++axis) {
    const Row& row = rows_[nunchuk][axis];
    WiiOrientation::AxisOptions options =
        (nunchuk ? wiimote_->nunOptions() : wiimote_->wiiOptions())[axis];
    bool ok = true;
    if (sender == row.offset) {
      options.offset = row.offset->value();
    } else if (sender == row.clipLow || sender == row.clipHigh) {
      auto* field = static_cast<QLineEdit*>(sender);
      const double typed = QLocale::c().toDouble(field->text().trimmed(), &ok);
      if (!ok || !std::isfinite(typed)) {
        updateUI();  // not a number: the field shows the option again
        return;
      }
      (sender == row.clipLow ? options.clipLow : options.clipHigh) = float(typed);
    } else if (sender == row.invert) {
      options.invert = row.invert->isChecked();
    } else {
      continue;
    }
    const auto which = static_cast<WiiOrientation::Axis>(axis);
    if (nunchuk)
      wiimote_->setNunOption(which, options);
    else
      wiimote_->setWiiOption(which, options);
    return;
  }
}
