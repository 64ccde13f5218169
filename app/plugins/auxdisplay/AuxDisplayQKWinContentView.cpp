#include "app/plugins/auxdisplay/AuxDisplayQKWinContentView.h"

#include "app/plugins/auxdisplay/AuxWindowGeometry.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/NotificationCenter.h"

#include <cmath>

namespace {

namespace N = PaletteNotifications;

QString name(const char* notification) { return QString::fromLatin1(notification); }
NotificationCenter& center() { return NotificationCenter::defaultCenter(); }

double mainScreenWidth() {
  const QList<QRect> screens = ScreenList::frames();
  return screens.isEmpty() ? 0.0 : screens.front().width();
}

QPointF whole(QPointF point) { return {std::trunc(point.x()), std::trunc(point.y())}; }

}  // namespace

AuxDisplayQKWinContentView::AuxDisplayQKWinContentView(QWidget* parent)
    : QKWindowContentView(parent) {}

void AuxDisplayQKWinContentView::resizeEvent(QResizeEvent* event) {
  QKWindowContentView::resizeEvent(event);
  collapsedForRender_.store(collapsed());
}

void AuxDisplayQKWinContentView::postMove() { center().post(name(N::Move), this); }

void AuxDisplayQKWinContentView::postGroupMove(QPointF delta) {
  center().post(name(N::MoveAffected), this, {{name(N::DeltaKey), delta}});
}

void AuxDisplayQKWinContentView::postSizePosReport() { center().post(name(N::SizePosReport)); }

void AuxDisplayQKWinContentView::moveDrag(const QPointF& screenPoint) {
  actualLocation_ = AuxWindowGeometry::moved(clickFrame_, screenPoint - superClickLoc_);
  postMove();
  if (cmdClick_ || optClick_)
    postGroupMove(whole(actualLocation_.topLeft() - clickFrame_.topLeft()));
  setWindowFrame(actualLocation_);
  setNeedsDisplay();
  postSizePosReport();
}

void AuxDisplayQKWinContentView::resizeDrag(const QPointF& screenPoint) {
  actualLocation_ = AuxWindowGeometry::resized(clickFrame_, screenPoint - superClickLoc_,
                                               mainScreenWidth(), minSize_);
  postMove();
  const double grown = std::trunc(actualLocation_.height() - clickFrame_.height());
  if (cmdClick_ || optClick_) postGroupMove({0, -grown});
  expandedSize_ = actualLocation_.size();
  reRender_ = true;
  setWindowFrame(actualLocation_);
  setNeedsDisplay();
  postSizePosReport();
}

// Touching counts also while this window is hidden.
void AuxDisplayQKWinContentView::calculateAffectedAreaNotification(
    const Notification& notification) {
  auto* object = static_cast<QKWindowContentView*>(notification.object);
  if (affectedByChange_ || notification.userInfo.isEmpty() || !object || object == this) return;
  const bool opt = notification.userInfo.value(name(N::OptClickKey)).toBool();
  const bool cmd = notification.userInfo.value(name(N::CmdClickKey)).toBool();
  if (!AuxWindowGeometry::touches(object->actualLocation(), actualLocation_, opt, cmd)) return;
  affectedByChange_ = true;
  center().post(name(N::CalculateAffectedArea), this, notification.userInfo);
}

void AuxDisplayQKWinContentView::objectMoveNotification(const Notification& notification) {
  auto* object = static_cast<QKWindowContentView*>(notification.object);
  if (!object || object == this || selected_) return;
  const auto drag = object->dragAction() == ResizeDrag ? AuxWindowGeometry::Drag::Resize
                                                       : AuxWindowGeometry::Drag::Move;
  if (const auto frame = AuxWindowGeometry::snapped(object->actualLocation(), actualLocation_, drag,
                                                    affectedByChange_))
    object->setActualLocation(*frame);
}
