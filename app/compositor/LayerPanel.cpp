#include "app/compositor/LayerPanel.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/compositor/LayerChainPresetView.h"
#include "app/compositor/LayerListModel.h"
#include "app/compositor/LayerSizeController.h"
#include "app/sources/LayerWinRTapMenuController.h"
#include "app/sources/VidSourceObject.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>

#include <atomic>

namespace {
long long nextActivation() {
  static std::atomic<long long> counter{0};
  return ++counter;
}
}  // namespace

LayerPanel::LayerPanel(Compositor* compositor)
    : compositor_(compositor),
      window_(std::make_unique<QKPaletteWindow>(QRectF(260, 300, 640, 560))) {
  window_->setContentView(new QKWindowContentView);
  window_->setTitle(QStringLiteral("Layer"));
  window_->installEventFilter(this);
  QWidget* body = window_->contentView()->body();
  title_ = new QLabel(body);
  title_->setGeometry(8, 4, 300, 16);
  compPopUp_ = new QComboBox(body);
  compPopUp_->setGeometry(8, 56, 200, 22);
  fillCompModes();
  presets_ = new LayerChainPresetView(compositor, body);
  presets_->setGeometry(322, 396, 314, 150);
  QObject::connect(compPopUp_, qOverload<int>(&QComboBox::activated), this,
                   [this](int row) { compModeChosen(row); });
  sourcePopUp_ = new QComboBox(body);
  sourcePopUp_->setGeometry(8, 256, 150, 22);
  for (const QString& name :
       {Layer::kNil, Layer::kMovie, Layer::kQCPatch, Layer::kImage, Layer::kVideoTap, Layer::kWeb})
    sourcePopUp_->addItem(name, name);
  QObject::connect(sourcePopUp_, qOverload<int>(&QComboBox::activated), this,
                   [this](int row) { sourceChosen(row); });
  tapPopUp_ = new QKNSPopUpButton(body);
  tapPopUp_->setGeometry(166, 256, 150, 22);
  tapMenu_ = std::make_unique<LayerWinRTapMenuController>(this);
  tapMenu_->setButton(tapPopUp_);
  tapMenu_->awakeFromNib();
  tapMenu_->hide();
  activation_ = nextActivation();
}

LayerPanel::~LayerPanel() {
  prepareToBeDeleted();
  NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCRemoveWindowNotification"),
                                           window_.get());
}

void LayerPanel::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  handBack();
  if (tapMenu_) tapMenu_->prepareToBeDeleted();
  for (Layer* layer : std::vector<Layer*>(layers_))
    if (layer->parentWindow() == this) layer->setParentWindow(nullptr);
  layers_.clear();
  window_->hide();
}

void LayerPanel::layerDeleted(Layer* layer) {
  if (layer == shown_) handBack();
}

bool LayerPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_.get() && event->type() == QEvent::WindowActivate)
    activation_ = nextActivation();
  return QObject::eventFilter(watched, event);
}

bool LayerPanel::isVisible() const { return window_->isVisible(); }

void LayerPanel::addLayerToWindow(Layer* layer) {
  if (!layer || deleted_) return;
  if (std::find(layers_.begin(), layers_.end(), layer) == layers_.end()) layers_.push_back(layer);
  layer->setParentWindow(this);
  for (const auto& member : layer->layerArray())
    if (!member->parentWindow()) member->addToThisWindow(this);
  std::stable_sort(layers_.begin(), layers_.end(), [](const Layer* a, const Layer* b) {
    return a->orderedLayerIndex() < b->orderedLayerIndex();
  });
}

void LayerPanel::deleteThisLayer(Layer* layer) {
  if (layer == shown_) handBack();
  layer->removeFromParentWindow();
  for (const auto& member : layer->layerArray())
    if (member.get() == shown_) handBack();
  compositor_->deleteThisLayer(layer);
  if (layers_.empty()) {
    window_->hide();
    compositor_->deleteThisWindow(this);
  }
}

// The borrowed controls go back to their layer (no parent).
void LayerPanel::handBack() {
  if (!shown_) return;
  for (QWidget* widget :
       {static_cast<QWidget*>(shown_->alphaSlider()), static_cast<QWidget*>(shown_->alphaButton()),
        shown_->layerSizeController() ? shown_->layerSizeController()->view() : nullptr}) {
    if (!widget) continue;
    widget->hide();
    widget->setParent(shown_->controlHolder());
  }
  if (effects_) {
    effects_->hide();
    effects_->setParent(nullptr);
    effects_ = nullptr;
  }
  if (sourceView_) {
    sourceView_->hide();
    sourceView_->setParent(shown_->controlHolder());
    sourceView_ = nullptr;
  }
  shown_ = nullptr;
  title_->clear();
  presets_->setLayer(nullptr);
}

void LayerPanel::displayLayer(Layer* layer) {
  if (layer && isVisible()) showLayer(layer);
}

void LayerPanel::fxChainPresetApplied(Layer* layer, const QString& name) {
  if (layer == shown_) presets_->selectPreset(name);
}

void LayerPanel::reloadPresetShortcuts() { presets_->reload(); }

void LayerPanel::showLayer(Layer* layer) {
  if (deleted_ || !layer || layer->deleted()) return;
  if (layer != shown_) {
    handBack();
    shown_ = layer;
    QWidget* body = window_->contentView()->body();
    if (QKSliderControl* slider = layer->alphaSlider()) {
      slider->setParent(body);
      slider->setFrame(QRectF(8, 24, 200, 22));
      slider->show();
    }
    if (QKButton* button = layer->alphaButton()) {
      button->setParent(body);
      button->setFrame(QRectF(216, 24, 60, 22));
      button->show();
    }
    if (LayerSizeController* size = layer->layerSizeController(); size && size->view()) {
      size->view()->setParent(body);
      size->view()->move(4, 84);
      size->view()->show();
    }
    if (LayerChainInterface* chain = layer->fxChain(); chain && chain->effectsView()) {
      effects_ = chain->effectsView();
      effects_->setParent(body);
      effects_->setGeometry(324, 4, 308, 380);
      effects_->show();
    }
  }
  reloadTabRects();
  updateSourceCompUI();
  presets_->setLayer(shown_);
  const bool wasVisible = window_->isVisible();
  window_->show();
  window_->raise();
  if (!wasVisible)
    NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCAddLayerWindowNotification"),
                                             window_.get());
  activation_ = nextActivation();
}

void LayerPanel::showWindow() {
  if (!layers_.empty()) showLayer(shown_ ? shown_ : layers_.front());
}

void LayerPanel::reloadTabRects() {
  if (!shown_) return;
  title_->setText(shown_->layerName());
  window_->setTitle(shown_->layerName());
}

void LayerPanel::fillCompModes() {
  filling_ = true;
  compPopUp_->clear();
  compositor_->compModeLists().fillPopUp(*compPopUp_);
  filling_ = false;
}

void LayerPanel::updateSourceCompUI() {
  if (!shown_ || deleted_) return;
  sourcePopUp_->setCurrentIndex(sourcePopUp_->findData(shown_->currentSourceAsString()));
  VidSourceObject* current = shown_->currentSource();
  const bool tap = current && current->name() == VidSourceObject::kTapSource;
  if (tap) {
    tapMenu_->show();
    tapMenu_->passivelySelectTapNamed(current->receivingTapName());
  } else {
    tapMenu_->hide();
  }
  showSourceView();
  if (compPopUp_->count() == 0) fillCompModes();
  const int index =
      int(compositor_->compFilterHumanNameArray().indexOf(shown_->compName().value_or(QString())));
  compPopUp_->setCurrentIndex(compPopUp_->findData(index));
}

// The current source's panel under the source pop-up.
void LayerPanel::showSourceView() {
  VidSourceObject* current = shown_ ? shown_->currentSource() : nullptr;
  QWidget* view = current ? current->view() : nullptr;
  if (view == sourceView_) return;
  if (sourceView_) {
    sourceView_->hide();
    sourceView_->setParent(shown_->controlHolder());
  }
  sourceView_ = view;
  if (!view) return;
  view->setParent(window_->contentView()->body());
  view->move(4, 284);
  view->show();
}

void LayerPanel::sourceChosen(int row) {
  if (!shown_) return;
  const QString name = sourcePopUp_->itemData(row).toString();
  if (name.isEmpty() || name == shown_->currentSourceAsString()) return;
  compositor_->spinRenderLock();
  shown_->useSourceNamed(name);
  compositor_->unlockRenderLock();
  updateSourceCompUI();
}

void LayerPanel::compModeChosen(int row) {
  if (filling_ || !shown_) return;
  const QVariant index = compPopUp_->itemData(row);
  if (!index.isValid()) return;
  LayerListModel::applyCompMode(*compositor_, *shown_, index.toInt());
  compositor_->updateLayerView();
}
