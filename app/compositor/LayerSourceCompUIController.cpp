#include "app/compositor/LayerSourceCompUIController.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/LayerCompModeChoice.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerWindowController.h"
#include "app/sources/LayerWinRTapMenuController.h"
#include "app/sources/QCSource.h"
#include "app/sources/VidSourceObject.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/QKFile.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/Log.h"

#include <QFileInfo>
#include <QLabel>
#include <QMenu>

namespace {

const QString kNone = QStringLiteral("<none>");
const QString kEject = QStringLiteral("Eject");

// The source name that selects each source-type item (item 0: none).
const QStringList& sourceClassNames() {
  static const QStringList names{QString(),
                                 VidSourceObject::kMovieSource,
                                 VidSourceObject::kQCSource,
                                 VidSourceObject::kTapSource,
                                 VidSourceObject::kWebSource,
                                 VidSourceObject::kImageSource};
  return names;
}

QLabel* makeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setPixelSize(10);
  label->setFont(font);
  label->setStyleSheet(QStringLiteral("color: #d8d8d8;"));
  return label;
}

}  // namespace

const QStringList& LayerSourceCompUIController::sourceTypeTitles() {
  static const QStringList titles{kNone,
                                  QStringLiteral("Movie"),
                                  QStringLiteral("QC patch"),
                                  QStringLiteral("Video Tap"),
                                  QStringLiteral("Web"),
                                  QStringLiteral("Image")};
  return titles;
}

LayerSourceCompUIController::LayerSourceCompUIController(LayerWindowController* window,
                                                         Compositor* compositor, QWidget* container)
    : window_(window), compositor_(compositor), container_(container) {
  sourceTypeLabel_ = makeLabel(QStringLiteral("Source"), container);
  sourceType_ = new QKNSPopUpButton(container);
  QFont itemFont(QStringLiteral("Lucida Grande"));
  itemFont.setPointSizeF(9);
  for (const QString& title : sourceTypeTitles())
    sourceType_->addItemWithTitle(title)->setFont(itemFont);
  QObject::connect(sourceType_, &QKNSPopUpButton::activated, this,
                   [this](QAction*) { sourceTypeButtonUsed(); });
  sourceControls_ = new QKNSPopUpButton(container);
  sourceControls_->addItemWithTitle(kEject);
  QObject::connect(sourceControls_, &QKNSPopUpButton::activated, this,
                   [this](QAction*) { sourceControlsButtonUsed(); });
  fileNameLabel_ = makeLabel(QStringLiteral("File"), container);
  fileName_ = makeLabel(kNone, container);
  tapPopUp_ = new QKNSPopUpButton(container);
  tapMenu_ = std::make_unique<LayerWinRTapMenuController>(window);
  tapMenu_->setButton(tapPopUp_);
  tapMenu_->awakeFromNib();
  tapMenu_->hide();
  textStyle_ = new QKNSPopUpButton(container);
  const QStringList styles = compositor ? compositor->fontSynthNames() : QStringList();
  if (styles.isEmpty()) {
    textStyle_->setMenu(nullptr);
    textStyle_->setToolTip(
        QStringLiteral("There are no valid QTZ text sources in the fontsynths folder"));
  } else {
    for (const QString& style : styles) textStyle_->addItemWithTitle(style);
  }
  textStyle_->hide();
  QObject::connect(textStyle_, &QKNSPopUpButton::activated, this,
                   [this](QAction*) { textPlayerStyleButtonUsed(); });
  compModeLabel_ = makeLabel(QStringLiteral("Comp"), container);
  compMode_ = new QKNSPopUpButton(container);
  QObject::connect(compMode_, &QKNSPopUpButton::activated, this,
                   [this](QAction*) { compModeButtonUsed(); });
  populateCompFilterTypes();
  opacityStrip_ = new QWidget(container);
  observers_.observe(Compositor::kCompModesChangedNotification, nullptr,
                     [this](const Notification&) { compModesChangedNotification(); });
  layOut();
}

LayerSourceCompUIController::~LayerSourceCompUIController() { prepareToBeDeleted(); }

void LayerSourceCompUIController::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  if (tapMenu_) tapMenu_->prepareToBeDeleted();
}

// Rows from the top: source type and its controls, file or tap or style,
// comp mode, the opacity strip.
void LayerSourceCompUIController::layOut() {
  const int w = std::max(200, container_->width());
  const int popUpWidth = (w - 52) / 2;
  sourceTypeLabel_->setGeometry(4, 4, 44, 18);
  sourceType_->setGeometry(48, 3, popUpWidth, 20);
  sourceControls_->setGeometry(52 + popUpWidth, 3, popUpWidth, 20);
  fileNameLabel_->setGeometry(4, 28, 44, 18);
  fileName_->setGeometry(48, 28, w - 52, 18);
  tapPopUp_->setGeometry(48, 27, w - 52, 20);
  textStyle_->setGeometry(52 + popUpWidth, 27, popUpWidth, 20);
  compModeLabel_->setGeometry(4, 53, 44, 18);
  compMode_->setGeometry(48, 52, w - 52, 20);
  opacityStrip_->setGeometry(0, 76, w, 31);
  if (currentAlphaSlider_) currentAlphaSlider_->setFrame(QRectF(3, 6, w - 39, 22));
  if (currentAlphaButton_) currentAlphaButton_->setFrame(QRectF(w - 34, 3, 28, 25));
}

bool LayerSourceCompUIController::usable() const {
  return !deleted_ && window_ && !window_->deleted() && window_->currentlyDisplayedLayer();
}

void LayerSourceCompUIController::populateCompFilterTypes() {
  if (!compositor_) return;
  compMode_->setMenu(compositor_->compModeLists().makeMenu().release());
}

void LayerSourceCompUIController::compModesChangedNotification() {
  const QString previous = compMode_->titleOfSelectedItem();
  populateCompFilterTypes();
  compMode_->selectItemWithTitle(previous);
  if (!compMode_->selectedItem() && !previous.isEmpty())
    Log::line(QStringLiteral("\t\terr: LayerSourceCompUIController selected comp mode %1 no longer "
                             "available")
                  .arg(previous));
  update();
}

void LayerSourceCompUIController::sourceTypeButtonUsed() {
  if (!usable()) return;
  const QString title = sourceType_->titleOfSelectedItem();
  Layer* layer = window_->currentlyDisplayedLayer();
  const QString name = title == kNone ? Layer::kNil : title;
  if (name == layer->currentSourceAsString()) return;
  compositor_->spinRenderLock();
  layer->useSourceNamed(name);
  compositor_->unlockRenderLock();
  window_->updateSourceCompUI();
}

void LayerSourceCompUIController::sourceControlsButtonUsed() {
  if (!usable()) return;
  if (sourceControls_->titleOfSelectedItem() != kEject) return;
  if (VidSourceObject* source = window_->currentlyDisplayedLayer()->currentSource())
    source->ejectButtonUsed();
  window_->updateSourceCompUI();
}

// The item's data is {identifier, kind}.
void LayerSourceCompUIController::compModeButtonUsed() {
  if (!usable()) return;
  Layer& layer = *window_->currentlyDisplayedLayer();
  const QAction* item = compMode_->selectedItem();
  const QStringList data = item ? item->data().toStringList() : QStringList();
  const QString name = data.value(0);
  const QString kind = data.value(1);
  LayerCompModeChoice::apply(*compositor_, layer, name, kind);
  compositor_->updateLayerView();
}

void LayerSourceCompUIController::textPlayerStyleButtonUsed() {
  if (!usable()) return;
  auto* source = dynamic_cast<QCSource*>(window_->currentlyDisplayedLayer()->currentSource());
  if (source && source->name() == VidSourceObject::kQCSource)
    source->setTextStyleWithStyleNamed(textStyle_->titleOfSelectedItem());
}

void LayerSourceCompUIController::update() {
  if (!usable()) return;
  Layer& layer = *window_->currentlyDisplayedLayer();
  updateSourceControls(layer);
  if (const std::optional<QString> comp = layer.compName()) compMode_->selectItemWithTitle(*comp);
  placeOpacityControls(layer);
}

void LayerSourceCompUIController::showSourceControls(bool type, bool controls, bool file, bool tap,
                                                     bool style) {
  sourceType_->setVisible(type);
  sourceTypeLabel_->setVisible(type);
  sourceControls_->setVisible(controls);
  fileName_->setVisible(file);
  fileNameLabel_->setVisible(file || tap);
  fileNameLabel_->setText(tap ? QStringLiteral("Tap") : QStringLiteral("File"));
  if (tap)
    tapMenu_->show();
  else
    tapMenu_->hide();
  textStyle_->setVisible(style);
}

void LayerSourceCompUIController::updateSourceControls(Layer& layer) {
  if (layer.groupFlag()) {
    showSourceControls(false, false, false, false, false);
    fileNameLabel_->hide();
    return;
  }
  VidSourceObject* source = layer.currentSource();
  const QString kind = source ? source->name() : QString();
  const int item = int(sourceClassNames().indexOf(kind));
  if (item < 0) return;  // a source of another kind leaves the controls
  const std::shared_ptr<QKFile> file = source ? source->currentFile() : nullptr;
  const QString fileName = file ? file->name() : kNone;
  if (!source) {
    showSourceControls(true, false, false, false, false);
    fileName_->setText(kNone);
  } else if (kind == VidSourceObject::kMovieSource) {
    showSourceControls(true, true, true, false, false);
    fileName_->setText(fileName);
  } else if (kind == VidSourceObject::kQCSource) {
    const bool text = file && file->qkFileType() == QKFile::kTextKind;
    showSourceControls(true, true, true, false, text);
    fileName_->setText(fileName);
    if (text)
      if (auto* qc = dynamic_cast<QCSource*>(source)) {
        const QString style = QFileInfo(qc->currentPatchPath()).fileName();
        if (textStyle_->menu())
          for (QAction* action : textStyle_->menu()->actions())
            if (action->text() == style) textStyle_->selectItem(action);
      }
  } else if (kind == VidSourceObject::kTapSource) {
    showSourceControls(true, false, false, true, false);
    fileName_->setText(kNone);
    tapMenu_->passivelySelectTapNamed(source->receivingTapName());
  } else if (kind == VidSourceObject::kWebSource) {
    showSourceControls(true, true, true, false, false);
    fileName_->setText(QStringLiteral("WebURL"));
  } else {
    showSourceControls(true, true, true, false, false);
    fileName_->setText(QStringLiteral("Image"));
  }
  sourceType_->selectItemAtIndex(item);
}

void LayerSourceCompUIController::handBackOpacityControls() {
  for (QWidget* widget : {static_cast<QWidget*>(currentAlphaSlider_.data()),
                          static_cast<QWidget*>(currentAlphaButton_.data())}) {
    if (!widget) continue;
    widget->hide();
    widget->setParent(previousHolder_);
  }
  currentAlphaSlider_ = nullptr;
  currentAlphaButton_ = nullptr;
  previousHolder_ = nullptr;
}

void LayerSourceCompUIController::placeOpacityControls(Layer& layer) {
  QKSliderControl* slider = layer.alphaSlider();
  QKButton* button = layer.alphaButton();
  // The previous layer's controls go back to that layer.
  if (currentAlphaSlider_ && currentAlphaSlider_ != slider) {
    currentAlphaSlider_->hide();
    currentAlphaSlider_->setParent(previousHolder_);
  }
  if (currentAlphaButton_ && currentAlphaButton_ != button) {
    currentAlphaButton_->hide();
    currentAlphaButton_->setParent(previousHolder_);
  }
  previousHolder_ = layer.controlHolder();
  currentAlphaSlider_ = slider;
  currentAlphaButton_ = button;
  if (slider) {
    slider->setParent(opacityStrip_);
    slider->show();
  }
  if (button) {
    button->setParent(opacityStrip_);
    button->show();
  }
  layOut();
}
