#pragma once

#include "framework/toolkit/ActiveDeleteTableView.h"

#include <QColor>

// The table of the effect-chain preset shortcuts: an active-delete table
// whose selected rows are drawn in its own blue.
class FXChainShortcutTableView : public ActiveDeleteTableView {
  Q_OBJECT
 public:
  static QColor highlightColor() { return QColor::fromRgbF(0.22f, 0.459f, 0.843f, 1.0f); }

  explicit FXChainShortcutTableView(QWidget* parent = nullptr);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void applyHighlight();
};
