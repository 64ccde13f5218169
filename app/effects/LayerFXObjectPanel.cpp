#include "app/effects/LayerFXObjectPanel.h"

#include "app/compositor/CompModeLists.h"
#include "app/effects/LayerFXObject.h"
#include "app/effects/LayerFXRenderContext.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/CIAttributeLoader.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace {

// A slider control showing a cell the effect already owns.
class CellSliderControl : public QKSliderControl {
 public:
  CellSliderControl(QKSliderCell::Ptr cell, QWidget* parent)
      : QKSliderControl(std::move(cell), parent) {}
};

constexpr int kGap = 4;

}  // namespace

LayerFXObjectPanel::LayerFXObjectPanel(LayerFXObject& effect, QWidget* parent)
    : QWidget(parent), effect_(effect) {
  const int row = kRowHeight;
  title_ = new QLabel(
      effect.isMissing() ? tr("%1 (missing)").arg(effect.myName()) : effect.myName(), this);
  title_->setGeometry(kGap, kGap, 110, row);
  title_->setToolTip(effect.filterName());
  if (effect.bypassButton()) {
    onOff_ = new QKButton(effect.bypassButton(), this);
    onOff_->setFrame(QRectF(118, kGap, 44, row));
  }
  mixMode_ = new QComboBox(this);
  mixMode_->setGeometry(166, kGap, 100, row);
  mixMode_->setToolTip(tr("Mix mode"));
  fillMixModes();
  connect(mixMode_, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { mixModeChosen(index); });
  delete_ = new QToolButton(this);
  delete_->setText(QStringLiteral("×"));
  delete_->setToolTip(tr("Delete"));
  delete_->setGeometry(kWidth - row - kGap, kGap, row, row);
  // The effect owns this panel: it is deleted from the event loop, and its
  // last reference goes there too, outside this panel's handlers.
  connect(delete_, &QToolButton::clicked, this, [this] {
    std::shared_ptr<FXObject> effect = effect_.shared_from_this();
    QTimer::singleShot(0, qApp,
                       [effect] { static_cast<LayerFXObject&>(*effect).tellMyChainToDeleteMe(); });
  });
  int y = kGap + row + kGap;
  if (const auto& cell = effect.wetDrySlider()) {
    wetDry_ = new CellSliderControl(cell, this);
    wetDry_->setFrame(QRectF(kGap, y, kWidth - 2 * kGap, 16));
    y += 16 + kGap;
  }
  borrowParameters();
  if (parameters_) {
    parameters_->resize(kWidth, parameters_->height());
    // A filter's panel lays its elements out again at the new width.
    if (auto* loader = dynamic_cast<CIAttributeLoader*>(parameters_.data()))
      loader->resizeAndReposition();
    parameters_->move(0, y);
    y += parameters_->height() + kGap;
  }
  resize(kWidth, y);
  updateMixMode();
}

LayerFXObjectPanel::~LayerFXObjectPanel() { handBackParameters(); }

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
