#include "framework/splitview/TQSplitView.h"

#include "framework/splitview/SplitLayout.h"
#include "framework/splitview/SplitState.h"
#include "framework/splitview/TQSplitViewDelegate.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

#include <QApplication>
#include <QChildEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollArea>

#include <array>
#include <cmath>

namespace {

const QString kAdditionNull = QStringLiteral("additionNull");
const QString kStatesArray = QStringLiteral("statesArray");
const char kFailedToRestore[] = "\t\terror: failed to restore the state";

std::array<std::optional<QCursor>, 4>& cursorTable() {
  static std::array<std::optional<QCursor>, 4> table;
  return table;
}

// Clears a flag when it goes out of scope, so no exception leaves a view
// that never lays out again.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TQSplitView::TQSplitView(const QRectF& frame, QWidget* parent) : TQSplitSubview(frame, parent) {
  setMouseTracking(true);
  setVertical(true);
}

TQSplitView::TQSplitView(const QRectF& frame, int subviews, QWidget* parent)
    : TQSplitView(frame, parent) {
  for (int i = 0; i < subviews; ++i) addSubview(new TQSplitSubview(frame));
  setMustAdjust();
}

TQSplitView::~TQSplitView() = default;

// --- Orientation, dividers, coupling ---

bool TQSplitView::isHorizontal() const {
  if (TQSplitView* parent = splitView()) return parent->isVertical();
  return horizontal_;
}

void TQSplitView::setVertical(bool vertical) {
  if (splitView() || horizontal_ == !vertical) return;
  horizontal_ = !vertical;
  const QImage image = divider();
  setDividerThickness(image.isNull() ? 0 : vertical ? image.width() : image.height());
  setMustAdjust();
}

float TQSplitView::dividerThickness() const {
  if (thickness_ > 0.0f) return thickness_;
  const QImage image = divider();
  if (image.isNull()) return 0.0f;
  return static_cast<float>(isHorizontal() ? image.height() : image.width());
}

void TQSplitView::setDividerThickness(float thickness) {
  const float whole = std::max(0.0f, std::floor(thickness));
  if (whole == thickness_) return;
  thickness_ = whole;
  setMustAdjust();
}

QImage TQSplitView::divider() const {
  if (TQSplitView* coupling = couplingSplitView()) return coupling->divider();
  return divider_;
}

void TQSplitView::setDivider(const QImage& image) {
  if (isCoupled()) return;
  divider_ = image;
  setDividerThickness(0);
  setMustAdjust();
}

QColor TQSplitView::background() const {
  if (TQSplitView* coupling = couplingSplitView()) return coupling->background();
  return background_;
}

void TQSplitView::setBackground(const QColor& color) {
  if (isCoupled()) return;
  background_ = color.isValid() && color.alphaF() > 0.0f ? color : QColor();
  update();
}

bool TQSplitView::isCoupled() const { return coupled_ && splitView(); }

void TQSplitView::setCoupled(bool coupled) {
  if (coupled == coupled_) return;
  coupled_ = coupled;
  if (!coupled && divider_.isNull())
    if (TQSplitView* parent = splitView()) setDivider(parent->divider());
  setMustAdjust();
}

TQSplitView* TQSplitView::couplingSplitView() const { return isCoupled() ? splitView() : nullptr; }

TQSplitView* TQSplitView::coupledSplitView() const {
  return isCoupled() ? const_cast<TQSplitView*>(this) : nullptr;
}

// --- Panes ---

QList<TQSplitSubview*> TQSplitView::panes() const {
  QList<TQSplitSubview*> out;
  for (QObject* child : children())
    if (auto* pane = qobject_cast<TQSplitSubview*>(child)) out.append(pane);
  return out;
}

QList<TQSplitSubview*> TQSplitView::visiblePanes() const {
  QList<TQSplitSubview*> out;
  for (TQSplitSubview* pane : panes())
    if (!pane->isHidden()) out.append(pane);
  return out;
}

TQSplitSubview* TQSplitView::subviewAtPosition(int index) const {
  const QList<TQSplitSubview*> all = panes();
  return index >= 0 && index < all.size() ? all[index] : nullptr;
}

TQSplitSubview* TQSplitView::subviewWithIdentifier(const QString& identifier) const {
  for (TQSplitSubview* pane : panes())
    if (pane->identifier() == identifier) return pane;
  return nullptr;
}

TQSplitSubview* TQSplitView::addSubview(QWidget* view) { return addSubview(view, -1); }

TQSplitSubview* TQSplitView::addSubview(QWidget* view, int position) {
  const QList<TQSplitSubview*> before = panes();
  auto* pane = qobject_cast<TQSplitSubview*>(view);
  if (!pane) {
    const QRect frame = view->geometry();
    pane = new TQSplitSubview(QRectF(frame));
    view->setParent(pane);
    view->move(0, 0);
    view->setProperty("TQSplitContent", true);  // follows the pane's size
    view->show();
  }
  pane->setParent(this);
  if (position >= 0 && position < before.size()) pane->stackUnder(before[position]);
  pane->show();
  setMustAdjust();
  return pane;
}

// --- Layout ---

void TQSplitView::setMustAdjust() {
  mustAdjust_ = true;
  update();
  if (passScheduled_) return;
  passScheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        passScheduled_ = false;
        if (mustAdjust_ && !adjusting_) adjustSubviews();
      },
      Qt::QueuedConnection);
}

double TQSplitView::dimensionWithoutDividers() const {
  const double d = isVertical() ? frame().width() : frame().height();
  const double without = d - (panes().size() - 1) * static_cast<double>(dividerThickness());
  return std::max(1.0, without);
}

float TQSplitView::dividerOrigin(int divider) const {
  if (divider < 0 || divider >= static_cast<int>(dividers_.size())) return 0.0f;
  return static_cast<float>(along(dividers_[divider].topLeft()));
}

void TQSplitView::adjustSubviews() { layoutPass(nullptr); }

void TQSplitView::adjustSubviewsExcepting(TQSplitSubview* pane) {
  layoutPass(pane && !pane->isCollapsed() ? pane : nullptr);
}

void TQSplitView::adjustOutermostIfNeeded() {
  TQSplitView* outer = this;
  while (outer->splitView()) outer = outer->splitView();
  if (outer->mustAdjust_ && !outer->adjusting_) outer->adjustSubviews();
}

void TQSplitView::layoutPass(TQSplitSubview* exempt) {
  mustAdjust_ = false;
  const QList<TQSplitSubview*> all = panes();
  if (visiblePanes().isEmpty() || frame().width() < 1.0 || frame().height() < 1.0) return;
  if (adjusting_) return;
  {
    ScopedFlag guard(adjusting_);
    if (delegate_) delegate_->willAdjustSubviews(this);
    std::vector<SplitPane> records;
    for (TQSplitSubview* pane : all) records.push_back(pane->record());
    const bool vertical = isVertical();
    SplitLayout::Params params;
    params.dimension = static_cast<float>(vertical ? frame().width() : frame().height());
    params.crossDimension = static_cast<float>(vertical ? frame().height() : frame().width());
    params.thickness = dividerThickness();
    params.inScrollView = isInScrollView();
    params.exempt = exempt ? static_cast<int>(all.indexOf(exempt)) : -1;
    params.clearFractions = mustClearFractions_;
    const SplitLayout::Result result = SplitLayout::run(records, params);
    if (!result.ran) return;
    dividers_.clear();
    const double cross = vertical ? frame().height() : frame().width();
    for (float origin : result.dividers)
      dividers_.push_back(vertical ? QRectF(origin, 0, params.thickness, cross)
                                   : QRectF(0, origin, cross, params.thickness));
    for (int i = 0; i < all.size(); ++i)
      if (!records[i].hidden) {
        records[i].frameChanged = false;
        all[i]->takeRecord(records[i], params.crossDimension);
      }
    if (isInScrollView()) {
      QRectF own = frame();
      if (vertical)
        own.setWidth(result.dimension);
      else
        own.setHeight(result.dimension);
      TQSplitSubview::setFrame(own);
    }
    for (TQSplitSubview* pane : all) {
      TQSplitView* sv = pane->asSplitView();
      if (sv && sv->mustAdjust_) sv->adjustSubviews();
    }
    mustAdjust_ = false;
    mustClearFractions_ = false;
    if (!dragging_) saveState(false);
  }
  if (delegate_) delegate_->didAdjustSubviews(this);
  update();
}

void TQSplitView::frameSizeChanged(const QSizeF& oldSize) {
  setMustAdjust();
  const bool vertical = isVertical();
  const double before = vertical ? oldSize.width() : oldSize.height();
  const double after = vertical ? frame().width() : frame().height();
  if (delegate_ && std::trunc(before) != std::trunc(after))
    delegate_->wasResizedFrom(this, static_cast<float>(before), static_cast<float>(after));
  if (mustAdjust_ && !adjusting_) adjustSubviews();
}

void TQSplitView::childEvent(QChildEvent* event) {
  TQSplitSubview::childEvent(event);
  if (event->type() != QEvent::ChildRemoved) return;
  if (auto* pane = qobject_cast<TQSplitSubview*>(event->child())) pane->stopAnimation();
  setMustAdjust();
}

bool TQSplitView::isInScrollView() const {
  QWidget* viewport = parentWidget();
  auto* area = viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
  return area && area->widget() == this;
}

// --- Dragging ---

void TQSplitView::setDragging(bool dragging) {
  const bool ended = dragging_ && !dragging;
  dragging_ = dragging;
  if (ended) saveState(false);
}

QCursor TQSplitView::cursor(int index) {
  if (index < 0 || index >= 4) return QCursor();  // the arrow
  if (const std::optional<QCursor>& set = cursorTable()[index]) return *set;
  static const Qt::CursorShape defaults[] = {Qt::SplitVCursor, Qt::SplitHCursor, Qt::OpenHandCursor,
                                             Qt::ClosedHandCursor};
  return QCursor(defaults[index]);
}

void TQSplitView::setCursor(int index, std::optional<QCursor> cursor) {
  if (index >= 0 && index < 4) cursorTable()[index] = std::move(cursor);
}

int TQSplitView::dividerHitBy(const QPointF& point, const QWidget* view, float thickness) const {
  const QPointF p = view && view != this ? mapFrom(view, point) : point;
  for (int i = 0; i < static_cast<int>(dividers_.size()); ++i) {
    QRectF r = dividers_[i];
    if (isVertical())
      r.adjust(0, -thickness, 0, thickness);
    else
      r.adjust(-thickness, 0, thickness, 0);
    if (r.contains(p)) return i;
  }
  return -1;
}

QRectF TQSplitView::dividerRect(int divider, const QWidget* relativeTo) const {
  if (divider < 0 || divider >= static_cast<int>(dividers_.size())) return QRectF();
  const QRectF r = dividers_[divider];
  if (!relativeTo || relativeTo == this) return r;
  return QRectF(mapTo(relativeTo, r.topLeft()), r.size());
}

int TQSplitView::dividerAt(const QPointF& point) const {
  for (int i = 0; i < static_cast<int>(dividers_.size()); ++i)
    if (dividers_[i].contains(point)) return i;
  return -1;
}

void TQSplitView::mousePressEvent(QMouseEvent* event) {
  const QList<TQSplitSubview*> visible = visiblePanes();
  if (dividers_.empty() || visible.size() < 2 || event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  if (actDivider() != kNoDivider || divider().isNull()) {
    TQSplitSubview::mousePressEvent(event);
    return;
  }
  const int index = dividerAt(event->position());
  if (index < 0 || index + 1 >= visible.size()) return;
  if (delegate_ &&
      !delegate_->shouldHandleEvent(this, event, index, visible[index], visible[index + 1]))
    return;
  beginDrag(index, event->position());
  event->accept();
}

TQSplitView::NestedGrab TQSplitView::grabNested(TQSplitSubview* pane, const QPointF& point) const {
  NestedGrab grab;
  TQSplitView* nested = pane ? pane->coupledSplitView() : nullptr;
  if (!nested) return grab;
  const int index = nested->dividerHitBy(point, this, dividerThickness());
  if (index < 0) return grab;
  grab.view = nested;
  grab.divider = index;
  const QRectF inParent = nested->dividerRect(index, this);
  grab.grabOffset = static_cast<float>(nested->isVertical() ? point.x() - inParent.x()
                                                            : point.y() - inParent.y());
  grab.start = nested->mapFrom(this, point);
  return grab;
}

void TQSplitView::beginDrag(int divider, const QPointF& point) {
  beginClaimedDrag(divider, point);
  const QList<TQSplitSubview*> visible = visiblePanes();
  drag_.leading = grabNested(visible.value(divider), point);
  drag_.trailing = grabNested(visible.value(divider + 1), point);
}

void TQSplitView::beginClaimedDrag(int divider, const QPointF& point) {
  drag_ = Drag();
  drag_.active = true;
  drag_.divider = divider;
  drag_.start = point;
  drag_.grabOffset = along(point) - dividerOrigin(divider);
  QGuiApplication::setOverrideCursor(cursor(Dragging));
  setDragging(true);
}

void TQSplitView::continueDrag(const QPointF& point) {
  if (!drag_.active) return;
  trackDivider(drag_.divider, drag_.start, 0.0f, point);
  for (NestedGrab* grab : {&drag_.leading, &drag_.trailing})
    if (grab->view)
      grab->view->trackDivider(grab->divider, grab->start, 0.0f, grab->view->mapFrom(this, point));
  const bool pending = mustAdjust_ || (drag_.leading.view && drag_.leading.view->mustAdjust_) ||
                       (drag_.trailing.view && drag_.trailing.view->mustAdjust_);
  if (!pending) return;
  layOutAfterMove();
  // The divider follows the pointer at its grab offset and stays where the
  // limits stop it.
  const float origin = dividerOrigin(drag_.divider) + drag_.grabOffset;
  if (isVertical())
    drag_.start.setX(origin);
  else
    drag_.start.setY(origin);
  for (NestedGrab* grab : {&drag_.leading, &drag_.trailing}) {
    if (!grab->view || grab->view->isCollapsed()) continue;
    const float nestedOrigin = grab->view->dividerOrigin(grab->divider) + grab->grabOffset;
    if (grab->view->isVertical())
      grab->start.setX(nestedOrigin);
    else
      grab->start.setY(nestedOrigin);
  }
}

void TQSplitView::endDrag() {
  if (!drag_.active) return;
  drag_ = Drag();
  setDragging(false);
  QGuiApplication::restoreOverrideCursor();
}

void TQSplitView::layOutAfterMove() {
  TQSplitView* outer = splitView() ? splitView() : this;
  outer->setMustClearFractions();
  outer->adjustSubviews();
  outer->update();
}

SplitDrag::Context TQSplitView::dragContext(const QList<TQSplitSubview*>& visible) {
  SplitDrag::Context context;
  context.whole = dimensionWithoutDividers();
  context.inScrollView = isInScrollView();
  context.shouldResizeWindow = [this, visible](int divider, bool grow) {
    return !isInScrollView() && delegate_ &&
           delegate_->shouldResizeWindowForDivider(this, divider, visible.value(divider),
                                                   visible.value(divider + 1), grow);
  };
  context.windowRoom = [this](bool grow) { return windowRoom(grow); };
  // The window changes once the panes took the move.
  context.resizeWindow = [this](float change) { pendingWindowChange_ += change; };
  return context;
}

float TQSplitView::windowRoom(bool grow) const {
  const QWidget* target = window();
  const QRect frame = target->geometry();
  const bool vertical = isVertical();
  if (!grow)
    return static_cast<float>(vertical ? frame.width() - target->minimumWidth()
                                       : frame.height() - target->minimumHeight());
  const QScreen* screen = target->screen() ? target->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1000000, 1000000);
  const int onScreen = vertical ? (area.x() + area.width()) - (frame.x() + frame.width())
                                : (area.y() + area.height()) - (frame.y() + frame.height());
  const int maximum =
      vertical ? target->maximumWidth() - frame.width() : target->maximumHeight() - frame.height();
  return static_cast<float>(std::min(maximum, std::max(0, onScreen)));
}

void TQSplitView::resizeWindow(float change) {
  QWidget* target = window();
  const int g = static_cast<int>(std::lround(change));
  const bool vertical = isVertical();
  if (target != this) {
    if (vertical)
      target->resize(target->width() + g, target->height());
    else
      target->resize(target->width(), target->height() + g);  // the top edge stays
  }
  // The window's own layout follows later; the split view, which fills it
  // along the axis, grows with it now, so this step lays out at the new size.
  QRectF own = frame();
  if (vertical)
    own.setWidth(own.width() + g);
  else
    own.setHeight(own.height() + g);
  TQSplitSubview::setFrame(own);
  setMustAdjust();
}

void TQSplitView::trackDivider(int divider, const QPointF& start, float base,
                               const QPointF& point) {
  const QList<TQSplitSubview*> visible = visiblePanes();
  if (divider < 0 || divider + 1 >= visible.size()) return;
  std::vector<SplitPane> records;
  for (TQSplitSubview* pane : visible) records.push_back(pane->record());
  const float delta = along(point) - base - along(start);
  SplitDrag(records, dragContext(visible)).track(divider, delta);
  applyMoves(records, visible);
}

void TQSplitView::applyMoves(std::vector<SplitPane>& records,
                             const QList<TQSplitSubview*>& visible) {
  takeMoves(records, visible);
  const float change = pendingWindowChange_;
  pendingWindowChange_ = 0.0f;
  if (change != 0.0f) resizeWindow(change);
}

void TQSplitView::doubleClickDivider(int divider) {
  const QList<TQSplitSubview*> visible = visiblePanes();
  if (divider < 0 || divider + 1 >= visible.size()) return;
  std::vector<SplitPane> records;
  for (TQSplitSubview* pane : visible) records.push_back(pane->record());
  std::optional<bool> pick;
  TQSplitSubview* l = visible[divider];
  TQSplitSubview* r = visible[divider + 1];
  if (delegate_ && l->canCollapse() && r->canCollapse())
    if (TQSplitSubview* chosen = delegate_->collapseLeading(this, l, r)) pick = chosen == l;
  SplitDrag(records, dragContext(visible)).doubleClick(divider, pick);
  applyMoves(records, visible);
  if (mustAdjust_) layOutAfterMove();
}

void TQSplitView::takeMoves(std::vector<SplitPane>& records,
                            const QList<TQSplitSubview*>& visible) {
  bool moved = false;
  for (int i = 0; i < visible.size(); ++i) {
    if (records[i].change == SplitPane::Change::None && !records[i].frameChanged) continue;
    visible[i]->takeRecord(records[i]);
    moved = true;
  }
  if (!moved) return;
  setMustClearFractions();
  setMustAdjust();
}

void TQSplitView::mouseMoveEvent(QMouseEvent* event) {
  if (drag_.active) {
    continueDrag(event->position());
    event->accept();
    return;
  }
  int shape = -1;
  for (const auto& [rect, index] : cursorRects())
    if (rect.contains(event->position())) {
      shape = index;
      break;
    }
  if (shape >= 0)
    QWidget::setCursor(cursor(shape));
  else
    unsetCursor();
  TQSplitSubview::mouseMoveEvent(event);
}

void TQSplitView::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_.active) {
    endDrag();
    event->accept();
    return;
  }
  TQSplitSubview::mouseReleaseEvent(event);
}

void TQSplitView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QList<TQSplitSubview*> visible = visiblePanes();
  if (dividers_.empty() || visible.size() < 2 || divider().isNull()) return;
  const int index = dividerAt(event->position());
  if (index < 0 || index + 1 >= visible.size()) return;
  if (delegate_ &&
      !delegate_->shouldHandleEvent(this, event, index, visible[index], visible[index + 1]))
    return;
  doubleClickDivider(index);
  event->accept();
}

QRectF TQSplitView::crossing(int ownDivider, const QRectF& parentDivider, float thickness,
                             const QWidget* parent) const {
  QRectF r = dividerRect(ownDivider, parent);
  if (isVertical())
    r.adjust(0, -thickness, 0, thickness);
  else
    r.adjust(-thickness, 0, thickness, 0);
  return r.intersected(parentDivider);
}

std::vector<std::pair<QRectF, int>> TQSplitView::cursorRects() const {
  std::vector<std::pair<QRectF, int>> rects;
  const QList<TQSplitSubview*> visible = visiblePanes();
  if (dividers_.empty()) return rects;
  if (visible.size() < 2 || divider().isNull()) {
    if (delegate_) delegate_->cursorRect(const_cast<TQSplitView*>(this), QRectF(), 0);
    return rects;
  }
  const int own = isVertical() ? VerticalDivider : HorizontalDivider;
  const float thickness = dividerThickness();
  for (int i = 0; i < static_cast<int>(dividers_.size()) && i + 1 < visible.size(); ++i) {
    for (TQSplitSubview* side : {visible[i], visible[i + 1]}) {
      TQSplitView* nested = side->coupledSplitView();
      if (!nested || nested->divider().isNull()) continue;
      for (int k = 0; k < static_cast<int>(nested->dividers_.size()); ++k) {
        const QRectF c = nested->crossing(k, dividers_[i], thickness, this);
        if (!c.isEmpty()) rects.push_back({c, Crossing});
      }
    }
    QRectF r = dividers_[i];
    if (delegate_)
      if (std::optional<QRectF> replaced =
              delegate_->cursorRect(const_cast<TQSplitView*>(this), r, i))
        r = *replaced;
    if (!r.isEmpty()) rects.push_back({r, own});
  }
  return rects;
}

// --- Drawing ---

void TQSplitView::paintEvent(QPaintEvent* event) {
  if (mustAdjust_ && !adjusting_) adjustSubviews();
  QPainter painter(this);
  paintAsPane(painter, event->rect());
  const QList<TQSplitSubview*> visible = visiblePanes();
  if (dividers_.empty() || visible.size() < 2) return;
  const QImage image = divider();
  const float thickness = dividerThickness();
  for (int i = 0; i < static_cast<int>(dividers_.size()) && i + 1 < visible.size(); ++i) {
    const QRectF& rect = dividers_[i];
    if (!event->rect().intersects(rect.toAlignedRect())) continue;
    TQSplitSubview* l = visible[i];
    TQSplitSubview* r = visible[i + 1];
    TQSplitView* shownL = !image.isNull() && !l->isCollapsed() ? l->coupledSplitView() : nullptr;
    TQSplitView* shownR = !image.isNull() && !r->isCollapsed() ? r->coupledSplitView() : nullptr;
    drawDivider(painter, shownL || shownR || image.isNull() ? nullptr : &image, rect, l, r);
    for (TQSplitView* nested : {shownL, shownR})
      if (nested) nested->drawCrossings(painter, this, rect, thickness);
  }
}

void TQSplitView::drawCrossings(QPainter& painter, TQSplitView* parent, const QRectF& parentDivider,
                                float thickness) const {
  const QImage image = parent->divider();
  for (int k = 0; k < static_cast<int>(dividers_.size()); ++k) {
    const QRectF c = crossing(k, parentDivider, thickness, parent);
    if (!c.isEmpty()) parent->drawDivider(painter, &image, c, nullptr, nullptr);
  }
}

void TQSplitView::drawDivider(QPainter& painter, const QImage* image, const QRectF& rect,
                              TQSplitSubview* leading, TQSplitSubview* trailing) {
  const QColor fill = background();
  if ((leading || trailing) && fill.isValid()) painter.fillRect(rect, fill);
  QRectF imageRect;
  if (image && !image->isNull())
    imageRect = QRectF(std::floor((rect.width() - image->width()) / 2 + rect.x()),
                       std::floor((rect.height() - image->height()) / 2 + rect.y()), image->width(),
                       image->height());
  if (delegate_)
    if (std::optional<QRectF> replaced =
            delegate_->willDrawDividerInRect(this, rect, leading, trailing, imageRect))
      imageRect = *replaced;
  if (!imageRect.isEmpty() && image) painter.drawImage(imageRect, *image);
}

// --- State ---

QString TQSplitView::defaultsKeyForName(const QString& name, bool horizontal) {
  return SplitState::defaultsKey(name, horizontal);
}

void TQSplitView::removeStateUsingName(const QString& name) {
  if (name.isEmpty()) return;
  UserDefaults::standard().remove(defaultsKeyForName(name, true));
  UserDefaults::standard().remove(defaultsKeyForName(name, false));
}

void TQSplitView::setAutosaveName(const QString& name, bool recursively) {
  removeStateUsingName(autosaveName_);
  autosaveName_ = name;
  if (!recursively) return;
  const QList<TQSplitSubview*> all = panes();
  for (int i = 0; i < all.size(); ++i)
    if (TQSplitView* nested = all[i]->asSplitView())
      nested->setAutosaveName(name.isEmpty() ? QString() : name + QStringLiteral("[%1]").arg(i),
                              true);
}

bool TQSplitView::saveState(bool recurse) {
  if (!canSaveState_ || dragging_ || autosaveName_.isEmpty()) return false;
  UserDefaults::standard().setValue(defaultsKeyForName(autosaveName_, isHorizontal()),
                                    stringWithSavedState());
  if (recurse)
    for (TQSplitSubview* pane : panes())
      if (TQSplitView* nested = pane->asSplitView()) nested->saveState(true);
  return true;
}

bool TQSplitView::restoreState(bool recurse) {
  bool applied = false;
  if (!autosaveName_.isEmpty()) {
    const QVariant stored =
        UserDefaults::standard().value(defaultsKeyForName(autosaveName_, isHorizontal()));
    applied = stored.typeId() == QMetaType::QString && setStateFromString(stored.toString());
  }
  // Nested views restore only under a restored parent; without one they
  // still start saving, so their layout survives the next run too.
  if (recurse)
    for (TQSplitSubview* pane : panes())
      if (TQSplitView* nested = pane->asSplitView()) {
        if (applied)
          nested->restoreState(true);
        else
          nested->enableSaving();
      }
  canSaveState_ = true;
  return applied;
}

void TQSplitView::enableSaving() {
  canSaveState_ = true;
  for (TQSplitSubview* pane : panes())
    if (TQSplitView* nested = pane->asSplitView()) nested->enableSaving();
}

QString TQSplitView::stringWithSavedState() const {
  std::vector<SplitState::Field> fields;
  for (TQSplitSubview* pane : panes()) {
    SplitState::Field f;
    f.hidden = pane->isHidden();
    f.value = pane->isCollapsed() ? -static_cast<double>(pane->dimension())
                                  : static_cast<double>(pane->dimension()) + pane->fraction();
    fields.push_back(f);
  }
  return SplitState::format(fields);
}

bool TQSplitView::setStateFromString(const QString& state) {
  const QList<TQSplitSubview*> all = panes();
  const std::optional<std::vector<SplitState::Field>> fields =
      SplitState::parse(state, static_cast<int>(all.size()));
  if (!fields) return false;
  const bool vertical = isVertical();
  for (int i = 0; i < all.size(); ++i) {
    const SplitState::Field& f = (*fields)[i];
    const bool collapsed = f.value <= 0.0;
    const double v = collapsed ? -f.value : f.value;
    QRectF frame(QPointF(0, 0), this->frame().size());
    if (vertical)
      frame.setWidth(std::floor(v));
    else
      frame.setHeight(std::floor(v));
    all[i]->setFrame(frame, v - std::floor(v), false);
    if (collapsed) all[i]->collapse();
    all[i]->setHiddenWithoutLayout(f.hidden);
  }
  setMustAdjust();
  return true;
}

QVariantList TQSplitView::arrayWithStates() const {
  QVariantList states{stringWithSavedState()};
  for (TQSplitSubview* pane : panes()) {
    if (TQSplitView* nested = pane->asSplitView())
      states.append(QVariant(nested->arrayWithStates()));
    else
      states.append(kAdditionNull);
  }
  return states;
}

bool TQSplitView::setStatesFromArray(const QVariantList& states) {
  const QList<TQSplitSubview*> all = panes();
  if (states.size() != all.size() + 1) return false;
  const QVariant& own = states.first();
  if (own.typeId() != QMetaType::QString || own.toString() == kAdditionNull ||
      !setStateFromString(own.toString()))
    return false;
  for (int i = 0; i < all.size(); ++i) {
    const QVariant& element = states[i + 1];
    const bool isArray = element.typeId() == QMetaType::QVariantList;
    TQSplitView* nested = all[i]->asSplitView();
    if (isArray != (nested != nullptr)) return false;
    if (nested && !nested->setStatesFromArray(element.toList())) return false;
  }
  return true;
}

QVariantMap TQSplitView::createSnapshot() const {
  return QVariantMap{{kStatesArray, QVariant(arrayWithStates())}};
}

void TQSplitView::loadSnapshot(const QVariantMap& snapshot) {
  if (!snapshot.contains(kStatesArray)) return;
  const QVariant states = snapshot.value(kStatesArray);
  if (states.typeId() != QMetaType::QVariantList || !setStatesFromArray(states.toList()))
    Log::line(kFailedToRestore);
  adjustSubviews();
}
