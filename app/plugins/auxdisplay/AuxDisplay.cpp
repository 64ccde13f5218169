#include "app/plugins/auxdisplay/AuxDisplay.h"

#include "app/compositor/Compositor.h"
#include "app/plugins/auxdisplay/AuxWindowGeometry.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/controls/QKButton.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/QuadShader.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <thread>

const QString AuxDisplay::kTypeName = QStringLiteral("AuxDisplay");
const QSizeF AuxDisplay::kMinimumSize(64, 60);

namespace {

const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kPreviewRate = QStringLiteral("preview rate");
const QString kRate = QStringLiteral("rate");
const QString kPreviewedLayer = QStringLiteral("previewed layer");

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

QLabel* label(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet(QStringLiteral("color: white; font-size: 11px"));
  return label;
}

}  // namespace

int AuxDisplay::rateForIndex(int index) {
  switch (index) {
    case 0:
      return 1;
    case 1:
      return 2;
    case 2:
      return 4;
    case 3:
      return 8;
    default:
      return 0;
  }
}

AuxDisplay::AuxDisplay(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      rTap_(QKRTap::create()),
      tapMenu_(std::make_unique<QKRTapMenuController>()) {
  NotificationCenter::defaultCenter().post(Compositor::kFinderNotification,
                                           static_cast<CompositorClient*>(this));
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) { closeOptionsPanel(); });
  observers_.observe(QKRTapMenuController::kRestoreEndNotification, nullptr,
                     [this](const Notification&) {
                       if (tapMenu_) tapMenu_->bang();
                     });
}

AuxDisplay::~AuxDisplay() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass AuxDisplay::pluginClass() {
  PluginClass aux;
  aux.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<AuxDisplay>(type, name, uniqueID);
  };
  aux.layout = &AuxDisplay::buildWindow;
  return aux;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> AuxDisplay::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(420, 340, 326, 263));
  auto* content = new AuxDisplayQKWinContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  auto* self = qobject_cast<AuxDisplay*>(owner);
  if (!self) return window;
  self->contentView_ = content;
  auto* column = new QVBoxLayout(content->body());
  column->setContentsMargins(0, 0, 0, 0);
  self->view_ = new AuxDisplayView;
  self->view_->setContentView(content);
  QWidget* container = QWidget::createWindowContainer(self->view_, content->body());
  container->setFocusPolicy(Qt::NoFocus);
  column->addWidget(container, 1);
  self->buildOptionsPanel(window.get());
  return window;
}

void AuxDisplay::buildOptionsPanel(QWidget* window) {
  optionsPanel_ = new BlackTranslucentPanel(window, Qt::Dialog | Qt::FramelessWindowHint);
  optionsPanel_->setWindowModality(Qt::WindowModal);
  optionsPanel_->resize(220, 110);
  auto* grid = new QGridLayout(optionsPanel_);
  grid->setContentsMargins(8, 8, 8, 8);
  sourceButton_ = new QKNSPopUpButton(optionsPanel_);
  rateButton_ = new QKNSPopUpButton(optionsPanel_);
  for (int index = 0; index < 4; ++index)
    rateButton_->addItemWithTitle(QString::number(rateForIndex(index)));
  rateButton_->selectItemAtIndex(0);
  fullscreenToggle_ = new QCheckBox(QStringLiteral("fullscreen"), optionsPanel_);
  fullscreenToggle_->setStyleSheet(QStringLiteral("color: white; font-size: 11px"));
  auto* close = new QKButton(optionsPanel_);
  close->setTitle(QStringLiteral("close"));
  close->setTitle2(QStringLiteral("close"));
  close->setFixedHeight(16);
  close->setTarget(alive_);
  close->setTriggerOnMain(true);
  close->setAction([this](QKButtonCell&) { closeOptionsPanel(); });
  grid->addWidget(label(QStringLiteral("source"), optionsPanel_), 0, 0);
  grid->addWidget(sourceButton_, 0, 1);
  grid->addWidget(label(QStringLiteral("rate"), optionsPanel_), 1, 0);
  grid->addWidget(rateButton_, 1, 1);
  grid->addWidget(fullscreenToggle_, 2, 0, 1, 2);
  grid->addWidget(close, 3, 1);
}

void AuxDisplay::awakeFromNib() {
  QKPlugin::awakeFromNib();
  // The palette's own awakening took its first frame as the smallest.
  if (QKWindow* w = window(); w && w->contentView()) w->contentView()->setMinSize(kMinimumSize);
  if (!view_) return;
  tapMenu_->setButton(sourceButton_);
  tapMenu_->setMyAction([this] { tapMenuUsed(); });
  tapMenu_->awakeFromNib();
  connect(rateButton_, &QKNSPopUpButton::activated, this,
          [this] { rateMenuUsed(rateButton_->indexOfSelectedItem()); });
  connect(fullscreenToggle_, &QCheckBox::toggled, this,
          [this](bool on) { goFullscreen(on ? 1 : 0); });
  rateMenuUsed(rateButton_->indexOfSelectedItem());
  view_->setDoubleClickAction([this] { openOptionsPanel(); });
  if (compositor_) {
    compositor_->registerNewPreviewWindow(this);
    registered_ = true;
  }
  observers_.observe(QKPluginManager::kPluginDeletedNotification, nullptr,
                     [this](const Notification&) { closeOptionsPanel(); });
  if (QKWindow* w = window()) preFullscreenWinFrame_ = w->frame();
}

void AuxDisplay::prepareToBeDeleted() {
  if (deleted()) return;
  closeOptionsPanel();
  // A frame under way finishes first; later ones find the lock held, then
  // the display gone from the compositor.
  std::unique_lock<std::mutex> lock(drawLock_, std::defer_lock);
  while (!lock.try_lock()) std::this_thread::yield();
  alive_.reset();
  if (tapMenu_) tapMenu_->prepareToBeDeleted();
  if (compositor_ && registered_) compositor_->removeRegisteredPreviewWindow(this);
  registered_ = false;
  observers_.clear();
  if (rTap_) rTap_->prepareToBeDeleted();
  rTap_.reset();
  lock.unlock();
  QKPlugin::prepareToBeDeleted();
}

// --- Frames (render thread) ------------------------------------------------------------------

bool AuxDisplay::collapsed() const { return contentView_ && contentView_->collapsedForRender(); }

void AuxDisplay::draw() {
  std::unique_lock<std::mutex> lock(drawLock_, std::try_to_lock);
  if (!lock.owns_lock()) {
    skipped_.fetch_add(1);
    return;
  }
  if (collapsed()) return;
  if (++rateCounter_ < rate_.load()) return;
  rateCounter_ = 0;
  flushes_.fetch_add(1);
  if (view_)
    view_->flushOutput(
        [this](gl::GLContext& context, QSize pixels) { drawContent(context, pixels); });
}

void AuxDisplay::drawContent(gl::GLContext& context, QSize pixels) {
  gl::GLFunctions& f = context.functions();
  f.glClearColor(0, 0, 0, 1);
  f.glClear(GL_COLOR_BUFFER_BIT);
  if (!sourceChosen_.load()) return;
  if (!rTap_) {
    Log::limited(QStringLiteral("aux rTap"), QStringLiteral("\t\terr: aux display's rTap was nil"));
    return;
  }
  const gl::TextureHandle texture = rTap_->getTextureRef();
  if (!texture) return;
  gl::GLContext::Blend blend;
  blend.enabled = true;
  context.setBlend(blend);
  if (gl::QuadShader* quad = gl::QuadShader::forCurrentContext())
    quad->drawUpright(texture, QRectF(QPointF(0, 0), QSizeF(pixels)));
}

// --- Controls --------------------------------------------------------------------------------

void AuxDisplay::tapMenuUsed() {
  if (!rTap_ || !tapMenu_) return;
  const QString name = tapMenu_->lastSelectedName();
  rTap_->useTapNamed(name.isEmpty() ? QKTapManager::kEmptyDeselectedString : name);
  sourceChosen_.store(!name.isEmpty());
}

void AuxDisplay::rateMenuUsed(int index) {
  const int rate = rateForIndex(index);
  if (rate > 0) rate_.store(rate);
}

void AuxDisplay::goFullscreen(int value) {
  QKWindow* w = window();
  if (!w) return;
  if (value == 1) {
    preFullscreenWinFrame_ = w->frame();
    if (const auto frame = AuxWindowGeometry::fullscreenFrame(w->frame(), ScreenList::frames()))
      w->setFrame(*frame);
  } else if (value == 0) {
    w->setFrame(preFullscreenWinFrame_);
  }
}

void AuxDisplay::gatherToWindowLocation(const QRectF& frame) {
  if (fullscreenToggle_) {
    const QSignalBlocker blocker(fullscreenToggle_);
    fullscreenToggle_->setChecked(false);
  }
  QKWindow* w = window();
  if (!w) return;
  w->setFrame(frame);
  preFullscreenWinFrame_ = frame;
  w->makeKeyAndOrderFront();
}

void AuxDisplay::openOptionsPanel() {
  if (optionsPanel_) optionsPanel_->showAsSheetOn(window());
}

void AuxDisplay::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->closeSheet();
}

// --- Snapshot --------------------------------------------------------------------------------

QVariantMap AuxDisplay::createSnapshot() const {
  QVariantMap layer = tapMenu_ ? tapMenu_->createSnapshot() : QVariantMap();
  layer.insert(kComponentName, kPreviewedLayer);
  const QVariantList components{QVariantMap{{kComponentName, kPreviewRate}, {kRate, rate_.load()}},
                                layer};
  return {{kSuperSnap, QKPlugin::createSnapshot()}, {kComponentArray, components}};
}

void AuxDisplay::loadSnapshot(const QVariantMap& snapshot) {
  if (isMap(snapshot.value(kSuperSnap))) QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  const QVariant components = snapshot.value(kComponentArray);
  if (components.typeId() != QMetaType::QVariantList) return;
  for (const QVariant& entry : components.toList()) {
    if (!isMap(entry)) continue;
    const QVariantMap component = entry.toMap();
    const QString name = component.value(kComponentName).toString();
    if (name == kPreviewRate) {
      bool ok = false;
      const int rate = component.value(kRate).toInt(&ok);
      if (ok && rateButton_) rateButton_->selectItemWithTitle(QString::number(rate));
      if (rateButton_) rateMenuUsed(rateButton_->indexOfSelectedItem());
    } else if (name == kPreviewedLayer && tapMenu_) {
      tapMenu_->loadSnapshot(component);
    }
  }
}
