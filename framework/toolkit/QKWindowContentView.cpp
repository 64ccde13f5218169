#include "framework/toolkit/QKWindowContentView.h"

#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/PaletteHitTest.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/PaletteSnap.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "framework/toolkit/WindowMenuControllerInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <exception>

namespace {

namespace N = PaletteNotifications;
using S = InterfaceColorScheme;

QString name(const char* text) { return QString::fromLatin1(text); }
NotificationCenter& center() { return NotificationCenter::defaultCenter(); }
double mainHeight() { return QKWindow::mainScreenFrame().height(); }
QSizeF mainSize() { return QKWindow::mainScreenFrame().size(); }

constexpr int kMenuControllerSearches = 100;
const QString kLockedColors = QStringLiteral("locked");
const QString kUnlockedColors = QStringLiteral("unlocked");
const QString kTitleTextAttribs = QStringLiteral("titleTextAttribs");

QColor colorIn(const QVariantMap& dict, const QString& key, const QColor& fallback) {
  const QVariant value = dict.value(key);
  return value.typeId() == QMetaType::QColor ? value.value<QColor>() : fallback;
}

QPointF whole(QPointF delta) { return {std::trunc(delta.x()), std::trunc(delta.y())}; }

}  // namespace

QKWindowContentView::QKWindowContentView(QWidget* parent)
    : QWidget(parent), body_(new QWidget(this)) {
  setFocusPolicy(Qt::ClickFocus);
  titleFontAttribDict_ =
      S::textAttributes(S::font(S::interfaceFontFamily(), 12), QColor(Qt::white));
}

QKWindowContentView::~QKWindowContentView() = default;

QKWindowContentView* QKWindowContentView::enclosing(const QWidget* widget) {
  for (QWidget* ancestor = widget ? widget->parentWidget() : nullptr; ancestor;
       ancestor = ancestor->parentWidget())
    if (auto* content = qobject_cast<QKWindowContentView*>(ancestor)) return content;
  return nullptr;
}

QKWindow* QKWindowContentView::paletteWindow() const { return qobject_cast<QKWindow*>(window()); }

// --- Set-up and removal ---

void QKWindowContentView::awakeFromNib() {
  allowResize_ = true;
  actualLocation_ = windowFrame();
  objectName_ = window()->windowTitle();
  reRender_ = true;
  expandedSize_ = actualLocation_.size();
  minSize_ = actualLocation_.size();
  collapsed_ = false;
  dragAction_ = NoDrag;
  bgImage_ = QImage();
  locked_ = false;
  fullyLocked_ = false;
  resizePreserveAspect_ = false;
  localAspectRatio_ = 4.0f / 3.0f;
  titleFontAttribDict_ =
      S::textAttributes(S::font(S::interfaceFontFamily(), 12), QColor(Qt::white));
  observeNotifications();
  findManagers();
  for (int i = 0; i < kMenuControllerSearches && !menuController_; ++i) lookForMenuController();
  moveWindowToDefaultLocation();
  // A fixed palette is built before it has its frame, at Qt's default size:
  // its smallest size is the frame it starts at, never that larger one.
  minSize_ = minSize_.boundedTo(expandedSize_);
  if (!menuController_) lookForMenuController();
  refreshLockState();
  layOutBody();
}

void QKWindowContentView::observeNotifications() {
  observers_.clear();
  const auto on = [this](const char* note,
                         void (QKWindowContentView::*handler)(const Notification&)) {
    observers_.observe(name(note), nullptr,
                       [this, handler](const Notification& n) { (this->*handler)(n); });
  };
  on(N::LockChanged, &QKWindowContentView::windowLockedNotification);
  on(N::MoveSetup, &QKWindowContentView::dragSetupNotification);
  on(N::CalculateAffectedArea, &QKWindowContentView::calculateAffectedAreaNotification);
  on(N::Move, &QKWindowContentView::objectMoveNotification);
  on(N::MoveAffected, &QKWindowContentView::moveAffectedObjectsNotification);
  on(N::WindowFocus, &QKWindowContentView::windowSelectNotification);
  on(N::SizePosReport, &QKWindowContentView::windowSizePosReportNotification);
  on(N::RedrawWindows, &QKWindowContentView::windowRedrawNotification);
}

// The owners answer synchronously through the setters.
void QKWindowContentView::findManagers() {
  center().post(name(DataSourceNotifications::ControllerFinder),
                static_cast<DataSourceControllerClient*>(this));
  center().post(QKButtonManager::kManagerFinderNotification,
                static_cast<ButtonManagerClient*>(this));
  center().post(QKSliderManager::kFinderNotification, static_cast<SliderManagerClient*>(this));
}

void QKWindowContentView::lookForDataSourceController() {
  Log::line("\t\terror: dataSourceController is NIL");
  center().post(name(DataSourceNotifications::ControllerFinder),
                static_cast<DataSourceControllerClient*>(this));
}

void QKWindowContentView::lookForMenuController() {
  center().post(name(N::FindWindowMenuController), static_cast<WindowMenuControllerClient*>(this));
}

void QKWindowContentView::prepareToBeDeleted() { observers_.clear(); }

// --- Drawing ---

void QKWindowContentView::renderPaths() {
  paths_ = PalettePaths::build(expandedSize_, actualLocation_.width(), collapsed_);
  reRender_ = false;
}

QVariantMap QKWindowContentView::getRelevantColorDict() const {
  const TheApplication* app = TheApplication::instance();
  if (!app || app->winColorDict().isEmpty()) return {};
  return app->winColorDict().value(locked_ ? kLockedColors : kUnlockedColors).toMap();
}

QColor QKWindowContentView::backgroundColor() const {
  return colorIn(getRelevantColorDict(), QStringLiteral("fill"),
                 QColor::fromRgbF(0.17f, 0.17f, 0.17f));
}

QColor QKWindowContentView::frameColor() const {
  return colorIn(getRelevantColorDict(), QStringLiteral("frame"), Qt::black);
}

QColor QKWindowContentView::titleBarColor() const {
  return colorIn(getRelevantColorDict(), QStringLiteral("titleBar"), Qt::black);
}

void QKWindowContentView::setNeedsDisplay() { update(); }

void QKWindowContentView::paintEvent(QPaintEvent* event) {
  if (const QKWindow* w = paletteWindow(); w && w->deleted()) return;
  try {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double top = expandedSize_.isEmpty() ? height() : expandedSize_.height();
    painter.setTransform(QTransform(1, 0, 0, -1, 0, top));
    const QRectF r = event->rect();
    drawRect(painter, QRectF(r.x(), top - (r.y() + r.height()), r.width(), r.height()));
  } catch (const std::exception& e) {
    Log::limited(
        QStringLiteral("QKWindowContentView::paintEvent"),
        QStringLiteral("\t\twindow caught exception on displayIfNeeded: %1").arg(e.what()));
  } catch (...) {
    Log::limited(QStringLiteral("QKWindowContentView::paintEvent"),
                 QStringLiteral("\t\twindow caught exception on displayIfNeeded: unknown"));
  }
}

void QKWindowContentView::drawRect(QPainter& painter, const QRectF& dirty) {
  const QRectF content(5, 5, width() - 10, height() - 23);
  if (content.contains(dirty)) {
    painter.fillRect(dirty, backgroundColor());
    return;
  }
  if (reRender_) renderPaths();
  painter.fillPath(paths_.framePath, collapsed_ ? titleBarColor() : backgroundColor());
  if (!bgImage_.isNull()) drawBackgroundImage(painter);
  if (!collapsed_) painter.fillPath(paths_.titlePath, titleBarColor());
  if (!locked_) {
    QPen pen(frameColor(), PalettePaths::kFrameLineWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.strokePath(paths_.framePath, pen);
  }
  const QVariantMap colors = getRelevantColorDict();
  QVariantMap attributes = colors.value(kTitleTextAttribs).toMap();
  if (attributes.isEmpty()) attributes = titleFontAttribDict_;
  const QColor text = colorIn(attributes, S::kForegroundColorAttribute, Qt::white);
  if (!fullyLocked_)
    painter.fillPath(collapsed_ ? paths_.collapsedPath : paths_.expandedPath, text);
  if (allowResize_ && !collapsed_) painter.fillPath(paths_.resizePath, text);
  drawTitle(painter, attributes);
}

// The title's box stands on (20, H − 16), upright.
void QKWindowContentView::drawTitle(QPainter& painter, const QVariantMap& attributes) const {
  const QVariant fontValue = attributes.value(S::kFontAttribute);
  const QFont font =
      fontValue.typeId() == QMetaType::QFont ? fontValue.value<QFont>() : this->font();
  painter.save();
  painter.resetTransform();
  painter.setFont(font);
  painter.setPen(colorIn(attributes, S::kForegroundColorAttribute, Qt::white));
  painter.drawText(QPointF(20, 16 - QFontMetricsF(font).descent()), objectName_);
  painter.restore();
}

void QKWindowContentView::drawBackgroundImage(QPainter& painter) const {
  const double top = expandedSize_.height();
  painter.save();
  painter.resetTransform();
  painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
  painter.setOpacity(0.5);
  painter.drawImage(QRectF(0, top - 100, 100, 100), bgImage_, bgImageRect_);
  painter.restore();
}

// --- Mouse ---

QPointF QKWindowContentView::viewPointFromQt(const QPointF& point) const {
  const double top = expandedSize_.isEmpty() ? height() : expandedSize_.height();
  return {point.x(), top - point.y()};
}

void QKWindowContentView::press(QMouseEvent* event, int clickCount) {
  window()->raise();
  window()->activateWindow();
  mouseDown(viewPointFromQt(event->position()),
            PaletteGeometry::pointFromQt(event->globalPosition(), mainHeight()),
            ModifierKeys::fromEvent(event), clickCount);
  event->accept();
}

void QKWindowContentView::mousePressEvent(QMouseEvent* event) { press(event, 1); }

void QKWindowContentView::mouseDoubleClickEvent(QMouseEvent* event) { press(event, 2); }

void QKWindowContentView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() == Qt::NoButton) return;
  mouseDragged(PaletteGeometry::pointFromQt(event->globalPosition(), mainHeight()));
  event->accept();
}

void QKWindowContentView::mouseReleaseEvent(QMouseEvent* event) {
  mouseUp();
  event->accept();
}

void QKWindowContentView::mouseDown(const QPointF& viewPoint, const QPointF& screenPoint,
                                    ModifierKeys keys, int clickCount) {
  if (!dataSourceController_) lookForDataSourceController();
  if (dataSourceController_) dataSourceController_->deselectEverything();
  optClick_ = keys.option();
  cmdClick_ = keys.command() && !optClick_;
  if (cmdClick_) window()->raise();
  superClickLoc_ = screenPoint;
  if (reRender_) renderPaths();
  if (!selected_) {
    center().post(name(N::WindowFocus), this);
    selected_ = true;
    setNeedsDisplay();
  }
  if (!menuController_) lookForMenuController();
  refreshLockState();
  startDragAction(paths_, viewPoint, clickCount);
}

void QKWindowContentView::startDragAction(const PalettePaths& paths, const QPointF& viewPoint,
                                          int clickCount) {
  const PaletteHitTest::Input input{
      viewPoint, actualLocation_.width(), collapsed_, allowResize_, locked_, fullyLocked_,
      clickCount};
  dragAction_ = PaletteHitTest::dragActionFor(input, paths);
  switch (dragAction_) {
    case ResizeDrag:
      resizePreserveAspect_ = optClick_;
      center().post(name(N::WindowFocus), this);
      postDragSetup(false, cmdClick_);
      break;
    case MoveDrag:
      postDragSetup(optClick_, cmdClick_);
      setNeedsDisplay();
      break;
    case CollapseToggle:
      collapsed_ ? expand() : collapse();
      center().post(name(N::SizePosReport));
      break;
    default:
      break;
  }
}

void QKWindowContentView::postDragSetup(bool optClick, bool cmdClick) {
  center().post(name(N::MoveSetup), this);
  center().post(name(N::CalculateAffectedArea), this,
                {{name(N::OptClickKey), optClick}, {name(N::CmdClickKey), cmdClick}});
}

void QKWindowContentView::mouseDragged(const QPointF& screenPoint) {
  if (dragAction_ == MoveDrag) moveDrag(screenPoint);
  if (dragAction_ == ResizeDrag) resizeDrag(screenPoint);
}

void QKWindowContentView::mouseUp() { dragAction_ = NoDrag; }

void QKWindowContentView::moveDrag(const QPointF& screenPoint) {
  const QPointF delta = whole(screenPoint - superClickLoc_);
  actualLocation_ = PaletteGeometry::clampMove(clickFrame_, delta, mainSize());
  center().post(name(N::Move), this);
  if (cmdClick_ || optClick_)
    postGroupMove(whole(actualLocation_.topLeft() - clickFrame_.topLeft()));
  setWindowFrame(actualLocation_);
  setNeedsDisplay();
  center().post(name(N::SizePosReport));
}

// The top edge stays; with the command key the palettes hanging below follow
// the bottom edge.
void QKWindowContentView::resizeDrag(const QPointF& screenPoint) {
  const QPointF delta = whole(screenPoint - superClickLoc_);
  actualLocation_ =
      resizedFrame(PaletteGeometry::clampResize(clickFrame_, delta, mainSize(), minSize_));
  center().post(name(N::Move), this);
  const double grown = std::trunc(actualLocation_.height() - clickFrame_.height());
  if (cmdClick_) postGroupMove({0, -grown});
  expandedSize_ = actualLocation_.size();
  reRender_ = true;
  setWindowFrame(actualLocation_);
  layOutBody();
  setNeedsDisplay();
  center().post(name(N::SizePosReport));
}

void QKWindowContentView::postGroupMove(QPointF delta) {
  center().post(name(N::MoveAffected), this, {{name(N::DeltaKey), delta}});
}

// --- Grouping and snapping ---

QKWindowContentView* QKWindowContentView::sender(const Notification& notification) {
  return static_cast<QKWindowContentView*>(notification.object);
}

void QKWindowContentView::dragSetupNotification(const Notification&) {
  actualLocation_ = windowFrame();
  clickFrame_ = actualLocation_;
  affectedByChange_ = false;
}

void QKWindowContentView::calculateAffectedAreaNotification(const Notification& notification) {
  QKWindowContentView* object = sender(notification);
  if (!object || object == this || affectedByChange_ || !windowIsVisible()) return;
  const bool opt = notification.userInfo.value(name(N::OptClickKey)).toBool();
  const bool cmd = notification.userInfo.value(name(N::CmdClickKey)).toBool();
  if (!PaletteSnap::joinsGroup(object->actualLocation_, actualLocation_, opt, cmd)) return;
  affectedByChange_ = true;
  center().post(name(N::CalculateAffectedArea), this, notification.userInfo);
}

void QKWindowContentView::objectMoveNotification(const Notification& notification) {
  QKWindowContentView* object = sender(notification);
  if (!object || object == this || selected_ || !windowIsVisible()) return;
  const auto drag =
      object->dragAction_ == ResizeDrag ? PaletteSnap::Drag::Resize : PaletteSnap::Drag::Move;
  object->setActualLocation(
      PaletteSnap::snap(object->actualLocation_, actualLocation_, drag, affectedByChange_));
}

void QKWindowContentView::moveAffectedObjectsNotification(const Notification& notification) {
  if (!affectedByChange_ || sender(notification) == this) return;
  const QPointF delta = notification.userInfo.value(name(N::DeltaKey)).toPointF();
  actualLocation_.moveTo(clickFrame_.topLeft() + delta);
  setWindowFrame(actualLocation_);
  setNeedsDisplay();
}

// --- Focus, lock, redraw, stored frames ---

void QKWindowContentView::windowSelectNotification(const Notification& notification) {
  if (notification.object == this || !selected_) return;
  selected_ = false;
  setNeedsDisplay();
}

void QKWindowContentView::windowBecameKey() {
  if (selected_) return;
  center().post(name(N::WindowFocus), this);
  selected_ = true;
  setNeedsDisplay();
}

// The controller posts itself; a view that knows none yet takes it, or asks.
void QKWindowContentView::windowLockedNotification(const Notification& notification) {
  if (!menuController_ && notification.object)
    menuController_ = static_cast<WindowMenuControllerInterface*>(notification.object);
  if (!menuController_) lookForMenuController();
  refreshLockState();
  setNeedsDisplay();
}

void QKWindowContentView::refreshLockState() {
  if (!menuController_) return;
  fullyLocked_ = menuController_->interfaceLockAll();
  locked_ = menuController_->interfaceLock() || fullyLocked_;
  setAllowResize(!locked_);
}

void QKWindowContentView::windowRedrawNotification(const Notification&) { setNeedsDisplay(); }

// Every palette hears every report (each step of any drag): the title's key
// is worked out once, and a frame is stored again only when it changed since
// this palette stored it (the key is this palette's own).
void QKWindowContentView::windowSizePosReportNotification(const Notification&) {
  const QString title = window()->windowTitle();
  if (title != frameKeyTitle_) {
    frameKeyTitle_ = title;
    frameKey_ = PaletteGeometry::storesFrameInDefaults(title)
                    ? PaletteGeometry::storedFrameKey(title)
                    : QString();
    storedFrame_.reset();
  }
  if (frameKey_.isEmpty()) return;
  UserDefaults& defaults = UserDefaults::standard();
  const StoredFrame frame{actualLocation_, expandedSize_, collapsed_, window()->isVisible()};
  if (storedFrame_ == frame && defaults.contains(frameKey_)) return;
  storedFrame_ = frame;
  const QVariantMap snapshot = createSnapshot();
  defaults.registerDefaults({{frameKey_, snapshot}});
  defaults.setValue(frameKey_, snapshot);
}

// --- Keys ---

void QKWindowContentView::keyDown(const QKeyEvent* event) {
  if (!dataSourceController_) lookForDataSourceController();
  if (dataSourceController_) dataSourceController_->keyDown(event);
}

void QKWindowContentView::keyPressEvent(QKeyEvent* event) {
  keyDown(event);
  event->accept();
}

void QKWindowContentView::keyReleaseEvent(QKeyEvent* event) {
  if (dataSourceController_) dataSourceController_->keyDown(event);
  event->accept();
}

// --- Collapse and frames ---

void QKWindowContentView::collapse() {
  if (!collapsed_) toggleCollapse(true);
}

void QKWindowContentView::expand() {
  if (collapsed_) toggleCollapse(false);
}

// The column hanging below moves by the height gained or lost (none on a
// command-toggle).
void QKWindowContentView::toggleCollapse(bool collapse) {
  center().post(name(N::MoveSetup), this);
  center().post(name(N::CalculateAffectedArea), this,
                {{name(N::OptClickKey), false}, {name(N::CmdClickKey), !cmdClick_}});
  const QRectF frame = actualLocation_;
  const double change =
      (collapse ? frame.height() : expandedSize_.height()) - PaletteGeometry::kBarHeight;
  postGroupMove({0, collapse ? change : -change});
  if (collapse) {
    expandedSize_ = frame.size();
    setCollapsedState(true, frame);
  } else {
    setCollapsedState(false, PaletteGeometry::expandedFrame(frame, expandedSize_));
  }
  if (QKWindow* w = paletteWindow(); w && w->delegate())
    w->delegate()->QKWindowContentViewCollapsedStateChanged(this);
}

// Takes the state and the frame (the bar of `expanded` while collapsed) and
// shows it.
void QKWindowContentView::setCollapsedState(bool collapsed, const QRectF& expanded) {
  collapsed_ = collapsed;
  expandedSize_ = expanded.size();
  actualLocation_ = collapsed ? PaletteGeometry::collapsedFrame(expanded) : expanded;
  reRender_ = true;
  setWindowFrame(actualLocation_);
  layOutBody();
  setNeedsDisplay();
}

void QKWindowContentView::moveWindowToHere(const QRectF& frame) {
  if (!collapsed_ && frame == actualLocation_) return;
  setCollapsedState(collapsed_, frame);
}

void QKWindowContentView::moveWindowToDefaultLocation() {
  if (const auto snapshot = PaletteGeometry::defaultFrameSnapshot(window()->windowTitle()))
    loadSnapshot(*snapshot);
}

QVariantMap QKWindowContentView::createSnapshot() const {
  std::optional<bool> visible;
  if (qobject_cast<const QKPaletteWindow*>(window())) visible = window()->isVisible();
  return FrameSnapshot::create(actualLocation_, expandedSize_, collapsed_, mainHeight(), visible);
}

// Only a change moves the window and redraws. A collapsed palette compares
// its expanded size too, so a snapshot that keeps the bar but changes the
// expanded height is not lost.
void QKWindowContentView::loadSnapshot(const QVariantMap& snapshot) {
  if (snapshot.isEmpty()) return;
  const QRectF currentExpanded =
      collapsed_ ? PaletteGeometry::expandedFrame(actualLocation_, expandedSize_) : actualLocation_;
  const FrameSnapshot::State state =
      FrameSnapshot::read(snapshot, {currentExpanded, collapsed_, {}}, mainHeight());
  const bool changed = state.collapsed != collapsed_ || state.expanded != currentExpanded ||
                       state.expanded.size() != expandedSize_;
  if (changed) setCollapsedState(state.collapsed, state.expanded);
  auto* palette = qobject_cast<QKPaletteWindow*>(window());
  if (!palette) return;
  if (state.visible ? *state.visible != palette->isVisible() : !palette->isVisible())
    palette->selectedInWindowMenu();
}

void QKWindowContentView::bringOnScreen() {
  const QRectF frame =
      PaletteGeometry::bringForward(actualLocation_, QKWindow::mainScreenFrame(), minSize_);
  if (frame == actualLocation_) return;
  if (collapsed_) {
    const QRectF expanded = PaletteGeometry::expandedFrame(
        QRectF(frame.x(), frame.y(), frame.width(), PaletteGeometry::kBarHeight),
        QSizeF(frame.width(), expandedSize_.height()));
    setCollapsedState(true, expanded);
  } else {
    setCollapsedState(false, frame);
  }
}

// --- Window ---

bool QKWindowContentView::windowIsVisible() const { return window()->isVisible(); }

QRectF QKWindowContentView::windowFrame() const {
  if (const QKWindow* w = paletteWindow()) return w->frame();
  return PaletteGeometry::fromQt(QRectF(window()->geometry()), mainHeight());
}

void QKWindowContentView::setWindowFrame(const QRectF& frame) {
  if (QKWindow* w = paletteWindow()) return w->setFrame(frame);
  window()->setGeometry(PaletteGeometry::toQt(frame, mainHeight()).toRect());
}

void QKWindowContentView::layOutBody() {
  if (collapsed_) {
    body_->hide();
    return;
  }
  const int title = static_cast<int>(PaletteGeometry::kTitleHeight);
  body_->setGeometry(3, title, std::max(0, width() - 6), std::max(0, height() - title - 3));
  body_->show();
}

void QKWindowContentView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  followWindowSize();
  layOutBody();
}

// A size the palette did not set itself (the window system, a plain resize
// of the window) becomes its expanded size: the frame's paths and the
// flipped drawing coordinates are made from that size, and a stale one
// leaves the grown part unpainted.
void QKWindowContentView::followWindowSize() {
  if (collapsed_ || expandedSize_.isEmpty() || size() == expandedSize_.toSize()) return;
  actualLocation_ = windowFrame();
  expandedSize_ = size();
  reRender_ = true;
  setNeedsDisplay();
}

// --- Accessors ---

void QKWindowContentView::setPaletteName(const QString& name) {
  objectName_ = name;
  setNeedsDisplay();
}

void QKWindowContentView::setAllowResize(bool allow) {
  allowResize_ = allow;
  setNeedsDisplay();
}

void QKWindowContentView::setBgImage(const QImage& image) {
  bgImage_ = image;
  if (!image.isNull()) bgImageRect_ = QRectF(0, 0, image.width(), image.height());
}

void QKWindowContentView::setDataSourceController(DataSourceController* controller) {
  dataSourceController_ = controller;
}

void QKWindowContentView::setMenuController(WindowMenuControllerInterface* controller) {
  menuController_ = controller;
}
