#pragma once

#include <QString>

class QWidget;

// Reads a Qt Designer form (".ui") into widgets, for a composition panel
// laid out by the composition's author. The form may name our control
// classes (QKSliderControl, QKLogSliderControl, QKButton, QKNSTabView and
// those other elements register with QCElementFactories); controls are
// found afterwards by their dynamic "key" property. Learnable tab views get
// their tab buttons once their pages are in. Main thread.
class QCFormLoader {
 public:
  // Whether this build reads forms at all (it needs Qt UiTools).
  static bool available();
  // The form's top widget, without a parent and hidden (a main window gives
  // its central widget); null, with the reason in `error`, when the file
  // cannot be read or holds no widget.
  static QWidget* load(const QString& path, QString* error = nullptr);
};
