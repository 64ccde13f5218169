#include "framework/controls/QKButton.h"

#include "framework/controls/ButtonViewLink.h"
#include "framework/controls/ContextualMenuProvider.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/controls/QKButtonCellPainter.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/ControllerFinder.h"
#include "framework/toolkit/ModifierKeys.h"
#include "platform/foundation/Log.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

QKButton::QKButton(QWidget* parent) : QKButton(QKButtonCell::create(), parent) {}

QKButton::QKButton(std::shared_ptr<QKButtonCell> cell, QWidget* parent)
    : QWidget(parent),
      cell_(std::move(cell)),
      link_(std::make_shared<ButtonViewLink>(this, cell_)) {
  cell_->setControlView(link_);
  setFocusPolicy(Qt::ClickFocus);
  flashTimer_.setSingleShot(true);
  flashTimer_.setInterval(kFlashMilliseconds);
  connect(&flashTimer_, &QTimer::timeout, this, &QKButton::toggleRedrawMethod);
}

QKButton* QKButton::createWithFrame(const QRectF& frame, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setFrame(frame);
  return button;
}

QKButton::~QKButton() {
  if (!deleted()) prepareToBeDeleted();
  if (cell_->controlView() == link_) cell_->setControlView(nullptr);
}

QKButton* QKButton::viewOf(const QKButtonCell& cell) {
  const auto link = std::dynamic_pointer_cast<ButtonViewLink>(cell.controlView());
  return link ? link->view() : nullptr;
}

bool QKButton::deleted() const { return link_->deleted(); }

void QKButton::awakeFromNib() {
  update();
  cell_->setControlView(link_);
  cell_->buttonManagerCheck();
}

void QKButton::prepareToBeDeleted() {
  link_->markDeleted();
  flashTimer_.stop();
  cell_->prepareToBeDeleted();
}

void QKButton::retire() {
  prepareToBeDeleted();
  hide();
  deleteLater();
}

QString QKButton::description() const {
  const QString own = cell_->title();
  if (own.isNull()) return QStringLiteral("<Button -no title!->");
  return QStringLiteral("<Button %1>").arg(own);
}

void QKButton::setFrame(const QRectF& frame) {
  setGeometry(frame.toRect());
  layoutSyncToggle();
}

void QKButton::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The first size a widget is shown with is its creation size, not a change.
  if (event->oldSize().isValid() && event->oldSize() != event->size()) layoutSyncToggle();
}

void QKButton::layoutSyncToggle() {
  if (syncToggleView_ && cell_->syncToggle())
    syncToggleView_->setGeometry(QRectF(0, 0, height() / 2.0, height()).toRect());
}

// --- Forwarding ---------------------------------------------------------------------

void QKButton::setIntValue(int value, bool andOutput) {
  ifAlive([=](QKButtonCell& c) { c.setIntValue(value, andOutput); });
}
void QKButton::setBoolValue(bool value, bool andOutput) {
  ifAlive([=](QKButtonCell& c) { c.setBoolValue(value, andOutput); });
}
void QKButton::setFloatValue(float value, bool andOutput) {
  ifAlive([=](QKButtonCell& c) { c.setFloatValue(value, andOutput); });
}
void QKButton::setState(int value, bool andOutput) { setIntValue(value, andOutput); }
int QKButton::intValue() const { return cell_->intValue(); }
float QKButton::floatValue() const { return cell_->floatValue(); }

void QKButton::setButtonType(int type) {
  ifAlive([type](QKButtonCell& c) { c.setButtonType(type); });
  update();
}
void QKButton::setTitle(const QString& title) {
  ifAlive([&title](QKButtonCell& c) { c.setTitle(title); });
  update();
}
void QKButton::setTitle2(const QString& title) {
  ifAlive([&title](QKButtonCell& c) { c.setTitle2(title); });
  update();
}
int QKButton::buttonType() const { return cell_->buttonType(); }
QString QKButton::title() const { return cell_->title(); }
QString QKButton::title2() const { return cell_->title2(); }
bool QKButton::useThisImageTile(const QImage& image, const QSizeF& tileSize) {
  bool used = false;
  ifAlive([&](QKButtonCell& c) { used = c.useThisImageTile(image, tileSize); });
  update();
  return used;
}

void QKButton::setTarget(std::weak_ptr<const void> target) {
  ifAlive([&target](QKButtonCell& c) { c.setTarget(std::move(target)); });
}
void QKButton::setAction(QKButtonCell::Action action) {
  ifAlive([&action](QKButtonCell& c) { c.setAction(std::move(action)); });
}
void QKButton::setTriggerOnMain(bool onMain) {
  ifAlive([onMain](QKButtonCell& c) { c.setTriggerOnMain(onMain); });
}
bool QKButton::triggerOnMain() const { return cell_->triggerOnMain(); }
void QKButton::setTriggerOnMainNumber(const QVariant& number) {
  ifAlive([&number](QKButtonCell& c) { c.setTriggerOnMainNumber(number); });
}
QVariant QKButton::triggerOnMainNumber() const { return cell_->triggerOnMainNumber(); }
void QKButton::setDelegate(QKButtonCellDelegate* delegate) {
  ifAlive([delegate](QKButtonCell& c) { c.setDelegate(delegate); });
}
QKButtonCellDelegate* QKButton::delegate() const { return cell_->delegate(); }
void QKButton::bang() {
  ifAlive([](QKButtonCell& c) { c.bang(); });
}
void QKButton::toggle() { link_->toggle(); }

void QKButton::select() {
  ifAlive([](QKButtonCell& c) { c.select(); });
}
void QKButton::deselect() {
  ifAlive([](QKButtonCell& c) { c.deselect(); });
}
void QKButton::setPreventClickSelect(bool prevent) {
  ifAlive([prevent](QKButtonCell& c) { c.setPreventClickSelect(prevent); });
}
bool QKButton::preventClickSelect() const { return cell_->preventClickSelect(); }
int QKButton::modifiersOnClick() const { return cell_->modifiersOnClick(); }

void QKButton::setButtonManager(QKButtonManager* manager) {
  ifAlive([manager](QKButtonCell& c) { c.setButtonManager(manager); });
}
QKButtonManager* QKButton::buttonManager() const { return cell_->buttonManager(); }
void QKButton::hardwareLearnModeUpdated(bool mode) { cell_->hardwareLearnModeUpdated(mode); }

void QKButton::lockThisButtonToMe(QKButton* other) {
  if (other) ifAlive([other](QKButtonCell& c) { c.lockThisButtonToMe(other->cell()); });
}
void QKButton::unlockMe() {
  ifAlive([](QKButtonCell& c) { c.unlockMe(); });
}
void QKButton::setLockedButtonSrc(QKButton* master) {
  ifAlive([master](QKButtonCell& c) { c.setLockedButtonSrc(master ? master->cell() : nullptr); });
}
void QKButton::setLockedFlag(bool flag) {
  ifAlive([flag](QKButtonCell& c) { c.setLockedFlag(flag); });
}
std::vector<std::shared_ptr<QKButtonCell>> QKButton::lockedButtonArray() const {
  return deleted() ? std::vector<std::shared_ptr<QKButtonCell>>{} : cell_->lockedButtonArray();
}
bool QKButton::hasLockedButtons() const { return !deleted() && cell_->hasLockedButtons(); }
std::shared_ptr<QKButtonCell> QKButton::lockedButtonSrc() const {
  return deleted() ? nullptr : cell_->lockedButtonSrc();
}
bool QKButton::lockedFlag() const { return !deleted() && cell_->lockedFlag(); }
bool QKButton::okayToTriggerLockedButtons() {
  return !deleted() && cell_->okayToTriggerLockedButtons();
}

void QKButton::setSyncFlag(bool flag) {
  ifAlive([flag](QKButtonCell& c) { c.setSyncFlag(flag); });
}
bool QKButton::syncFlag() const { return cell_->syncFlag(); }
bool QKButton::useThisSource(const KeyPath& path) {
  return !deleted() && cell_->useThisSource(path);
}
KeyPath QKButton::syncArray() const { return cell_->syncArray(); }
void QKButton::setThreshVal(float threshold) {
  ifAlive([threshold](QKButtonCell& c) { c.setThreshVal(threshold); });
}
float QKButton::threshVal() const { return cell_->threshVal(); }
void QKButton::setTriggerOnRise(bool rise) {
  ifAlive([rise](QKButtonCell& c) { c.setTriggerOnRise(rise); });
}
bool QKButton::triggerOnRise() const { return cell_->triggerOnRise(); }
void QKButton::setTriggerOnFall(bool fall) {
  ifAlive([fall](QKButtonCell& c) { c.setTriggerOnFall(fall); });
}
bool QKButton::triggerOnFall() const { return cell_->triggerOnFall(); }
void QKButton::setTriggerMode(int mode) {
  ifAlive([mode](QKButtonCell& c) { c.setTriggerMode(mode); });
}
int QKButton::triggerMode() const { return cell_->triggerMode(); }

void QKButton::setSyncToggleState(bool shown) {
  ifAlive([shown](QKButtonCell& c) { c.setSyncToggleState(shown); });
}
std::shared_ptr<QKButtonCell> QKButton::syncToggle() const {
  return deleted() ? nullptr : cell_->syncToggle();
}
void QKButton::setSyncToggleDict(const QVariantMap& snapshot) {
  ifAlive([&snapshot](QKButtonCell& c) { c.setSyncToggleDict(snapshot); });
}
QVariantMap QKButton::syncToggleDict() const {
  return deleted() ? QVariantMap{} : cell_->syncToggleDict();
}
void QKButton::setPreventSyncToggle(bool prevent) {
  ifAlive([prevent](QKButtonCell& c) { c.setPreventSyncToggle(prevent); });
}
bool QKButton::preventSyncToggle() const { return deleted() || cell_->preventSyncToggle(); }
QKButton* QKButton::syncToggleView() const { return syncToggleView_; }

void QKButton::startMIDIDetect() {
  ifAlive([](QKButtonCell& c) { c.startMIDIDetect(); });
}
void QKButton::startOSCDetect() {
  ifAlive([](QKButtonCell& c) { c.startOSCDetect(); });
}
void QKButton::startKeyDetect() {
  ifAlive([](QKButtonCell& c) { c.startKeyDetect(); });
}
void QKButton::startButtonDetect() {
  ifAlive([](QKButtonCell& c) { c.startButtonDetect(); });
}
void QKButton::stopMIDIDetect() {
  ifAlive([](QKButtonCell& c) { c.stopMIDIDetect(); });
}
void QKButton::stopOSCDetect() {
  ifAlive([](QKButtonCell& c) { c.stopOSCDetect(); });
}
void QKButton::stopKeyDetect() {
  ifAlive([](QKButtonCell& c) { c.stopKeyDetect(); });
}
void QKButton::stopButtonDetect() {
  ifAlive([](QKButtonCell& c) { c.stopButtonDetect(); });
}

void QKButton::setKey(const QString& key) {
  ifAlive([&key](QKButtonCell& c) { c.setKey(key); });
}
QString QKButton::key() const { return deleted() ? QString() : cell_->key(); }
QVariantMap QKButton::createSnapshot() const { return cell_->createSnapshot(); }
void QKButton::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  ifAlive([&](QKButtonCell& c) { c.loadSnapshot(snapshot, andOutput); });
}
void QKButton::setDataSourceWithVal() { cell_->setDataSourceWithVal(); }

// --- The "S" toggle -------------------------------------------------------------------

void QKButton::addSubButton(const std::shared_ptr<QKButtonCell>& cell, const QRectF& frame) {
  if (!cell) return;
  delete syncToggleView_;
  syncToggleView_ = new QKButton(cell, this);
  syncToggleView_->setGeometry(frame.toRect());
  syncToggleView_->show();
  update();
}

void QKButton::removeSubButton(const std::shared_ptr<QKButtonCell>& cell) {
  if (!syncToggleView_ || syncToggleView_->cell() != cell) return;
  syncToggleView_->retire();
  syncToggleView_ = nullptr;
  update();
}

// --- Drawing ------------------------------------------------------------------------

void QKButton::paintEvent(QPaintEvent*) {
  if (cell_->controlView() != link_) cell_->setControlView(link_);
  QPainter painter(this);
  drawCell(painter, QRectF(rect()));
}

void QKButton::drawCell(QPainter& painter, const QRectF& frame) {
  QKButtonCellPainter::draw(painter, *cell_, frame);
}

// --- Flash --------------------------------------------------------------------------

void QKButton::mainThreadToggleMethod() {
  if (deleted() || flashTimer_.isActive()) return;
  cell_->setIsDown(true);
  update();
  flashTimer_.start();
}

bool QKButton::flashPending() const { return link_->flashPending(); }

bool QKButton::repaintPending() const { return link_->repaintPending(); }

void QKButton::toggleRedrawMethod() {
  if (deleted()) return;
  cell_->setIsDown(false);
  update();
}

// --- Mouse and keys -------------------------------------------------------------------

bool QKButton::findController() {
  if (!controller_) findDataSourceController(this);
  return controller_ != nullptr;
}

void QKButton::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (deleted()) return;
  const ModifierKeys keys = ModifierKeys::fromEvent(event);
  cell_->buttonManagerCheck();
  if (keys.control()) {
    rightMouseDown(event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  tracking_ = true;
  startTracking(keys);
}

void QKButton::startTracking(const ModifierKeys& keys) {
  cell_->setModifiersOnClick(keys.flags());
  cell_->setIsDown(true);
  update();
  const bool selected = cell_->selected();
  if (keys.shift()) {
    if (findController()) {
      if (selected)
        controller_->deselectThisButton(cell_.get());
      else
        controller_->selectThisButton(cell_.get());
    }
    return;
  }
  if (!selected && !cell_->preventClickSelect() && findController())
    controller_->selectThisButton(cell_.get());
  if (cell_->buttonType() != 1)
    cell_->bang();
  else
    cell_->setIntValue(cell_->intValue() == 1 ? 0 : 1);
}

void QKButton::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (!tracking_ || event->button() != Qt::LeftButton) return;
  tracking_ = false;
  cell_->setIsDown(false);
  update();
}

void QKButton::rightMouseDown(const QPoint& globalPos) {
  if (deleted()) return;
  if (!findController()) return;
  controller_->selectThisButton(cell_.get());
  QKButtonManager* manager = cell_->buttonManager();
  auto* provider = manager
                       ? dynamic_cast<ContextualMenuProvider*>(manager->contextualMenuController())
                       : nullptr;
  if (QMenu* menu = provider ? provider->contextualMenu() : nullptr) menu->popup(globalPos);
}

void QKButton::keyPressEvent(QKeyEvent* event) { forwardKey(event); }

void QKButton::keyReleaseEvent(QKeyEvent* event) { forwardKey(event); }

void QKButton::forwardKey(QKeyEvent* event) {
  event->accept();
  if (deleted()) return;
  if (findController()) controller_->keyDown(event);
}
