#include "app/plugins/sliders/Sliders.h"

#include "app/plugins/sliders/SliderBankLayout.h"
#include "app/plugins/sliders/SliderListController.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DSFloatFreqNonRepeat.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKScrollView.h"
#include "platform/foundation/Log.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <QSignalBlocker>

#include <algorithm>
#include <optional>

const QString Sliders::kTypeName = QStringLiteral("Sliders");

namespace {

const QString kSliderArray = QStringLiteral("sliderArray");
const QString kSliderCount = QStringLiteral("sliderCount");
const QString kSliderHeight = QStringLiteral("sliderHeight");
const QString kVertical = QStringLiteral("vertical");
const QString kSliderName = QStringLiteral("sliderName");

}  // namespace

Sliders::Sliders(const QString& type, const QString& name, std::int32_t uniqueID)
    : BankPlugin(type, name, uniqueID),
      listController_(std::make_unique<SliderListController>(this)) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(DataSourceHolder::createWithName(name), {name});
}

Sliders::~Sliders() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass Sliders::pluginClass() {
  PluginClass sliders;
  sliders.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<Sliders>(type, name, uniqueID);
  };
  sliders.layout = &Sliders::buildWindow;
  return sliders;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> Sliders::buildWindow(QObject* owner) {
  std::unique_ptr<QWidget> window = buildBankWindow(owner, QRectF(300, 300, 240, 180));
  if (auto* self = qobject_cast<Sliders*>(owner)) {
    self->listView()->horizontalHeader()->hide();
    self->listView()->horizontalHeader()->setStretchLastSection(true);
  }
  return window;
}

void Sliders::buildSheetRows(QVBoxLayout* column) {
  auto* thickness = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Thickness"));
  label->setStyleSheet(QStringLiteral("color: white"));
  thickness->addWidget(label);
  sliderHeightSlider_ = new QSlider(Qt::Horizontal);
  sliderHeightSlider_->setRange(8, 80);
  sliderHeightSlider_->setValue(sliderHeight_);
  thickness->addWidget(sliderHeightSlider_, 1);
  column->addLayout(thickness);
  vertButton_ = new QCheckBox(QStringLiteral("Upright"));
  vertButton_->setStyleSheet(QStringLiteral("color: white"));
  vertButton_->setTristate(true);
  column->addWidget(vertButton_);
  connect(sliderHeightSlider_, &QSlider::valueChanged, this,
          [this](int value) { sliderHeightSliderUsed(value); });
  connect(vertButton_, &QCheckBox::stateChanged, this, [this](int state) {
    vertButtonUsed(state == Qt::Unchecked ? 0 : state == Qt::Checked ? 1 : -1);
  });
}

QAbstractItemModel* Sliders::listModel() const { return listController_.get(); }

void Sliders::reloadList() { listController_->update(); }

void Sliders::awakeFromNib() {
  BankPlugin::awakeFromNib();
  if (!documentView()) return;
  createSlider();
  resetSliderPositions();
  applyScrollers();
}

// --- Bank ----------------------------------------------------------------------------------

KeyPath Sliders::sourcePath(const QString& sliderName) const { return {windowTitle(), sliderName}; }

QList<QKSliderControl*> Sliders::sliderArray() const {
  QList<QKSliderControl*> list;
  for (const auto& slider : sliderArray_)
    if (slider) list.append(slider.data());
  return list;
}

bool Sliders::isThereASliderNamed(const QString& name) const {
  return std::any_of(sliderArray_.begin(), sliderArray_.end(),
                     [&](const auto& slider) { return slider && slider->sliderName() == name; });
}

QString Sliders::getUniqueNameForArray() const {
  return lowestFreeName([this](const QString& name) { return isThereASliderNamed(name); });
}

QKSliderControl* Sliders::addSlider() {
  if (!documentView()) return nullptr;
  QKSliderControl* slider = QKSliderControl::createWithFrame(QRectF(0, 0, 40, 20), documentView());
  slider->setSliderName(getUniqueNameForArray());
  sliderArray_.emplace_back(slider);
  slider->show();
  return slider;
}

// The source pulls the slider's value on every tick through the cell's
// liveness token; a changed value goes on at once.
void Sliders::publish(QKSliderControl* slider) {
  DataSourceController* dsc = dataSourceController();
  if (!dsc || !slider) return;
  const std::weak_ptr<DataSourceTarget> cell = slider->cellPtr();
  auto source = DSFloatFreqNonRepeat::createWithName(
      slider->sliderName(), cell, [](DataSourceTarget& target, DataSource* source) {
        static_cast<QKSliderCell&>(target).setDataSourceWithVal(source);
      });
  dsc->setDataSource(source, sourcePath(slider->sliderName()));
}

void Sliders::unpublish(QKSliderControl* slider) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, sourcePath(slider->sliderName()));
}

QKSliderControl* Sliders::createSlider() {
  QKSliderControl* slider = addSlider();
  if (!slider) return nullptr;
  resetSliderPositions();
  publish(slider);
  listController_->update();
  return slider;
}

void Sliders::deleteSlider() { deleteSliders(selectedRows()); }

void Sliders::deleteSliders(const QList<int>& rows) {
  std::vector<QKSliderControl*> gone;
  for (int row = static_cast<int>(sliderArray_.size()) - 1; row >= 0; --row) {
    if (!rows.contains(row)) continue;
    gone.push_back(sliderArray_[row].data());
    sliderArray_.erase(sliderArray_.begin() + row);
  }
  for (QKSliderControl* slider : gone) retire(slider);
  resetSliderPositions();
  listController_->update();
}

void Sliders::deleteAllSliders() {
  std::vector<QPointer<QKSliderControl>> gone;
  gone.swap(sliderArray_);
  for (const auto& slider : gone) retire(slider.data());
}

void Sliders::retire(QKSliderControl* slider) {
  if (!slider) return;
  unpublish(slider);
  slider->prepareToBeDeleted();
  slider->hide();
  slider->deleteLater();
}

bool Sliders::renameSlider(int row, const QString& name) {
  if (row < 0 || row >= static_cast<int>(sliderArray_.size()) || !sliderArray_[row]) return false;
  QKSliderControl* slider = sliderArray_[row].data();
  const QString old = slider->sliderName();
  if (!isSoundName(name) || name == old || isThereASliderNamed(name)) return false;
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom(sourcePath(old), sourcePath(name));
  slider->setSliderName(name);
  slider->update();
  return true;
}

// --- Layout and options -------------------------------------------------------------------

void Sliders::resetSliderPositions() {
  if (!scrollView() || !documentView()) return;
  const QSizeF content = scrollView()->viewport()->size();
  const int count = static_cast<int>(sliderArray().size());
  const QSizeF document =
      SliderBankLayout::documentSize(count, sliderHeight_, kSliderSpacing, content, vertical_);
  documentView()->resize(document.toSize());
  const QSizeF placed = documentView()->size();
  int index = 0;
  for (QKSliderControl* slider : sliderArray()) {
    const QRectF frame =
        SliderBankLayout::frameAt(index++, sliderHeight_, kSliderSpacing, placed, vertical_);
    slider->setFrame(PaletteGeometry::toQt(frame, placed.height()));
  }
  scrollView()->update();
}

void Sliders::sliderHeightSliderUsed(int value) {
  sliderHeight_ = value;
  resetSliderPositions();
}

void Sliders::vertButtonUsed(int value) {
  const bool upright = value != 0;
  if (upright != vertical_) setVertical(upright);
}

void Sliders::setVertical(bool upright) {
  vertical_ = upright;
  resetSliderPositions();
  applyScrollers();
}

void Sliders::applyScrollers() {
  if (!scrollView()) return;
  scrollView()->setHorizontalScrollBarPolicy(vertical_ ? Qt::ScrollBarAsNeeded
                                                       : Qt::ScrollBarAlwaysOff);
  scrollView()->setVerticalScrollBarPolicy(vertical_ ? Qt::ScrollBarAlwaysOff
                                                     : Qt::ScrollBarAsNeeded);
}

// --- Plug-in -------------------------------------------------------------------------------

void Sliders::setPluginName(const QString& name) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom({windowTitle()}, {name});
  BankPlugin::setPluginName(name);
}

QVariantMap Sliders::createSnapshot() const {
  QVariantList sliders;
  for (QKSliderControl* slider : sliderArray()) {
    QVariantMap snapshot = slider->createSnapshot();
    if (snapshot.isEmpty()) continue;
    snapshot.insert(kSliderName, slider->sliderName());
    sliders.append(snapshot);
  }
  return {{kSuperSnap, BankPlugin::createSnapshot()},
          {kSliderArray, sliders},
          {kSliderCount, static_cast<qint64>(sliderArray().size())},
          {kSliderHeight, sliderHeight_},
          {kVertical, vertical_}};
}

void Sliders::loadSnapshot(const QVariantMap& snapshot) {
  BankPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  deleteAllSliders();
  if (snapshot.contains(kSliderHeight)) {
    const std::optional<long long> height = wholeNumber(snapshot.value(kSliderHeight));
    if (height && *height >= 1) {
      sliderHeight_ = static_cast<int>(*height);
      if (sliderHeightSlider_) {
        const QSignalBlocker quiet(sliderHeightSlider_);
        sliderHeightSlider_->setValue(sliderHeight_);
      }
    } else {
      Log::line(QStringLiteral("		err: %1 kept its slider height: %2 is no size")
                    .arg(windowTitle(), snapshot.value(kSliderHeight).toString()));
    }
  }
  const std::optional<long long> count = wholeNumber(snapshot.value(kSliderCount));
  const QVariant entries = snapshot.value(kSliderArray);
  if (count && entries.typeId() == QMetaType::QVariantList) {
    const QVariantList list = entries.toList();
    const long long total = std::min<long long>(*count, list.size());
    for (long long i = 0; i < total; ++i) {
      const QVariant& entry = list.at(static_cast<qsizetype>(i));
      if (entry.typeId() != QMetaType::QVariantMap) {
        Log::line(QStringLiteral("		err: %1 skipped slider entry %2: not a dictionary")
                      .arg(windowTitle())
                      .arg(i));
        continue;
      }
      QKSliderControl* slider = addSlider();
      if (!slider) break;
      slider->loadSnapshot(entry.toMap());
      const QString name = entry.toMap().value(kSliderName).toString();
      if (isSoundName(name) && !isThereASliderNamed(name)) slider->setSliderName(name);
      publish(slider);
    }
  }
  if (snapshot.contains(kVertical)) {
    const bool upright = snapshot.value(kVertical).toBool();
    if (upright != vertical_) {
      setVertical(upright);
      if (vertButton_) {
        const QSignalBlocker quiet(vertButton_);
        vertButton_->setCheckState(upright ? Qt::Checked : Qt::Unchecked);
      }
    }
  }
  resetSliderPositions();
  listController_->update();
}

void Sliders::prepareToBeDeleted() {
  if (deleted()) return;
  deleteAllSliders();
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, {windowTitle()});
  BankPlugin::prepareToBeDeleted();
}
