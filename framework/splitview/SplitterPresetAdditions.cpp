#include "framework/splitview/SplitterPresetAdditions.h"

#include <QSplitter>

namespace {

QString key(int index, const char* field) { return QStringLiteral("%1.%2").arg(index).arg(field); }

// A missing or unreadable entry reads as 0.
double number(const QVariantMap& preset, const QString& key) {
  return preset.value(key).toDouble();
}

}  // namespace

namespace SplitterPresetAdditions {

QVariantMap createPreset(const QSplitter* splitter) {
  QVariantMap preset;
  for (int n = 0; n < splitter->count(); ++n) {
    const QRect frame = splitter->widget(n)->geometry();
    preset.insert(key(n, "o.x"), static_cast<double>(static_cast<float>(frame.x())));
    preset.insert(key(n, "o.y"), static_cast<double>(static_cast<float>(frame.y())));
    preset.insert(key(n, "s.w"), static_cast<double>(static_cast<float>(frame.width())));
    preset.insert(key(n, "s.h"), static_cast<double>(static_cast<float>(frame.height())));
  }
  return preset;
}

void loadPreset(QSplitter* splitter, const QVariantMap& preset) {
  QList<int> sizes = splitter->sizes();
  const bool horizontal = splitter->orientation() == Qt::Horizontal;
  for (int n = 0; n < splitter->count() && n < sizes.size(); ++n) {
    if (!preset.contains(key(n, "o.x"))) continue;
    const QRect frame = QRectF(number(preset, key(n, "o.x")), number(preset, key(n, "o.y")),
                               number(preset, key(n, "s.w")), number(preset, key(n, "s.h")))
                            .toRect();
    splitter->widget(n)->setGeometry(frame);
    sizes[n] = horizontal ? frame.width() : frame.height();
  }
  splitter->setSizes(sizes);
  splitter->update();
  splitter->refresh();
}

}  // namespace SplitterPresetAdditions
