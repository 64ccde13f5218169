#include "app/plugins/sliders/Sliders.h"

#include "app/plugins/sliders/SliderBankLayout.h"
#include "app/plugins/sliders/SliderListController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DSFloatFreqNonRepeat.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKScrollView.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

const QString Sliders::kTypeName = QStringLiteral("Sliders");

namespace {

const QString kSliderArray = QStringLiteral("sliderArray");
const QString kSliderCount = QStringLiteral("sliderCount");
const QString kSliderHeight = QStringLiteral("sliderHeight");
const QString kVertical = QStringLiteral("vertical");
const QString kSliderName = QStringLiteral("sliderName");

// A whole number from a snapshot; none for anything else.
std::optional<long long> wholeNumber(const QVariant& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  const bool numeric = value.typeId() != QMetaType::QString && value.typeId() != QMetaType::Bool;
  if (!ok || !numeric || number != std::floor(number) || std::abs(number) > 1e9) return {};
  return static_cast<long long>(number);
}

QKButton* makeButton(const QString& title, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(0);
  button->setFixedHeight(16);
  return button;
}

}  // namespace

Sliders::Sliders(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
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
  auto* self = qobject_cast<Sliders*>(owner);
  auto window = std::make_unique<QKWindow>(QRectF(300, 300, 240, 180));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  self->scrollView_ = new QKScrollView;
  self->documentView_ = new QWidget;
  self->scrollView_->setWidget(self->documentView_);
  self->scrollView_->setWidgetResizable(false);
  self->scrollView_->viewport()->installEventFilter(self);
  column->addWidget(self->scrollView_, 1);
  self->optionsButton_ = makeButton(QStringLiteral("Options"), body);
  column->addWidget(self->optionsButton_);
  self->buildOptionsPanel(body);
  body->installEventFilter(self);
  return window;
}

void Sliders::buildOptionsPanel(QWidget* body) {
  optionsPanel_ = new BlackTranslucentPanel(body);
  optionsPanel_->hide();
  auto* column = new QVBoxLayout(optionsPanel_);
  column->setContentsMargins(6, 6, 6, 6);
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
  listView_ = new QKNSTableView;
  listView_->setModel(listController_.get());
  listView_->horizontalHeader()->hide();
  listView_->horizontalHeader()->setStretchLastSection(true);
  listView_->verticalHeader()->hide();
  listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  column->addWidget(listView_, 1);
  auto* buttons = new QHBoxLayout;
  createButton_ = makeButton(QStringLiteral("+"), optionsPanel_);
  deleteButton_ = makeButton(QStringLiteral("-"), optionsPanel_);
  closeOptionsButton_ = makeButton(QStringLiteral("Done"), optionsPanel_);
  for (QKButton* button : {createButton_, deleteButton_, closeOptionsButton_})
    buttons->addWidget(button);
  column->addLayout(buttons);

  connect(sliderHeightSlider_, &QSlider::valueChanged, this,
          [this](int value) { sliderHeightSliderUsed(value); });
  connect(vertButton_, &QCheckBox::stateChanged, this, [this](int state) {
    vertButtonUsed(state == Qt::Unchecked ? 0 : state == Qt::Checked ? 1 : -1);
  });
  const auto on = [this](QKButton* button, std::function<void()> action) {
    button->setTarget(alive_);
    button->setAction([action](QKButtonCell&) { action(); });
  };
  on(optionsButton_, [this] { showOptionsPanel(); });
  on(closeOptionsButton_, [this] { closeOptionsPanel(); });
  on(createButton_, [this] { createSlider(); });
  on(deleteButton_, [this] { deleteSlider(); });
}

void Sliders::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!documentView_) return;
  createSlider();
  resetSliderPositions();
  applyScrollers();
  for (const char* name : {"QKPMRestoreStartNotification", "QKPluginDeletedNotification"})
    observers_.observe(QString::fromLatin1(name), nullptr,
                       [this](const Notification&) { closeOptionsPanel(); });
}

bool Sliders::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    if (scrollView_ && watched == scrollView_->viewport()) resetSliderPositions();
    if (optionsPanel_ && watched == optionsPanel_->parentWidget() && optionsPanel_->isVisible())
      placeOptionsPanel();
  }
  return QKPlugin::eventFilter(watched, event);
}

void Sliders::showOptionsPanel() {
  if (!optionsPanel_) return;
  placeOptionsPanel();
  listController_->update();
  optionsPanel_->show();
  optionsPanel_->raise();
}

// The sheet is a window of its own over the palette's body.
void Sliders::placeOptionsPanel() {
  QWidget* body = optionsPanel_->parentWidget();
  optionsPanel_->setGeometry(QRect(body->mapToGlobal(QPoint(0, 0)), body->size()));
}

void Sliders::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->hide();
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
  for (long n = 1;; ++n) {
    const QString candidate = QString::number(n);
    if (!isThereASliderNamed(candidate)) return candidate;
  }
}

bool Sliders::isSoundSliderName(const QString& name) const {
  return !name.isEmpty() && !name.contains(QLatin1Char('/'));
}

QKSliderControl* Sliders::addSlider() {
  if (!documentView_) return nullptr;
  QKSliderControl* slider = QKSliderControl::createWithFrame(QRectF(0, 0, 40, 20), documentView_);
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

void Sliders::deleteSlider() {
  if (!listView_) return;
  QList<int> rows;
  for (const QModelIndex& index : listView_->selectionModel()->selectedRows()) rows << index.row();
  deleteSliders(rows);
}

void Sliders::deleteSliders(const QList<int>& rows) {
  std::vector<QKSliderControl*> gone;
  for (int row = static_cast<int>(sliderArray_.size()) - 1; row >= 0; --row) {
    if (!rows.contains(row)) continue;
    gone.push_back(sliderArray_[row].data());
    sliderArray_.erase(sliderArray_.begin() + row);
  }
  for (QKSliderControl* slider : gone) {
    if (!slider) continue;
    unpublish(slider);
    slider->prepareToBeDeleted();
    slider->hide();
    slider->deleteLater();
  }
  resetSliderPositions();
  listController_->update();
}

void Sliders::deleteAllSliders() {
  while (!sliderArray_.empty()) {
    QKSliderControl* slider = sliderArray_.front().data();
    sliderArray_.erase(sliderArray_.begin());
    if (!slider) continue;
    unpublish(slider);
    slider->prepareToBeDeleted();
    slider->hide();
    slider->deleteLater();
  }
}

bool Sliders::renameSlider(int row, const QString& name) {
  if (row < 0 || row >= static_cast<int>(sliderArray_.size()) || !sliderArray_[row]) return false;
  QKSliderControl* slider = sliderArray_[row].data();
  const QString old = slider->sliderName();
  if (!isSoundSliderName(name) || name == old || isThereASliderNamed(name)) return false;
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom(sourcePath(old), sourcePath(name));
  slider->setSliderName(name);
  slider->update();
  return true;
}

// --- Layout and options -------------------------------------------------------------------

void Sliders::resetSliderPositions() {
  if (!scrollView_ || !documentView_) return;
  const QSizeF content = scrollView_->viewport()->size();
  const int count = static_cast<int>(sliderArray().size());
  const QSizeF document =
      SliderBankLayout::documentSize(count, sliderHeight_, kSliderSpacing, content, vertical_);
  documentView_->resize(document.toSize());
  const QSizeF placed = documentView_->size();
  int index = 0;
  for (QKSliderControl* slider : sliderArray()) {
    const QRectF frame =
        SliderBankLayout::frameAt(index++, sliderHeight_, kSliderSpacing, placed, vertical_);
    slider->setFrame(SliderBankLayout::flipped(frame, placed.height()));
  }
  scrollView_->update();
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
  if (!scrollView_) return;
  scrollView_->setHorizontalScrollBarPolicy(vertical_ ? Qt::ScrollBarAsNeeded
                                                      : Qt::ScrollBarAlwaysOff);
  scrollView_->setVerticalScrollBarPolicy(vertical_ ? Qt::ScrollBarAlwaysOff
                                                    : Qt::ScrollBarAsNeeded);
}

// --- Plug-in -------------------------------------------------------------------------------

void Sliders::setPluginName(const QString& name) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom({windowTitle()}, {name});
  QKPlugin::setPluginName(name);
}

QVariantMap Sliders::createSnapshot() const {
  QVariantList sliders;
  for (QKSliderControl* slider : sliderArray()) {
    QVariantMap snapshot = slider->createSnapshot();
    if (snapshot.isEmpty()) continue;
    snapshot.insert(kSliderName, slider->sliderName());
    sliders.append(snapshot);
  }
  return {{kSuperSnap, QKPlugin::createSnapshot()},
          {kSliderArray, sliders},
          {kSliderCount, static_cast<qint64>(sliderArray().size())},
          {kSliderHeight, sliderHeight_},
          {kVertical, vertical_}};
}

void Sliders::loadSnapshot(const QVariantMap& snapshot) {
  QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
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
      if (isSoundSliderName(name) && !isThereASliderNamed(name)) slider->setSliderName(name);
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
  observers_.clear();
  deleteAllSliders();
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, {windowTitle()});
  for (QKButton* button : {optionsButton_, closeOptionsButton_, createButton_, deleteButton_})
    if (button) button->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}
