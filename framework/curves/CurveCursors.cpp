#include "framework/curves/CurveCursors.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

#include <QPixmap>

namespace {

QCursor imageCursor(const QString& name) {
  const QPixmap image(Paths::resourcePath(QStringLiteral("images/") + name, QStringLiteral("xpm")));
  if (image.isNull()) {
    Log::line(QStringLiteral("\t\terr: the cursor image %1 is missing").arg(name));
    return QCursor(Qt::CrossCursor);
  }
  return QCursor(image, 8, 8);
}

}  // namespace

QCursor CurveCursors::cursorFor(CurveCursor cursor) {
  switch (cursor) {
    case CurveCursor::Arrow:
      return QCursor(Qt::ArrowCursor);
    case CurveCursor::Crosshair:
      return QCursor(Qt::CrossCursor);
    case CurveCursor::OpenHand:
      return QCursor(Qt::OpenHandCursor);
    case CurveCursor::ClosedHand:
      return QCursor(Qt::ClosedHandCursor);
    case CurveCursor::ResizeUpDown:
      return QCursor(Qt::SizeVerCursor);
    case CurveCursor::RemoveHandle: {
      static const QCursor remove = imageCursor(QStringLiteral("removeHandleCursor"));
      return remove;
    }
    case CurveCursor::ShowControlPoint: {
      static const QCursor show = imageCursor(QStringLiteral("showControlPointCursor"));
      return show;
    }
  }
  return QCursor(Qt::ArrowCursor);
}
