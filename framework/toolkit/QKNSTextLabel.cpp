#include "framework/toolkit/QKNSTextLabel.h"

#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/ThemeDict.h"

const QString QKNSTextLabel::kRedrawNotification = QStringLiteral("QKRedrawLabelsNotification");

QKNSTextLabel::QKNSTextLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  observers_.observe(kRedrawNotification, nullptr,
                     [this](const Notification&) { redrawNotification(); });
  redrawNotification();
}

void QKNSTextLabel::redrawNotification() {
  const QVariantMap attributes = ThemeDict::labelColors();
  const QColor color =
      ThemeDict::color(attributes, InterfaceColorScheme::kForegroundColorAttribute);
  if (color.isValid()) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    setPalette(palette);
  }
  setFont(ThemeDict::font(attributes, InterfaceColorScheme::kFontAttribute, font()));
  update();
}
