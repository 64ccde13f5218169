#include "app/plugins/buttons/Buttons.h"

#include "app/plugins/buttons/ButtonButton.h"
#include "app/plugins/buttons/ButtonGridLayout.h"
#include "app/plugins/buttons/ButtonListController.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKScrollView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

const QString Buttons::kTypeName = QStringLiteral("Buttons");
const QString Buttons::kHidden = QStringLiteral("hidden");

namespace {

const QString kButtonArray = QStringLiteral("buttonArray");
const QString kButtonCount = QStringLiteral("buttonCount");
const QString kButtonHeight = QStringLiteral("buttonHeight");
const QString kColumns = QStringLiteral("columns");
const QString kButonName = QStringLiteral("butonName");  // sic: the stored key
const QString kButtonType = QStringLiteral("buttonType");
const QString kTitle = QStringLiteral("title");

constexpr int kMomentary = 0;
constexpr int kToggle = 1;

DSFloatFrequent* floatSource(const std::shared_ptr<DataSource>& source) {
  return dynamic_cast<DSFloatFrequent*>(source.get());
}

}  // namespace

Buttons::Buttons(const QString& type, const QString& name, std::int32_t uniqueID)
    : BankPlugin(type, name, uniqueID),
      listController_(std::make_unique<ButtonListController>(this)) {
  if (DataSourceController* dsc = dataSourceController()) {
    dsc->setDataSource(DataSourceHolder::createWithName(name, DSType::UntickedHolder), {name});
    dsc->setDataSource(DataSourceHolder::createWithName(kHidden, DSType::InputHolder),
                       {name, kHidden});
  }
}

Buttons::~Buttons() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass Buttons::pluginClass() {
  PluginClass buttons;
  buttons.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<Buttons>(type, name, uniqueID);
  };
  buttons.layout = &Buttons::buildWindow;
  return buttons;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> Buttons::buildWindow(QObject* owner) {
  std::unique_ptr<QWidget> window = buildBankWindow(owner, QRectF(320, 320, 200, 140));
  if (auto* self = qobject_cast<Buttons*>(owner)) {
    self->scrollView()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    self->listView()->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  }
  return window;
}

void Buttons::buildSheetRows(QVBoxLayout* column) {
  const auto sliderRow = [&](const QString& title, int low, int high, int value) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(title);
    label->setStyleSheet(QStringLiteral("color: white"));
    row->addWidget(label);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(low, high);
    slider->setValue(value);
    row->addWidget(slider, 1);
    column->addLayout(row);
    return slider;
  };
  buttonHeightSlider_ = sliderRow(QStringLiteral("Height"), 12, 80, buttonHeight_);
  columnsSlider_ = sliderRow(QStringLiteral("Columns"), 1, kMaxColumns, columns_);
  connect(buttonHeightSlider_, &QSlider::valueChanged, this,
          [this](int value) { buttonHeightSliderUsed(value); });
  connect(columnsSlider_, &QSlider::valueChanged, this,
          [this](int value) { columnsSliderUsed(value); });
}

QAbstractItemModel* Buttons::listModel() const { return listController_.get(); }

void Buttons::reloadList() { listController_->update(); }

void Buttons::awakeFromNib() {
  BankPlugin::awakeFromNib();
  if (!documentView()) return;
  createButton();
  createButton();
}

// --- Grid ----------------------------------------------------------------------------------

QList<ButtonButton*> Buttons::buttonArray() const {
  QList<ButtonButton*> list;
  for (const auto& button : buttonArray_)
    if (button) list.append(button.data());
  return list;
}

ButtonButton* Buttons::buttonAt(int row) const {
  const QList<ButtonButton*> buttons = buttonArray();
  return row >= 0 && row < buttons.size() ? buttons.at(row) : nullptr;
}

bool Buttons::isThereAButtonNamed(const QString& name) const {
  const QList<ButtonButton*> buttons = buttonArray();
  return std::any_of(buttons.begin(), buttons.end(),
                     [&](const ButtonButton* button) { return button->title() == name; });
}

QString Buttons::getUniqueNameForArray() const {
  return lowestFreeName([this](const QString& name) { return isThereAButtonNamed(name); });
}

KeyPath Buttons::sourcePath(const ButtonButton& button) const {
  if (button.buttonType() == kToggle) return {windowTitle(), button.title()};
  return {windowTitle(), kHidden, button.title()};
}

ButtonButton* Buttons::addButton(int type) {
  if (!documentView()) return nullptr;
  ButtonButton* button = ButtonButton::createWithFrame(QRectF(0, 0, 40, 20), documentView());
  button->setPluginName(windowTitle());
  button->setTitle(getUniqueNameForArray());
  button->setTitle2(button->title());
  button->setButtonType(type);
  button->setTriggerOnMain(true);
  button->setTarget(liveness());
  button->setAction([this, type](QKButtonCell& sender) {
    if (type == kToggle)
      toggleButtonTriggered(sender);
    else
      momentaryButtonTriggered(sender);
  });
  buttonArray_.emplace_back(button);
  button->show();
  return button;
}

void Buttons::installSource(ButtonButton& button) {
  DataSourceController* dsc = dataSourceController();
  if (!dsc) return;
  const int type = button.buttonType() == kToggle ? DSType::ButtonFloat : DSType::Plain;
  dsc->setDataSource(DSFloatInfrequent::createWithName(button.title(), type), sourcePath(button));
}

void Buttons::removeSource(const ButtonButton& button) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, sourcePath(button));
}

ButtonButton* Buttons::createButton() {
  ButtonButton* button = addButton(kMomentary);
  if (!button) return nullptr;
  resetButtonPositions();
  installSource(*button);
  listController_->update();
  return button;
}

void Buttons::retire(ButtonButton* button) {
  if (!button) return;
  button->setTarget({});
  removeSource(*button);
  button->hide();
  button->prepareToBeDeleted();
  button->deleteLater();
}

void Buttons::deleteButton() { deleteButtons(selectedRows()); }

void Buttons::deleteButtons(const QList<int>& rows) {
  std::vector<ButtonButton*> gone;
  for (int row = static_cast<int>(buttonArray_.size()) - 1; row >= 0; --row) {
    if (!rows.contains(row)) continue;
    gone.push_back(buttonArray_[row].data());
    buttonArray_.erase(buttonArray_.begin() + row);
  }
  for (ButtonButton* button : gone) retire(button);
  resetButtonPositions();
  listController_->update();
}

void Buttons::deleteAllButtons() {
  std::vector<QPointer<ButtonButton>> gone;
  gone.swap(buttonArray_);
  for (const auto& button : gone) retire(button.data());
}

// --- Actions -------------------------------------------------------------------------------

void Buttons::momentaryButtonTriggered(QKButtonCell& sender) {
  DataSourceController* dsc = dataSourceController();
  if (!dsc) return;
  const auto source = dsc->dataSourceForKeyArray({windowTitle(), kHidden, sender.title()});
  DSFloatFrequent* value = floatSource(source);
  if (!value) {
    Log::line(QStringLiteral("\t\terr: couldn't find the momentary's DS"));
    return;
  }
  value->setValue(1.0f);
  value->setValueButDontOutput(0.0f);
}

void Buttons::toggleButtonTriggered(QKButtonCell& sender) {
  DataSourceController* dsc = dataSourceController();
  if (!dsc) return;
  const auto source = dsc->dataSourceForKeyArray({windowTitle(), sender.title()});
  if (!source) return;
  const float v = sender.floatValue();
  source->setValue(v);
  const auto* cell = dynamic_cast<const ButtonButtonCell*>(&sender);
  if (!cell || !cell->mutexFlag() || cell->mutexGroup() < 0) return;
  const float w = v == 1.0f ? 0.0f : 1.0f;
  for (ButtonButton* other : buttonArray()) {
    if (other->cell().get() == &sender || !other->mutexFlag() ||
        other->mutexGroup() != cell->mutexGroup())
      continue;
    other->setFloatValue(w, false);
    if (const auto otherSource = dsc->dataSourceForKeyArray({windowTitle(), other->title()}))
      otherSource->setValue(w);
  }
}

// --- List edits ----------------------------------------------------------------------------

bool Buttons::renameButton(int row, const QString& name) {
  ButtonButton* button = buttonAt(row);
  DataSourceController* dsc = dataSourceController();
  if (!button || !dsc) return false;
  if (!isSoundName(name) || name == button->title() || isThereAButtonNamed(name)) return false;
  KeyPath to = sourcePath(*button);
  to.last() = name;
  dsc->changeNameFrom(sourcePath(*button), to);
  button->setTitle(name);
  button->setTitle2(name);
  button->update();
  return true;
}

void Buttons::makeToggle(ButtonButton& button) {
  DataSourceController* dsc = dataSourceController();
  const KeyPath from = sourcePath(button);
  button.setButtonType(kToggle);
  button.setAction([this](QKButtonCell& sender) { toggleButtonTriggered(sender); });
  if (!dsc) return;
  dsc->changeNameFrom(from, sourcePath(button));
  if (const auto source = dsc->dataSourceForKeyArray(sourcePath(button)))
    source->setSourceType(DSType::ButtonFloat);
  reloadSourceMenus();
}

void Buttons::makeMomentary(ButtonButton& button) {
  DataSourceController* dsc = dataSourceController();
  const KeyPath from = sourcePath(button);
  button.setButtonType(kMomentary);
  button.setAction([this](QKButtonCell& sender) { momentaryButtonTriggered(sender); });
  if (!dsc) return;
  dsc->changeNameFrom(from, sourcePath(button));
  if (const auto source = dsc->dataSourceForKeyArray(sourcePath(button)))
    source->setSourceType(DSType::Plain);
  reloadSourceMenus();
}

// Every contextual source menu, the sliders' and the buttons', shows the
// change.
void Buttons::reloadSourceMenus() {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  if (!sliderManager_)
    center.post(QKSliderManager::kFinderNotification, static_cast<SliderManagerClient*>(this));
  if (!buttonManager_)
    center.post(QKButtonManager::kManagerFinderNotification,
                static_cast<ButtonManagerClient*>(this));
  if (sliderManager_) sliderManager_->reloadDSContextualMenu();
  if (buttonManager_) buttonManager_->reloadDSContextualMenu();
  center.post(QString::fromLatin1(DataSourceNotifications::ReloadContextualMenus));
}

bool Buttons::setButtonKind(int row, int kind) {
  ButtonButton* button = buttonAt(row);
  if (!button || !dataSourceController()) return false;
  if ((button->buttonType() == kToggle) == (kind == kToggle)) return false;
  if (kind == kToggle)
    makeToggle(*button);
  else
    makeMomentary(*button);
  return true;
}

// A momentary button put in a group becomes a toggle as the toggle column
// makes one: its source turns type 5 (a type-0 source would count every
// change as a press) and the menus show it.
bool Buttons::setMutexFlag(int row, bool flag) {
  ButtonButton* button = buttonAt(row);
  if (!button || !dataSourceController()) return false;
  button->setMutexFlag(flag);
  if (flag && button->buttonType() != kToggle) makeToggle(*button);
  return true;
}

bool Buttons::setMutexGroup(int row, int group) {
  ButtonButton* button = buttonAt(row);
  if (!button || !dataSourceController()) return false;
  button->setMutexGroup(group);
  return true;
}

// --- Layout and options -------------------------------------------------------------------

void Buttons::resetButtonPositions() {
  if (!scrollView() || !documentView()) return;
  const QList<ButtonButton*> buttons = buttonArray();
  const QSizeF content = scrollView()->viewport()->size();
  const QSizeF document = ButtonGridLayout::documentSize(static_cast<int>(buttons.size()), columns_,
                                                         buttonHeight_, kButtonSpacing, content);
  documentView()->resize(document.toSize());
  const QSizeF placed = documentView()->size();
  for (int i = 0; i < buttons.size(); ++i) {
    const QRectF frame =
        ButtonGridLayout::frameAt(i, columns_, buttonHeight_, kButtonSpacing, placed);
    buttons.at(i)->setFrame(PaletteGeometry::toQt(frame, placed.height()));
  }
  scrollView()->update();
}

void Buttons::buttonHeightSliderUsed(int value) {
  if (value < 1) return;
  buttonHeight_ = value;
  resetButtonPositions();
}

void Buttons::columnsSliderUsed(int value) {
  if (value == columns_ || value < 1 || value > kMaxColumns) return;
  columns_ = value;
  resetButtonPositions();
}

// --- Plug-in -------------------------------------------------------------------------------

void Buttons::setPluginName(const QString& name) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom({windowTitle()}, {name});
  for (ButtonButton* button : buttonArray()) button->setPluginName(name);
  BankPlugin::setPluginName(name);
}

QVariantMap Buttons::createSnapshot() const {
  QVariantList entries;
  for (ButtonButton* button : buttonArray()) {
    QVariantMap entry = button->createSnapshot();
    if (entry.isEmpty()) continue;
    entry.insert(kButonName, button->title());
    entry.insert(kButtonType, button->buttonType() == kToggle ? kToggle : kMomentary);
    entries.append(entry);
  }
  return {{kSuperSnap, BankPlugin::createSnapshot()},
          {kButtonArray, entries},
          {kButtonCount, static_cast<qint64>(entries.size())},
          {kButtonHeight, buttonHeight_},
          {kColumns, columns_}};
}

void Buttons::loadSnapshot(const QVariantMap& snapshot) {
  BankPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  deleteAllButtons();
  const QVariant entries = snapshot.value(kButtonArray);
  if (entries.typeId() != QMetaType::QVariantList) {
    resetButtonPositions();
    listController_->update();
    return;
  }
  int index = 0;
  for (const QVariant& entry : entries.toList()) {
    const int at = index++;
    if (entry.typeId() != QMetaType::QVariantMap) {
      Log::line(QStringLiteral("\t\terr: %1 skipped button entry %2: not a dictionary")
                    .arg(windowTitle())
                    .arg(at));
      continue;
    }
    const QVariantMap map = entry.toMap();
    const int type =
        wholeNumber(map.value(kButtonType)).value_or(kMomentary) == kToggle ? kToggle : kMomentary;
    ButtonButton* button = addButton(type);
    if (!button) break;
    const QString title = map.value(kTitle).toString();
    if (isSoundName(title) && !isThereAButtonNamed(title)) {
      button->setTitle(title);
      button->setTitle2(title);
    }
    installSource(*button);
    button->loadSnapshot(map, false);
    if (DataSourceController* dsc = dataSourceController())
      if (const auto source = dsc->dataSourceForKeyArray(sourcePath(*button)))
        source->setValue(button->floatValue());
  }
  const auto sizeFrom = [&](const QString& key, int low, int high, int& field, QSlider* slider) {
    if (!snapshot.contains(key)) return;
    const std::optional<long long> value = wholeNumber(snapshot.value(key));
    if (!value || *value < low || *value > high) {
      Log::line(QStringLiteral("\t\terr: %1 kept its %2: %3 is out of range")
                    .arg(windowTitle(), key, snapshot.value(key).toString()));
      return;
    }
    field = static_cast<int>(*value);
    if (slider) {
      const QSignalBlocker quiet(slider);
      slider->setValue(field);
    }
  };
  sizeFrom(kButtonHeight, 1, 100000, buttonHeight_, buttonHeightSlider_);
  sizeFrom(kColumns, 1, kMaxColumns, columns_, columnsSlider_);
  resetButtonPositions();
  listController_->update();
}

void Buttons::prepareToBeDeleted() {
  if (deleted()) return;
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, {windowTitle()});
  deleteAllButtons();
  BankPlugin::prepareToBeDeleted();
}
