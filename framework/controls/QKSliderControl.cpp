#include "framework/controls/QKSliderControl.h"

#include "framework/controls/ContextualMenuProvider.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/controls/SliderPainter.h"
#include "framework/toolkit/ModifierKeys.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

// Creation and retirement -----------------------------------------------------------

QKSliderControl::QKSliderControl(QWidget* parent)
    : QKSliderControl(QKSliderCell::create(), parent) {}

QKSliderControl::QKSliderControl(QKSliderCell::Ptr cell, QWidget* parent)
    : QWidget(parent), cell_(std::move(cell)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  if (cell_) cell_->setControlView(this);
  frameChanged();
}

QKSliderControl* QKSliderControl::createWithFrame(const QRectF& frame, QWidget* parent) {
  auto* control = new QKSliderControl(parent);
  control->setFrame(frame);
  return control;
}

QKSliderControl::~QKSliderControl() {
  if (!deleted_) prepareToBeDeleted();
  if (cell_) cell_->setControlView(nullptr);
}

void QKSliderControl::prepareToBeDeleted() {
  if (deleted_) return;
  endTrackingWithoutRelease();
  deleted_ = true;
  if (cell_) {
    cell_->setDelegate(nullptr);
    cell_->prepareToBeDeleted();
  }
}

QString QKSliderControl::description() const {
  if (deleted_) return QStringLiteral("<QKSliderControl -deleted!->");
  if (!cell_)
    return QStringLiteral("<QKSliderControl -no cell!- %1>")
        .arg(reinterpret_cast<quintptr>(this), 0, 16);
  return QStringLiteral("<QKSliderControl %1, %2>")
      .arg(cell_->sliderName())
      .arg(static_cast<double>(cell_->value()), 0, 'f', 6);
}

void QKSliderControl::setDelegate(const std::shared_ptr<QKSliderCellDelegate>& delegate) {
  tell([&delegate](QKSliderCell& c) { c.setDelegate(delegate); });
}

std::shared_ptr<QKSliderCellDelegate> QKSliderControl::delegate() const {
  return ask(std::shared_ptr<QKSliderCellDelegate>(), [](QKSliderCell& c) { return c.delegate(); });
}

// Geometry ----------------------------------------------------------------------------------

void QKSliderControl::setFrame(const QRectF& frame) {
  if (deleted_) return;
  setGeometry(frame.toAlignedRect());
  frameChanged();  // a hidden widget hears of its new size only when shown
}

QRectF QKSliderControl::bounds() const {
  return vertical() ? QRectF(0, 0, height(), width()) : QRectF(0, 0, width(), height());
}

QRectF QKSliderControl::frame() const { return QRectF(geometry()); }

QRectF QKSliderControl::frameInWindow() const {
  return QRectF(QPointF(mapTo(window(), QPoint(0, 0))), QSizeF(size()));
}

QPointF QKSliderControl::sliderPoint(const QPointF& widgetPoint) const {
  return SliderPainter::toWidget(QSizeF(size()), vertical()).inverted().map(widgetPoint);
}

void QKSliderControl::frameChanged() {
  if (live()) cell_->setFrame(frame());  // places the toggles too
  updateAbsVisibleRect();
  update();
}

void QKSliderControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  frameChanged();
}

void QKSliderControl::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  frameChanged();
}

void QKSliderControl::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  watchWindow();
  updateAbsVisibleRect();
}

void QKSliderControl::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  endTrackingWithoutRelease();
  updateAbsVisibleRect();
}

bool QKSliderControl::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
      watchWindow();
      updateAbsVisibleRect();
      break;
    // Another window (an alert, a palette) took the mouse: no release will
    // come. Qt hands a window's deactivation on to its visible children.
    case QEvent::WindowDeactivate:
    case QEvent::UngrabMouse:
      endTrackingWithoutRelease();
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

// The window's moves, resizes, shows and hides move the slider on screen.
void QKSliderControl::watchWindow() {
  QWidget* top = window();
  if (top == watchedWindow_) return;
  if (watchedWindow_) watchedWindow_->removeEventFilter(this);
  watchedWindow_ = top != this ? top : nullptr;
  if (watchedWindow_) watchedWindow_->installEventFilter(this);
}

bool QKSliderControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watchedWindow_) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
        updateAbsVisibleRect();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// The window's place on screen plus the visible part's place in it, in
// bottom-left coordinates against the primary screen.
void QKSliderControl::updateAbsVisibleRect() {
  QRectF onScreen;
  const QRect visible =
      isVisible() && window()->isVisible() ? visibleRegion().boundingRect() : QRect();
  if (visible.width() > 0) {
    const QRectF topLeft(QPointF(mapToGlobal(visible.topLeft())), QSizeF(visible.size()));
    onScreen = PaletteGeometry::fromQt(topLeft, QKWindow::mainScreenFrame().height());
  }
  std::lock_guard<std::mutex> lock(absVisibleRectLock_);
  absVisibleRect_ = onScreen;
}

QRectF QKSliderControl::absVisibleRect() const {
  std::lock_guard<std::mutex> lock(absVisibleRectLock_);
  return absVisibleRect_;
}

void QKSliderControl::toggleButtonsChanged() {
  if (MainThread::isMainThread()) {
    placeToggleButtons();
    return;
  }
  QMetaObject::invokeMethod(
      this, [this] { placeToggleButtons(); }, Qt::QueuedConnection);
}

void QKSliderControl::placeToggleButtons() {
  const SliderLayout layout = cell_ ? cell_->layout() : SliderLayout();
  placeToggle(syncToggleButton_, live() ? cell_->syncToggle() : nullptr, layout.syncToggleFrame);
  placeToggle(behavToggleButton_, live() ? cell_->behavToggle() : nullptr, layout.behavToggleFrame);
  update();
}

// A vertical slider's column lies at its bottom: the rectangle is turned
// into the widget, the button stays upright.
void QKSliderControl::placeToggle(QPointer<QKButton>& button,
                                  const std::shared_ptr<QKButtonCell>& cell, const QRectF& frame) {
  if (button && (!cell || button->cell() != cell)) {
    button->hide();
    button->deleteLater();
    button = nullptr;
  }
  if (!cell || frame.isNull()) return;
  if (!button) button = new QKButton(cell, this);
  const QRectF inWidget = SliderPainter::toWidget(QSizeF(size()), vertical()).mapRect(frame);
  button->setGeometry(inWidget.toAlignedRect());
  button->show();
}

// Drawing and events ----------------------------------------------------------------------

void QKSliderControl::paintEvent(QPaintEvent* /*event*/) {
  if (!live()) return;
  QPainter painter(this);
  cell_->drawWithFrame(painter, vertical(), isEnabled(), QSizeF(size()));
}

void QKSliderControl::press(QMouseEvent* event, int clickCount) {
  endTrackingWithoutRelease();  // a press whose release never came
  if (!live()) return;
  const int flags = ModifierKeys::fromEvent(event).flags();
  const QPointF point = sliderPoint(event->position());
  switch (cell_->tracker().trackMouse(point, flags, clickCount)) {
    case SliderTracker::Press::OpenMenu:
      rightMouseDown(event->globalPosition().toPoint());
      break;
    case SliderTracker::Press::Tracking:
      tracking_ = true;
      lastTrackedPoint_ = point;
      break;
    case SliderTracker::Press::Ignored:
      break;
  }
}

void QKSliderControl::mousePressEvent(QMouseEvent* event) { press(event, 1); }

void QKSliderControl::mouseDoubleClickEvent(QMouseEvent* event) { press(event, 2); }

void QKSliderControl::mouseMoveEvent(QMouseEvent* event) {
  if (!tracking_ || !live()) return;
  lastTrackedPoint_ = sliderPoint(event->position());
  cell_->continueTracking(lastTrackedPoint_);
}

void QKSliderControl::mouseReleaseEvent(QMouseEvent* event) {
  if (!tracking_) return;
  tracking_ = false;
  if (live()) cell_->stopTracking(sliderPoint(event->position()));
}

void QKSliderControl::endTrackingWithoutRelease() {
  if (!tracking_) return;
  tracking_ = false;
  if (live()) cell_->stopTracking(lastTrackedPoint_);
}

void QKSliderControl::keyPressEvent(QKeyEvent* event) {
  tell([event](QKSliderCell& c) { c.keyDown(event); });
}

void QKSliderControl::keyReleaseEvent(QKeyEvent* event) {
  tell([event](QKSliderCell& c) { c.keyUp(event); });
}

void QKSliderControl::rightMouseDown(const QPoint& globalPos) {
  if (!live()) return;
  cell_->selectJustMe();
  auto* manager = dynamic_cast<QKSliderManager*>(cell_->sliderManager());
  auto* provider = manager
                       ? dynamic_cast<ContextualMenuProvider*>(manager->contextualMenuController())
                       : nullptr;
  if (QMenu* menu = provider ? provider->contextualMenu() : nullptr) menu->popup(globalPos);
}

// Conveniences -------------------------------------------------------------------------------

void QKSliderControl::setMaxEnvNumber(std::optional<float> maxEnv) {
  if (maxEnv) setMaxEnv(*maxEnv);
}

void QKSliderControl::setMinEnvNumber(std::optional<float> minEnv) {
  setMinEnv(minEnv.value_or(0.0f));
}

// Commands -----------------------------------------------------------------------------------

void QKSliderControl::setTarget(const std::weak_ptr<void>& target) {
  if (!deleted_ && !cell_) Log::line(QStringLiteral("\t\terr: myCell was nil"));
  tell([&target](QKSliderCell& c) { c.setTarget(target); });
}
void QKSliderControl::setAction(QKSliderCell::Action action) {
  tell([&action](QKSliderCell& c) { c.setAction(std::move(action)); });
}

void QKSliderControl::loadSnapshot(const QVariantMap& snapshot) {
  tell([&snapshot](QKSliderCell& c) { c.loadSnapshot(snapshot); });
}

void QKSliderControl::selectJustMe() {
  tell([](QKSliderCell& c) { c.selectJustMe(); });
}

void QKSliderControl::selectMeToo() {
  tell([](QKSliderCell& c) { c.selectMeToo(); });
}

void QKSliderControl::deselectJustMe() {
  tell([](QKSliderCell& c) { c.deselectJustMe(); });
}

void QKSliderControl::setSelected(bool flag) {
  tell([flag](QKSliderCell& c) { c.setSelected(flag); });
}

void QKSliderControl::setLockedFlag(bool flag) {
  tell([flag](QKSliderCell& c) { c.setLockedFlag(flag); });
}

void QKSliderControl::startAllDetect() {
  tell([](QKSliderCell& c) { c.startAllDetect(); });
}

void QKSliderControl::startMIDIDetect() {
  tell([](QKSliderCell& c) { c.startMIDIDetect(); });
}

void QKSliderControl::startOSCDetect() {
  tell([](QKSliderCell& c) { c.startOSCDetect(); });
}

void QKSliderControl::stopAllDetect() {
  tell([](QKSliderCell& c) { c.stopAllDetect(); });
}

void QKSliderControl::stopMIDIDetect() {
  tell([](QKSliderCell& c) { c.stopMIDIDetect(); });
}

void QKSliderControl::stopOSCDetect() {
  tell([](QKSliderCell& c) { c.stopOSCDetect(); });
}

void QKSliderControl::setSyncToggleDict(const QVariantMap& snapshot) {
  tell([&snapshot](QKSliderCell& c) { c.setSyncToggleDict(snapshot); });
}

void QKSliderControl::setSyncToggleState(bool shown) {
  tell([shown](QKSliderCell& c) { c.setSyncToggleState(shown); });
}

void QKSliderControl::setBehavToggleDict(const QVariantMap& snapshot) {
  tell([&snapshot](QKSliderCell& c) { c.setBehavToggleDict(snapshot); });
}

void QKSliderControl::setBehavToggleState(bool shown) {
  tell([shown](QKSliderCell& c) { c.setBehavToggleState(shown); });
}

void QKSliderControl::justSetValue(float value) {
  tell([value](QKSliderCell& c) { c.justSetValue(value); });
}

void QKSliderControl::justSetMinenv(float minEnv) {
  tell([minEnv](QKSliderCell& c) { c.justSetMinenv(minEnv); });
}

void QKSliderControl::justSetMaxenv(float maxEnv) {
  tell([maxEnv](QKSliderCell& c) { c.justSetMaxenv(maxEnv); });
}

void QKSliderControl::setDataSourceWithVal(DataSource* source) {
  tell([source](QKSliderCell& c) { c.setDataSourceWithVal(source); });
}

void QKSliderControl::evaluateBehaviors() {
  tell([](QKSliderCell& c) { c.evaluateBehaviors(); });
}

void QKSliderControl::addInterestingPoint(float point) {
  tell([point](QKSliderCell& c) { c.addInterestingPoint(point); });
}

void QKSliderControl::addInterestingPointWithRangedValue(float point) {
  tell([point](QKSliderCell& c) { c.addInterestingPointWithRangedValue(point); });
}

void QKSliderControl::removeInterestingPoint(float point) {
  tell([point](QKSliderCell& c) { c.removeInterestingPoint(point); });
}

void QKSliderControl::setValueForInterestingPointAtIndex(std::optional<float> point, int index) {
  tell([point, index](QKSliderCell& c) { c.setValueForInterestingPointAtIndex(point, index); });
}

void QKSliderControl::removeAllInterestingPoints() {
  tell([](QKSliderCell& c) { c.removeAllInterestingPoints(); });
}

void QKSliderControl::bang() {
  tell([](QKSliderCell& c) { c.bang(); });
}

void QKSliderControl::setValue(float value, bool andOutput) {
  tell([value, andOutput](QKSliderCell& c) { c.setValue(value, andOutput); });
}

void QKSliderControl::setValueAndOutputIfDifferent(float value) {
  tell([value](QKSliderCell& c) { c.setValueAndOutputIfDifferent(value); });
}

void QKSliderControl::setMaxEnv(float maxEnv, bool andOutput) {
  tell([maxEnv, andOutput](QKSliderCell& c) { c.setMaxEnv(maxEnv, andOutput); });
}

void QKSliderControl::setMinEnv(float minEnv, bool andOutput) {
  tell([minEnv, andOutput](QKSliderCell& c) { c.setMinEnv(minEnv, andOutput); });
}

void QKSliderControl::setMaxRange(float maxRange) {
  tell([maxRange](QKSliderCell& c) { c.setMaxRange(maxRange); });
}

void QKSliderControl::setMinRange(float minRange) {
  tell([minRange](QKSliderCell& c) { c.setMinRange(minRange); });
}

void QKSliderControl::setValueWithRangedValue(float rangedValue, bool andOutput) {
  tell([rangedValue, andOutput](QKSliderCell& c) {
    c.setValueWithRangedValue(rangedValue, andOutput);
  });
}

void QKSliderControl::setFillValue(float fillValue) {
  tell([fillValue](QKSliderCell& c) { c.setFillValue(fillValue); });
}

void QKSliderControl::setFillValueWithRangedValue(float rangedValue) {
  tell([rangedValue](QKSliderCell& c) { c.setFillValueWithRangedValue(rangedValue); });
}

void QKSliderControl::jumpSliderBy(float step, bool andOutput) {
  tell([step, andOutput](QKSliderCell& c) { c.jumpSliderBy(step, andOutput); });
}

void QKSliderControl::jumpSliderByRangedValue(float step, bool andOutput) {
  tell([step, andOutput](QKSliderCell& c) { c.jumpSliderByRangedValue(step, andOutput); });
}

void QKSliderControl::setSliderName(const QString& name) {
  tell([&name](QKSliderCell& c) { c.setSliderName(name); });
}

void QKSliderControl::setSliderManager(SliderManagerInterface* manager) {
  tell([manager](QKSliderCell& c) { c.setSliderManager(manager); });
}

void QKSliderControl::setUniqueID(long uniqueID) {
  tell([uniqueID](QKSliderCell& c) { c.setUniqueID(uniqueID); });
}

void QKSliderControl::setSoftTakeoverMode(int mode) {
  tell([mode](QKSliderCell& c) { c.setSoftTakeoverMode(mode); });
}

void QKSliderControl::setSoftTakeoverTolerance(float tolerance) {
  tell([tolerance](QKSliderCell& c) { c.setSoftTakeoverTolerance(tolerance); });
}

void QKSliderControl::setSoftTakeoverSpeed(float speed) {
  tell([speed](QKSliderCell& c) { c.setSoftTakeoverSpeed(speed); });
}

void QKSliderControl::setKey(const QString& key) {
  tell([&key](QKSliderCell& c) { c.setKey(key); });
}

// Queries ------------------------------------------------------------------------------------

QVariantMap QKSliderControl::createSnapshot() const {
  return ask(QVariantMap(), [](QKSliderCell& c) { return c.createSnapshot(); });
}

std::shared_ptr<QKButtonCell> QKSliderControl::syncToggle() const {
  return ask(std::shared_ptr<QKButtonCell>(), [](QKSliderCell& c) { return c.syncToggle(); });
}

QVariantMap QKSliderControl::syncToggleDict() const {
  return ask(QVariantMap(), [](QKSliderCell& c) { return c.syncToggleDict(); });
}

std::shared_ptr<QKButtonCell> QKSliderControl::behavToggle() const {
  return ask(std::shared_ptr<QKButtonCell>(), [](QKSliderCell& c) { return c.behavToggle(); });
}

QVariantMap QKSliderControl::behavToggleDict() const {
  return ask(QVariantMap(), [](QKSliderCell& c) { return c.behavToggleDict(); });
}

std::optional<float> QKSliderControl::findRelevantInterestingPointForValue(float value) const {
  return ask(std::optional<float>(),
             [value](QKSliderCell& c) { return c.findRelevantInterestingPointForValue(value); });
}

std::optional<float> QKSliderControl::findInterestingPointClosestToValue(float value) const {
  return ask(std::optional<float>(),
             [value](QKSliderCell& c) { return c.findInterestingPointClosestToValue(value); });
}

std::optional<float> QKSliderControl::findInterestingPointAtIndex(int index) const {
  return ask(std::optional<float>(),
             [index](QKSliderCell& c) { return c.findInterestingPointAtIndex(index); });
}

QString QKSliderControl::sliderName() const {
  return ask(QString(), [](QKSliderCell& c) { return c.sliderName(); });
}

SliderManagerInterface* QKSliderControl::sliderManager() const {
  return ask(static_cast<SliderManagerInterface*>(nullptr),
             [](QKSliderCell& c) { return c.sliderManager(); });
}

QList<float> QKSliderControl::interestingPoints() const {
  return ask(QList<float>(), [](QKSliderCell& c) { return c.interestingPoints(); });
}

std::shared_ptr<BehaviorChainInterface> QKSliderControl::behaviorChain() const {
  return ask(std::shared_ptr<BehaviorChainInterface>(),
             [](QKSliderCell& c) { return c.behaviorChain(); });
}

QString QKSliderControl::behaviorName() const {
  return ask(QString(), [](QKSliderCell& c) { return c.behaviorName(); });
}

KeyPath QKSliderControl::syncArray() const {
  return ask(KeyPath(), [](QKSliderCell& c) { return c.syncArray(); });
}

QString QKSliderControl::key() const {
  return ask(QString(), [](QKSliderCell& c) { return c.key(); });
}

float QKSliderControl::firstInterestingPointsValue() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.firstInterestingPointsValue(); });
}

float QKSliderControl::lastInterestingPointsValue() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.lastInterestingPointsValue(); });
}

float QKSliderControl::rangedMinEnv() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.rangedMinEnv(); });
}

float QKSliderControl::rangedMaxEnv() const {
  return ask(1.0f, [](QKSliderCell& c) { return c.rangedMaxEnv(); });
}

float QKSliderControl::rangedValue() const {
  return ask(0.5f, [](QKSliderCell& c) { return c.rangedValue(); });
}

float QKSliderControl::fillValue() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.fillValue(); });
}

float QKSliderControl::lastInputValue() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.lastInputValue(); });
}

float QKSliderControl::value() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.value(); });
}

float QKSliderControl::maxEnv() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.maxEnv(); });
}

float QKSliderControl::minEnv() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.minEnv(); });
}

float QKSliderControl::maxRange() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.maxRange(); });
}

float QKSliderControl::minRange() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.minRange(); });
}

float QKSliderControl::clickValue() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.tracker().clickValue(); });
}

float QKSliderControl::clickMaxEnv() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.tracker().clickMaxEnv(); });
}

float QKSliderControl::clickMinEnv() const {
  return ask(0.0f, [](QKSliderCell& c) { return c.tracker().clickMinEnv(); });
}

int QKSliderControl::clickedIPIndex() const {
  return ask(0, [](QKSliderCell& c) { return c.tracker().clickedIPIndex(); });
}

int QKSliderControl::clickModifiers() const {
  return ask(0, [](QKSliderCell& c) { return c.tracker().clickModifiers(); });
}

int QKSliderControl::changeMask() const {
  return ask(0, [](QKSliderCell& c) { return c.tracker().changeMask(); });
}

int QKSliderControl::jumpMask() const {
  return ask(0, [](QKSliderCell& c) { return c.tracker().jumpMask(); });
}

QPointF QKSliderControl::localClickLoc() const {
  return ask(QPointF(), [](QKSliderCell& c) { return c.tracker().localClickLoc(); });
}

long QKSliderControl::uniqueID() const {
  return ask(-1L, [](QKSliderCell& c) { return c.uniqueID(); });
}

int QKSliderControl::dataSourceType() const {
  return ask(-2, [](QKSliderCell& c) { return c.dataSourceType(); });
}

bool QKSliderControl::selected() const {
  return ask(false, [](QKSliderCell& c) { return c.selected(); });
}

bool QKSliderControl::syncFlag() const {
  return ask(false, [](QKSliderCell& c) { return c.syncFlag(); });
}

bool QKSliderControl::behaviorFlag() const {
  return ask(false, [](QKSliderCell& c) { return c.behaviorFlag(); });
}

bool QKSliderControl::vertFlag() const {
  return ask(false, [](QKSliderCell& c) { return c.vertFlag(); });
}

bool QKSliderControl::validDataSourceValAvailable() const {
  return ask(true, [](QKSliderCell& c) { return c.validDataSourceValAvailable(); });
}

QRectF QKSliderControl::controlFrame() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.controlFrame(); });
}

QRectF QKSliderControl::absControlFrame() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.absControlFrame(); });
}

QRectF QKSliderControl::leftEnvHandle() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.leftEnvHandle(); });
}

QRectF QKSliderControl::rightEnvHandle() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.rightEnvHandle(); });
}

QRectF QKSliderControl::leftEnv() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.leftEnv(); });
}

QRectF QKSliderControl::rightEnv() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.rightEnv(); });
}

QRectF QKSliderControl::sliderHead() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.sliderHead(); });
}

QRectF QKSliderControl::sliderBG() const {
  return ask(QRectF(), [](QKSliderCell& c) { return c.sliderBG(); });
}

// Cell only ---------------------------------------------------------------------------------

void QKSliderControl::lockThisSliderToMe(const QKSliderControl* other) {
  if (other) lockThisSliderToMe(other->cellPtr());
}

void QKSliderControl::lockThisSliderToMe(const QKSliderCell::Ptr& other) {
  if (cell_ && other) cell_->lockThisSliderToMe(other);
}

void QKSliderControl::setLockedSliderSrc(const QKSliderControl* master) {
  if (master) setLockedSliderSrc(master->cellPtr());
}

void QKSliderControl::setLockedSliderSrc(const QKSliderCell::Ptr& master) {
  if (cell_ && master) cell_->setLockedSliderSrc(master);
}

void QKSliderControl::unlockMe() {
  if (cell_) cell_->unlockMe();
}

void QKSliderControl::setLockUIFlag(bool flag) {
  if (cell_) cell_->setLockUIFlag(flag);
}

void QKSliderControl::setSyncFlag(bool flag) {
  if (cell_) cell_->setSyncFlag(flag);
}

bool QKSliderControl::lockUIFlag() const { return cell_ ? cell_->lockUIFlag() : true; }

bool QKSliderControl::useThisSource(const std::optional<KeyPath>& path) {
  if (!path) return false;
  return cell_ ? cell_->useThisSource(path) : true;
}

void QKSliderControl::dataSourceNameChanged(DataSource* source) {
  if (cell_ && source) cell_->dataSourceNameChanged(source);
}
