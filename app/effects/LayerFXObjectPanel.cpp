#include "app/effects/LayerFXObjectPanel.h"

#include "app/compositor/CompModeLists.h"
#include "app/effects/LayerFXObject.h"
#include "app/effects/LayerFXRenderContext.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/params/QCAttributeLoader.h"

#include <QComboBox>
#include <QResizeEvent>
#include <QTimer>

namespace {

// A slider control showing a cell the effect already owns.
class CellSliderControl : public QKSliderControl {
 public:
  CellSliderControl(QKSliderCell::Ptr cell, QWidget* parent)
      : QKSliderControl(std::move(cell), parent) {}
};

}  // namespace

LayerFXObjectPanel::LayerFXObjectPanel(LayerFXObject& effect, QWidget* parent)
    : FXObjectPanel(parent), effect_(effect) {
  setToolTip(effect.filterName());
  mixMode_ = new QComboBox(this);
  mixMode_->setToolTip(tr("Mix mode"));
  fillMixModes();
  connect(mixMode_, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { mixModeChosen(index); });
  if (const auto& cell = effect.wetDrySlider()) wetDry_ = new CellSliderControl(cell, this);
  borrowParameters();
  resize(kWidth, 60);
  layOutControls(kWidth);
  resize(kWidth, naturalHeight_);
  setMyFXObject(&effect);
  updateMixMode();
}

LayerFXObjectPanel::~LayerFXObjectPanel() { handBackParameters(); }

void LayerFXObjectPanel::layOutControls(int width) {
  if (width == laidOutWidth_) return;
  laidOutWidth_ = width;
  int y = int(kTitleHeight) + kGap;
  mixMode_->setGeometry(4, y, std::min(140, width - 8), kRowHeight);
  y += kRowHeight + kGap;
  if (wetDry_) {
    wetDry_->setFrame(QRectF(4, y, width - 8, kRowHeight));
    y += kRowHeight + kGap;
  }
  if (parameters_) {
    parameters_->resize(width, parameters_->height());
    // A filter's or a composition's panel lays its elements out again at
    // the new width.
    if (auto* loader = dynamic_cast<CIAttributeLoader*>(parameters_.data()))
      loader->resizeAndReposition();
    else if (auto* panel = qobject_cast<QCAttributeLoader*>(parameters_.data()))
      panel->resizeAndReposition();
    parameters_->move(0, y);
    y += parameters_->height() + kGap;
  }
  naturalHeight_ = std::max(y + kGap, int(FXObject::kMinimumHeight));
}

void LayerFXObjectPanel::resizeEvent(QResizeEvent* event) {
  FXObjectPanel::resizeEvent(event);
  const int before = naturalHeight_;
  layOutControls(event->size().width());
  if (naturalHeight_ == before || effect_.collapsed()) return;
  // The chain lays the panels out again at the new height, after this event.
  QPointer<LayerFXObjectPanel> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self && !self->effect_.deleted() && !self->effect_.collapsed())
      self->effect_.fxResizingHeight(self->naturalHeight_);
  });
}

void LayerFXObjectPanel::borrowParameters() {
  LayerFXRenderContext* context = effect_.renderContext();
  QWidget* view = context ? context->parameterView() : nullptr;
  if (!view) return;
  parameters_ = view;
  view->setParent(this);
  view->show();
}

void LayerFXObjectPanel::handBackParameters() {
  if (!parameters_) return;
  parameters_->hide();
  parameters_->setParent(nullptr);
  parameters_ = nullptr;
}

void LayerFXObjectPanel::fillMixModes() {
  filling_ = true;
  mixMode_->clear();
  effect_.mixModeLists().fillPopUp(*mixMode_);
  filling_ = false;
}

void LayerFXObjectPanel::updateMixMode() {
  if (mixMode_->count() == 0) fillMixModes();
  const int index = effect_.mixer() ? effect_.updateCompButton() : -1;
  if (index < 0) return;
  const int row = mixMode_->findData(index);
  if (row >= 0) mixMode_->setCurrentIndex(row);
}

void LayerFXObjectPanel::mixModeChosen(int row) {
  if (filling_) return;
  const QVariant index = mixMode_->itemData(row);
  if (index.isValid()) effect_.compButtonUsed(index.toInt());
}
