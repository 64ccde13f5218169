#pragma once

#include "framework/controls/QKButton.h"

#include <QVariantMap>

#include <optional>

class QKLocalPresetButtonCell;

// A button of a local preset strip: a QKButton whose cell holds a stored
// state, drawn with a red bar along its top edge while it holds one.
class QKLocalPresetButton : public QKButton {
  Q_OBJECT
 public:
  explicit QKLocalPresetButton(QWidget* parent = nullptr);
  static QKLocalPresetButton* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);

  QKLocalPresetButtonCell& presetCell() const;
  std::optional<QVariantMap> storedSnapshot() const;
  // Ignored once deleted; redraws.
  void setStoredSnapshot(std::optional<QVariantMap> snapshot);

 protected:
  void drawCell(QPainter& painter, const QRectF& frame) override;
};
