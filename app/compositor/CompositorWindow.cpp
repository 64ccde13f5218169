#include "app/compositor/CompositorWindow.h"

#include "app/compositor/CompositorCustomWindow.h"
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerListController.h"
#include "app/compositor/LayerListOutlineView.h"
#include "app/compositor/LayerPanel.h"
#include "app/compositor/LayerWindowController.h"
#include "framework/controls/QKButton.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/RenderThread.h"

#include <QMenuBar>
#include <QPushButton>

namespace {
constexpr int kToggleType = 1;
constexpr int kControlsHeight = 330;
}  // namespace

CompositorWindow::CompositorWindow(CompositorGLView* view, std::function<void()> openDisplayChooser)
    : view_(view),
      window_(std::make_unique<QKPaletteWindow>(
          QRectF(20, 200, 260, kControlsHeight + kMenuBarHeight))) {
  window_->setContentView(new QKWindowContentView);
  window_->setTitle(QStringLiteral("Layer Manager"));
  window_->setDelegate(this);
  wakeWhereBuilt();
  // The program's menu bar, when given, takes the strip above the controls.
  controls_ = new QWidget(window_->contentView()->body());
  controls_->setGeometry(0, kMenuBarHeight, 254, kControlsHeight);
  QWidget* body = controls_;
  displayToggle_ = makeToggle(QStringLiteral("Display"), 8, [this] { displayToggleUsed(); });
  fullscreenToggle_ =
      makeToggle(QStringLiteral("Fullscreen"), 32, [this] { fullscreenToggleUsed(); });
  chooserButton_ = new QPushButton(QStringLiteral("Fullscreen Displays…"), body);
  chooserButton_->setGeometry(8, 56, 150, 22);
  QObject::connect(chooserButton_, &QPushButton::clicked, chooserButton_,
                   [open = std::move(openDisplayChooser)] {
                     if (open) open();
                   });
  Compositor* compositor = view_->compositor();
  layerList_ = std::make_unique<LayerListController>(compositor, body,
                                                     [this](Layer* layer) { openLayer(layer); });
  layerList_->outlineView()->setGeometry(8, 84, 244, 190);
  newLayerButton_ =
      makeButton(QStringLiteral("New Layer"), 8, [compositor] { compositor->createNewLayer(); });
  groupButton_ =
      makeButton(QStringLiteral("Group"), 92, [compositor] { compositor->groupSelectedLayers(); });
  deleteButton_ = makeButton(QStringLiteral("Delete"), 176,
                             [compositor] { compositor->deleteSelectedLayers(); });
  // A refused fullscreen request resets the toggle.
  view_->setFullscreenRefusedHook([this] { fullscreenToggle_->setIntValue(0, false); });
}

CompositorWindow::~CompositorWindow() {
  // The menu bar belongs to the program and outlives this window.
  if (menuBar_) {
    menuBar_->hide();
    menuBar_->setParent(nullptr);
  }
  view_->setFullscreenRefusedHook({});
  layerList_.reset();
  NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCRemoveWindowNotification"),
                                           window_.get());
  displayToggle_->prepareToBeDeleted();
  fullscreenToggle_->prepareToBeDeleted();
  if (emptyRenderer_) TheApplication::addItemToQCDeleteArray(std::move(emptyRenderer_));
}

// Woken as a palette, so that it is dragged, resized and locked as one, but
// left expanded where it was built: its default place is a collapsed bar,
// which would hide the menu bar it carries.
void CompositorWindow::wakeWhereBuilt() {
  const QRectF built = window_->frame();
  window_->awakeFromNib();
  window_->contentView()->loadSnapshot(FrameSnapshot::create(
      built, built.size(), false, QKWindow::mainScreenFrame().height(), false));
}

QKButton* CompositorWindow::makeToggle(const QString& title, int y, std::function<void()> used) {
  auto* button = new QKButton(controls_);
  button->setFrame(QRectF(8, y, 100, 18));
  button->setButtonType(kToggleType);
  button->setTitle(title);
  button->setTitle2(title);
  button->setTriggerOnMain(true);
  button->setAction([alive = std::weak_ptr<int>(alive_), used = std::move(used)](QKButtonCell&) {
    if (alive.lock()) used();
  });
  button->awakeFromNib();
  return button;
}

QPushButton* CompositorWindow::makeButton(const QString& title, int x,
                                          std::function<void()> clicked) {
  auto* button = new QPushButton(title, controls_);
  button->setGeometry(x, 280, 76, 22);
  QObject::connect(button, &QPushButton::clicked, button, std::move(clicked));
  return button;
}

void CompositorWindow::openLayer(Layer* layer) {
  if (!layer) return;
  auto* panel = dynamic_cast<LayerPanel*>(layer->parentWindow());
  if (!panel) {
    for (const auto& window : view_->compositor()->layerWindowArray())
      if ((panel = dynamic_cast<LayerPanel*>(window.get()))) break;
  }
  if (panel) panel->showLayer(layer);
}

void CompositorWindow::putPaletteSnapInDict(QVariantMap& dict) const {
  const QVariantMap display = displayToggle_->createSnapshot();
  if (!display.isEmpty()) dict.insert(QStringLiteral("toggleDisplayButton"), display);
  const QVariantMap fullscreen = fullscreenToggle_->createSnapshot();
  if (!fullscreen.isEmpty()) dict.insert(QStringLiteral("fullscreenToggle"), fullscreen);
}

void CompositorWindow::matchThisPaletteShortcutSnapshot(const QVariantMap& dict) {
  const bool wasFullscreen = view_->fullscreen();
  const QVariant display = dict.value(QStringLiteral("toggleDisplayButton"));
  if (display.typeId() == QMetaType::QVariantMap) displayToggle_->loadSnapshot(display.toMap());
  const QVariant fullscreen = dict.value(QStringLiteral("fullscreenToggle"));
  if (fullscreen.typeId() == QMetaType::QVariantMap)
    fullscreenToggle_->loadSnapshot(fullscreen.toMap(), false);
  fullscreenToggle_->setIntValue(wasFullscreen ? 1 : 0, false);
}

void CompositorWindow::setMenuBar(QMenuBar* bar) {
  menuBar_ = bar;
  if (!bar) return;
  QWidget* body = window_->contentView()->body();
  bar->setParent(body);
  bar->setGeometry(0, 0, controls_->width(), kMenuBarHeight);
  bar->show();
}

void CompositorWindow::show() {
  window_->show();
  NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCAddPaletteWindowNotification"),
                                           window_.get());
}

void CompositorWindow::displayToggleUsed() {
  const int wanted = displayToggle_->intValue();
  if (wanted != 0 && wanted != 1) return;
  displaying_ = view_->displayLinkRunning();
  if (displaying_ == bool(wanted)) return;
  displaying_ = wanted;
  if (displaying_) {
    view_->window()->show();
    view_->startDisplayLink();
  } else {
    view_->stopDisplayLink();
  }
}

void CompositorWindow::fullscreenToggleUsed() {
  view_->setFullscreen(fullscreenToggle_->intValue() == 1);
}

void CompositorWindow::prepareEmptyRenderer() {
  // GL objects die on the render thread, between frames.
  if (emptyRenderer_) TheApplication::addItemToQCDeleteArray(std::move(emptyRenderer_));
  emptyRenderer_.reset();
  if (!displaying_ || !gl::RenderThread::instance().isRunning()) return;
  const QString path = Paths::resourcePath(QStringLiteral("black"),
                                           QString::fromLatin1(composition::kCompositionExtension));
  QString reason;
  const auto document = composition::CompositionDocument::load(path, &reason);
  if (!document) {
    Log::line(QStringLiteral("\t\terr: the black composition cannot be read: ") + reason);
    return;
  }
  gl::RenderThread::instance().invokeAndWait(
      [&] { emptyRenderer_ = composition::QCRenderer::create(document); });
}
