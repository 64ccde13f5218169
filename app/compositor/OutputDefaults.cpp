#include "app/compositor/OutputDefaults.h"

#include "app/compositor/CompositorGLView.h"
#include "platform/foundation/UserDefaults.h"

namespace {

QVariant storedOrDefault(const QString& key, const QVariant& fallback) {
  UserDefaults& defaults = UserDefaults::standard();
  if (!defaults.contains(key)) {
    defaults.registerDefaults({{key, fallback}});
    defaults.setValue(key, fallback);
  }
  return defaults.value(key);
}

double sideOr(const QString& key, double fallback) {
  const QVariant value = UserDefaults::standard().value(key);
  bool ok = false;
  const double side = value.toDouble(&ok);
  return ok ? side : fallback;
}

}  // namespace

void OutputDefaults::apply(CompositorGLView& view) {
  view.setCPSwapInterval(storedOrDefault(QStringLiteral("cpSwapInterval"), 1).toLongLong());
  view.setCanvasPresentationMode(
      storedOrDefault(QStringLiteral("canvasPresentationMode"), 0).toLongLong());
  view.setConstrainOutputWindow(
      storedOrDefault(QStringLiteral("constrainOutputWindow"), true).toBool());
  view.setCanvasSize(QSizeF(sideOr(QStringLiteral("renderWidth"), 640),
                            sideOr(QStringLiteral("renderHeight"), 480)));
}
