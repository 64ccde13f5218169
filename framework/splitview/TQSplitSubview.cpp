#include "framework/splitview/TQSplitSubview.h"

#include "framework/splitview/SplitAnimation.h"
#include "framework/splitview/SplitPaneMath.h"
#include "framework/splitview/TQSplitView.h"
#include "framework/splitview/TQSplitViewDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The one animation of the program and the timer that steps it (a timer
// fires in nested event loops too: modal dialogs, drags).
std::unique_ptr<SplitAnimation>& runningAnimation() {
  static std::unique_ptr<SplitAnimation> animation;
  return animation;
}

QTimer& animationTimer() {
  static QTimer* timer = [] {
    auto* t = new QTimer(qApp);
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
    QObject::connect(t, &QTimer::timeout, [] { TQSplitSubview::stepRunningAnimation(); });
    return t;
  }();
  return *timer;
}

QRect rounded(const QRectF& r) {
  const int left = static_cast<int>(std::lround(r.x()));
  const int top = static_cast<int>(std::lround(r.y()));
  return QRect(left, top, static_cast<int>(std::lround(r.x() + r.width())) - left,
               static_cast<int>(std::lround(r.y() + r.height())) - top);
}

}  // namespace

TQSplitSubview::TQSplitSubview(const QRectF& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), savedSize_(frame.size()) {
  setGeometry(rounded(frame));
}

TQSplitSubview::~TQSplitSubview() { stopAnimation(); }

void TQSplitSubview::setIdentifier(const QString& identifier) { identifier_ = identifier; }

TQSplitView* TQSplitSubview::splitView() const {
  return qobject_cast<TQSplitView*>(parentWidget());
}

TQSplitView* TQSplitSubview::outermostSplitView() const {
  TQSplitView* outer = splitView();
  while (outer && outer->splitView()) outer = outer->splitView();
  return outer;
}

bool TQSplitSubview::splitViewIsHorizontal() const {
  TQSplitView* sv = splitView();
  return sv && sv->isHorizontal();
}

TQSplitView* TQSplitSubview::couplingSplitView() const { return splitView(); }

bool TQSplitSubview::isVerticalAxis() const { return !splitViewIsHorizontal(); }

int TQSplitSubview::position() const {
  TQSplitView* sv = splitView();
  return sv ? static_cast<int>(sv->panes().indexOf(const_cast<TQSplitSubview*>(this))) : 0;
}

void TQSplitSubview::setPosition(int index) {
  TQSplitView* sv = splitView();
  if (!sv) return;
  QList<TQSplitSubview*> others = sv->panes();
  others.removeAll(this);
  if (index >= 0 && index < others.size())
    stackUnder(others[index]);
  else
    raise();
  sv->setMustAdjust();
}

void TQSplitSubview::setHidden(bool hidden) {
  if (isHidden() == hidden) return;
  QWidget::setHidden(hidden);
  if (TQSplitView* sv = splitView()) {
    if (hidden)
      sv->adjustSubviews();
    else
      sv->adjustSubviewsExcepting(this);
  }
}

void TQSplitSubview::setHiddenWithoutLayout(bool hidden) { QWidget::setHidden(hidden); }

// --- Frame ---

void TQSplitSubview::setFrame(const QRectF& frame) {
  const QSizeF old = frame_.size();
  frame_ = frame;
  setGeometry(rounded(frame));
  if (old != frame.size()) frameSizeChanged(old);
}

void TQSplitSubview::setFrame(const QRectF& frame, double fraction, bool notify) {
  TQSplitView* sv = splitView();
  TQSplitViewDelegate* delegate = sv ? sv->delegate() : nullptr;
  const bool tell = notify && delegate && frame != previous_;
  if (sv) sv->setMustAdjust();
  setFrame(frame);
  fraction_ = fraction;
  if (tell) {
    delegate->changedFrameOfSubview(sv, this, previous_, frame);
    previous_ = frame;
  } else {
    previous_ = QRectF();
  }
}

void TQSplitSubview::setFrameSize(const QSizeF& size, double fraction) {
  if (TQSplitView* sv = splitView()) sv->setMustAdjust();
  setFrame(QRectF(frame_.topLeft(), size));
  fraction_ = fraction;
}

void TQSplitSubview::adoptGeometry() {
  if (geometry() == rounded(frame_)) return;
  const QSizeF old = frame_.size();
  frame_ = QRectF(geometry());
  if (old != frame_.size()) frameSizeChanged(old);
}

void TQSplitSubview::resizeEvent(QResizeEvent*) { adoptGeometry(); }

void TQSplitSubview::moveEvent(QMoveEvent*) { adoptGeometry(); }

void TQSplitSubview::frameSizeChanged(const QSizeF& oldSize) { resizeContents(oldSize); }

QRectF TQSplitSubview::frameWithDimension(float dimension) const {
  QRectF f = frame_;
  if (isVerticalAxis())
    f.setWidth(dimension);
  else
    f.setHeight(dimension);
  return f;
}

// The pane's contents follow its size while it lies within its limits, and
// resume from the last good size once it is back inside them.
void TQSplitSubview::resizeContents(const QSizeF& oldSize) {
  TQSplitView* sv = splitView();
  if (!sv) return;
  const std::unique_ptr<SplitAnimation>& animation = runningAnimation();
  const float lower =
      animationOwner() && !animation->resize() ? animation->dimension() : minDimension_;
  const bool vertical = isVerticalAxis();
  const double along = vertical ? frame_.width() : frame_.height();
  const double across = vertical ? frame_.height() : frame_.width();
  if (along < lower || along > maxDimension_ || across < sv->minDimension() ||
      across > sv->maxDimension()) {
    notInLimits_ = true;
    return;
  }
  const QSizeF from = notInLimits_ ? savedSize_ : oldSize;
  notInLimits_ = false;
  savedSize_ = frame_.size();
  const QSizeF grow = frame_.size() - from;
  for (QObject* child : children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || !w->property("TQSplitContent").toBool()) continue;
    w->resize(w->width() + static_cast<int>(std::lround(grow.width())),
              w->height() + static_cast<int>(std::lround(grow.height())));
  }
}

// --- Limits and size ---

double TQSplitSubview::wholeDimension() const {
  TQSplitView* sv = splitView();
  return sv ? sv->dimensionWithoutDividers() : 0.0;
}

float TQSplitSubview::visibleDimension() const {
  const double d = isVerticalAxis() ? frame_.width() : frame_.height();
  return static_cast<float>(std::max(0.0, d));
}

void TQSplitSubview::setMinDimension(float minDimension, float maxDimension) {
  SplitPane p = record();
  const bool outside = SplitPaneMath::setLimits(p, minDimension, maxDimension, wholeDimension());
  minDimension_ = p.minDimension;
  maxDimension_ = p.maxDimension;
  if (outside)
    if (TQSplitView* sv = splitView()) sv->setMustAdjust();
}

float TQSplitSubview::dimension() const {
  return SplitPaneMath::dimension(record(), wholeDimension());
}

void TQSplitSubview::setDimension(float value) {
  TQSplitView* sv = splitView();
  if (isCollapsed()) {
    const double whole = wholeDimension();
    fraction_ = whole > 0.0 ? value / whole : 0.0;
    return;
  }
  setFrame(frameWithDimension(value));
  if (sv) sv->adjustSubviewsExcepting(this);
}

bool TQSplitSubview::canShrink() const {
  return visibleDimension() > (canCollapse() ? 0.0f : minDimension_);
}

bool TQSplitSubview::canCollapse() const {
  TQSplitView* sv = splitView();
  if (!sv || sv->panes().size() < 2) return false;
  if (TQSplitViewDelegate* d = sv->delegate())
    if (std::optional<bool> answer = d->canCollapse(sv, const_cast<TQSplitSubview*>(this)))
      return *answer;
  return canCollapseFlag_;
}

int TQSplitSubview::status() const {
  if (animationOwner()) return runningAnimation()->collapsing() ? -1 : -2;
  return isCollapsed() ? 1 : 0;
}

SplitPane TQSplitSubview::record() const {
  SplitPane p;
  p.minDimension = minDimension_;
  p.maxDimension = maxDimension_;
  p.fraction = fraction_;
  const bool vertical = isVerticalAxis();
  p.size = static_cast<float>(vertical ? frame_.width() : frame_.height());
  p.origin = static_cast<float>(vertical ? frame_.x() : frame_.y());
  p.canCollapse = canCollapse();
  p.hidden = isHidden();
  p.animating = animationOwner();
  return p;
}

void TQSplitSubview::takeRecord(const SplitPane& r, std::optional<float> cross) {
  QRectF f = frame_;
  if (isVerticalAxis()) {
    f.moveLeft(r.origin);
    f.setWidth(std::max(0.0f, r.size));
    if (cross) f = QRectF(f.x(), 0, f.width(), *cross);
  } else {
    f.moveTop(r.origin);
    f.setHeight(std::max(0.0f, r.size));
    if (cross) f = QRectF(0, f.y(), *cross, f.height());
  }
  switch (r.change) {
    case SplitPane::Change::Collapsed:
      clearResponder();
      finishChange(f, r.fraction, true);
      break;
    case SplitPane::Change::Expanded:
      finishChange(f, r.fraction, false);
      break;
    case SplitPane::Change::None:
      setFrame(f, r.fraction, true);
      break;
  }
}

// --- Collapse and expand ---

float TQSplitSubview::collapse() {
  if (!splitView()) return 0.0f;
  SplitPane p = record();
  const float made = SplitPaneMath::collapse(p, wholeDimension());
  if (p.change != SplitPane::Change::None) takeRecord(p);
  return made;
}

float TQSplitSubview::expand() {
  if (!splitView()) return 0.0f;
  SplitPane p = record();
  const float expected = SplitPaneMath::expand(p, wholeDimension(), false);
  if (p.change != SplitPane::Change::None) takeRecord(p);
  return expected;
}

float TQSplitSubview::changeDimensionBy(float increment, bool mayCollapse, bool move) {
  TQSplitView* sv = splitView();
  if (!sv) return 0.0f;
  SplitPane p = record();
  const float made =
      SplitPaneMath::changeDimension(p, increment, mayCollapse, move, wholeDimension());
  if (p.change != SplitPane::Change::None) {
    takeRecord(p);
  } else if (p.frameChanged) {
    takeRecord(p);
    sv->setMustClearFractions();
  }
  return made;
}

// The end of a collapse or an expansion, animated or not: the frame is final
// and the delegate hears of it.
void TQSplitSubview::finishChange(const QRectF& frame, double fraction, bool collapsed) {
  const bool wasAnimating = stopAnimation();
  setFrame(frame, fraction, true);
  TQSplitView* sv = splitView();
  if (sv) sv->setMustClearFractions();
  if (wasAnimating) update();
  if (!sv || !sv->delegate()) return;
  if (collapsed)
    sv->delegate()->didCollapse(sv, this);
  else
    sv->delegate()->didExpand(sv, this);
}

bool TQSplitSubview::clearResponder() {
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !isAncestorOf(focus)) return false;
  focus->clearFocus();
  focus->update();
  return true;
}

bool TQSplitSubview::collapseWithAnimation(bool animate, bool resize) {
  if (status() != 0 || !canCollapse()) return false;
  if (animate && startAnimation(resize)) {
    clearResponder();
    stepAnimation();
    return true;
  }
  collapse();
  return false;
}

bool TQSplitSubview::expandWithAnimation(bool animate, bool resize) {
  if (status() != 1) return false;
  if (animate && startAnimation(resize)) {
    stepAnimation();
    return true;
  }
  expand();
  return false;
}

bool TQSplitSubview::animating() { return runningAnimation() != nullptr; }

bool TQSplitSubview::animationOwner() const {
  return runningAnimation() && runningAnimation()->owner() == this;
}

void TQSplitSubview::stepRunningAnimation() {
  if (!runningAnimation()) return;
  auto* owner = static_cast<TQSplitSubview*>(const_cast<void*>(runningAnimation()->owner()));
  owner->stepAnimation();
}

bool TQSplitSubview::startAnimation(bool resize) {
  std::unique_ptr<SplitAnimation>& animation = runningAnimation();
  if (animation && animation->owner() != this) return false;
  TQSplitView* sv = splitView();
  if (!sv) return false;
  const float d = dimension();
  double duration = SplitAnimation::defaultDuration(d);
  if (TQSplitViewDelegate* delegate = sv->delegate())
    if (std::optional<double> seconds = delegate->willAnimateSubview(sv, this, d))
      duration = *seconds;
  if (!SplitAnimation::worthRunning(duration)) {
    animation.reset();
    return false;
  }
  animation = std::make_unique<SplitAnimation>(this, d, duration, !isCollapsed(), resize);
  sv->setDragging(true);
  return true;
}

void TQSplitSubview::stepAnimation() {
  if (!animationOwner()) return;
  SplitAnimation& animation = *runningAnimation();
  TQSplitView* sv = splitView();
  const double started = SplitAnimation::now();
  const SplitAnimation::Step step = animation.plan(started);
  if (!step.finished) {
    setFrame(frameWithDimension(step.size), 0.0, false);
    if (sv) sv->adjustSubviews();
    update();
    animation.stepTook(SplitAnimation::now() - started);
    animationTimer().start(static_cast<int>(std::lround(step.delay * 1000.0)));
    return;
  }
  const float d = animation.dimension();
  if (animation.collapsing()) {
    const double whole = wholeDimension();
    finishChange(frameWithDimension(0.0f), whole > 0.0 ? d / whole : 0.0, true);
    return;
  }
  const float savedMin = minDimension_;
  const float savedMax = maxDimension_;
  const float pinned = std::clamp(d, savedMin, savedMax);
  minDimension_ = maxDimension_ = pinned;
  finishChange(frameWithDimension(pinned), 0.0, false);
  if (sv) sv->adjustSubviews();
  minDimension_ = savedMin;
  maxDimension_ = savedMax;
}

bool TQSplitSubview::stopAnimation() {
  if (!animationOwner()) return false;
  animationTimer().stop();
  runningAnimation().reset();
  if (TQSplitView* sv = splitView()) sv->setDragging(false);
  return true;
}

// --- Drawing and mouse ---

void TQSplitSubview::paintAsPane(QPainter& painter, const QRectF& rect) {
  TQSplitView* sv = splitView();
  if (!sv) return;
  if (sv->background().isValid()) painter.fillRect(rect, sv->background());
  if (TQSplitViewDelegate* d = sv->delegate()) d->willDrawSubview(sv, this, rect);
}

void TQSplitSubview::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  paintAsPane(painter, event->rect());
}

void TQSplitSubview::mousePressEvent(QMouseEvent* event) {
  TQSplitView* sv = splitView();
  actDivider_ = kNoDivider;
  if (sv && sv->delegate()) {
    const std::optional<int> divider = sv->delegate()->dividerForPoint(sv, event->position(), this);
    if (divider && *divider >= 0 && *divider < static_cast<int>(sv->dividerRects().size()))
      actDivider_ = static_cast<unsigned>(*divider);
  }
  if (actDivider_ != kNoDivider) {
    sv->beginClaimedDrag(static_cast<int>(actDivider_), mapTo(sv, event->position()));
    return;
  }
  canDragWindow_ = childAt(event->position().toPoint()) == nullptr;
  draggingWindow_ = canDragWindow_ && window()->property("movableByBackground").toBool() &&
                    !(couplingSplitView() && couplingSplitView()->background().isValid());
  windowDragStart_ = event->globalPosition();
  event->accept();
}

void TQSplitSubview::mouseMoveEvent(QMouseEvent* event) {
  TQSplitView* sv = splitView();
  if (actDivider_ != kNoDivider && sv) {
    sv->continueDrag(mapTo(sv, event->position()));
    return;
  }
  if (draggingWindow_) {
    const QPointF moved = event->globalPosition() - windowDragStart_;
    windowDragStart_ = event->globalPosition();
    window()->move(window()->pos() + moved.toPoint());
  }
  event->accept();
}

void TQSplitSubview::mouseReleaseEvent(QMouseEvent* event) {
  TQSplitView* sv = splitView();
  if (actDivider_ != kNoDivider && sv) sv->endDrag();
  actDivider_ = kNoDivider;
  draggingWindow_ = false;
  event->accept();
}
