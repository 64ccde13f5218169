#include "app/shell/ColorInterfaceManager.h"

#include "app/shell/ColorThemeStore.h"
#include "app/shell/ThemeColorWell.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/MutDictAdditions.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

using ThemeEntries::Control;
using ThemeEntries::Group;
using ThemeEntries::Role;

namespace {

struct PageInfo {
  Group group;
  const char* title;
};
const PageInfo kPages[] = {
    {Group::Buttons, "Buttons"},  {Group::Sliders, "Sliders"}, {Group::Windows, "Windows"},
    {Group::Tables, "Tables"},    {Group::Labels, "Labels"},   {Group::Levels, "Levels"},
    {Group::PopUps, "Pop-ups"},   {Group::Curves, "Curves"},   {Group::Effects, "Effects"},
    {Group::Plugins, "Plug-ins"},
};

// The order the groups are redrawn in after a revert.
const Group kRedrawOrder[] = {Group::Windows, Group::Tables, Group::Labels,  Group::Levels,
                              Group::PopUps,  Group::Curves, Group::Effects, Group::Plugins};
// The order a save gathers them in.
const Group kSaveOrder[] = {Group::Windows, Group::Tables, Group::Labels,  Group::Levels,
                            Group::PopUps,  Group::Curves, Group::Effects, Group::Plugins,
                            Group::Buttons, Group::Sliders};

// "buttonFontSize" → "Font Size": the control's name without its group
// prefix, words split.
QString labelFor(const QString& name) {
  static const QStringList prefixes{"button", "window", "slider", "table",  "titleBar",
                                    "text",   "lvl",    "popUp",  "bezier", "fx",
                                    "aa",     "mb",     "ss",     "sy"};
  QString rest = name;
  for (const QString& prefix : prefixes)
    if (name.startsWith(prefix) && name.size() > prefix.size() && name[prefix.size()].isUpper()) {
      rest =
          (prefix == "titleBar" ? QStringLiteral("TitleBar") : QString()) + name.mid(prefix.size());
      break;
    }
  QString label;
  for (int i = 0; i < rest.size(); ++i) {
    if (i > 0 && rest[i].isUpper() && !rest[i - 1].isUpper()) label += ' ';
    label += rest[i];
  }
  return label;
}

bool isSizeSlider(const QString& name) { return name.endsWith(QLatin1String("Size")); }
bool isFontName(const Control& c) {
  return (c.role == Role::Font || c.role == Role::PlainFont) && !isSizeSlider(c.name);
}

int fontSize(const QFont& font) {
  return font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF());
}

}  // namespace

ColorInterfaceManager::ColorInterfaceManager(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Colors"));
  auto* layout = new QVBoxLayout(this);
  auto* themes = new QHBoxLayout;
  themePopUp_ = new QComboBox(this);
  altThemePopUp_ = new QComboBox(this);
  exportName_ = new QLineEdit(this);
  exportName_->setPlaceholderText(QStringLiteral("theme name"));
  themes->addWidget(new QLabel(QStringLiteral("Theme:"), this));
  themes->addWidget(themePopUp_);
  themes->addWidget(exportName_);
  auto* exportButton = new QPushButton(QStringLiteral("Export"), this);
  auto* rawButton = new QPushButton(QStringLiteral("Export Source"), this);
  themes->addWidget(exportButton);
  themes->addWidget(rawButton);
  layout->addLayout(themes);

  auto* tabs = new QTabWidget(this);
  for (const PageInfo& page : kPages) {
    auto* widget = new QWidget(tabs);
    buildPage(page.group, widget);
    tabs->addTab(widget, QLatin1String(page.title));
  }
  layout->addWidget(tabs, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  auto* revert = new QPushButton(QStringLiteral("Revert"), this);
  auto* save = new QPushButton(QStringLiteral("Save"), this);
  bottom->addWidget(revert);
  bottom->addWidget(save);
  layout->addLayout(bottom);

  userView_ = new QWidget;
  userView_->setObjectName(QStringLiteral("User Colors"));
  altThemePopUp_->setParent(userView_);
  auto* user = new QVBoxLayout(userView_);
  auto* userRow = new QHBoxLayout;
  userRow->addWidget(new QLabel(QStringLiteral("Theme:"), userView_));
  userRow->addWidget(altThemePopUp_);
  userRow->addStretch(1);
  user->addLayout(userRow);
  user->addWidget(new QLabel(
      QStringLiteral("Alt-click \"Colors\" to edit the theme's colours and fonts."), userView_));
  user->addStretch(1);

  for (QComboBox* popUp : {themePopUp_, altThemePopUp_})
    connect(popUp, &QComboBox::activated, this,
            [this, popUp](int index) { chooseTheme(popUp->itemText(index)); });
  connect(save, &QPushButton::clicked, this, &ColorInterfaceManager::saveColors);
  connect(revert, &QPushButton::clicked, this, &ColorInterfaceManager::revertColors);
  connect(exportButton, &QPushButton::clicked, this, &ColorInterfaceManager::exportTheme);
  connect(rawButton, &QPushButton::clicked, this, &ColorInterfaceManager::rawExportTheme);

  // As the pane wakes: the controls are filled and the themes listed a
  // moment later, once every manager exists.
  QTimer::singleShot(2000, this, &ColorInterfaceManager::pushAllColorsToUI);
  QTimer::singleShot(2000, this, &ColorInterfaceManager::populateThemePopUpButton);
}

ColorInterfaceManager::~ColorInterfaceManager() { delete userView_.data(); }

// --- Layout -------------------------------------------------------------------

void ColorInterfaceManager::buildPage(Group group, QWidget* page) {
  auto* form = new QFormLayout(page);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  addSelectors(group, form);
  for (const Control& control : ThemeEntries::controls())
    if (control.group == group) addControl(control, form);
  addUseThese(group, form);
}

void ColorInterfaceManager::addSelectors(Group group, QFormLayout* form) {
  auto check = [&](const char* name, const char* title) {
    auto* box = new QCheckBox(QLatin1String(title), this);
    controls_.insert(QLatin1String(name), box);
    connect(box, &QCheckBox::toggled, this, [this, n = QString::fromLatin1(name)] { itemUsed(n); });
    form->addRow(box);
  };
  if (group == Group::Buttons) {
    buttonState_ = new QComboBox(this);
    buttonState_->addItems(
        {QStringLiteral("Off"), QStringLiteral("Transition"), QStringLiteral("On")});
    controls_.insert(QStringLiteral("buttonState"), buttonState_);
    connect(buttonState_, &QComboBox::currentIndexChanged, this,
            [this] { itemUsed(QStringLiteral("buttonState")); });
    form->addRow(QStringLiteral("State"), buttonState_);
    check("buttonSelected", "Selected");
    check("buttonSynced", "Synced");
    check("buttonHLM", "Hardware learn");
  } else if (group == Group::Sliders) {
    check("sliderSelected", "Selected");
    check("sliderSynced", "Synced");
    check("sliderHLM", "Hardware learn");
  } else if (group == Group::Windows) {
    check("windowLocked", "Locked");
  }
}

void ColorInterfaceManager::addUseThese(Group group, QFormLayout* form) {
  QStringList names;
  if (group == Group::Buttons)
    names = {"buttonUseTheseStateOff", "buttonUseTheseStateTransition", "buttonUseTheseStateOn",
             "buttonUseTheseSelected", "buttonUseTheseSynced",          "buttonUseTheseHLM"};
  else if (group == Group::Sliders)
    names = {"sliderUseTheseSelected", "sliderUseTheseSynced", "sliderUseTheseHLM"};
  else if (group == Group::Windows)
    names = {"windowUseThese"};
  if (names.isEmpty()) return;
  auto* row = new QHBoxLayout;
  for (const QString& name : names) {
    QString title = name.mid(name.indexOf("UseThese") + 8);
    title = title.startsWith("State") ? QStringLiteral("Use for ") + title.mid(5)
            : title.isEmpty()         ? QStringLiteral("Use for the other")
                                      : QStringLiteral("Use for other ") + title;
    auto* button = new QPushButton(title, this);
    controls_.insert(name, button);
    connect(button, &QPushButton::clicked, this, [this, name] { useThese(name); });
    row->addWidget(button);
  }
  form->addRow(row);
}

void ColorInterfaceManager::addControl(const Control& control, QFormLayout* form) {
  const QString name = QLatin1String(control.name);
  QWidget* widget = nullptr;
  if (control.role == Role::Number || isSizeSlider(name)) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(control.role == Role::Number ? 0 : 6, control.role == Role::Number ? 20 : 48);
    slider->setFixedWidth(140);
    auto* label = new QLabel(this);
    labels_.insert(name, label);
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider);
    layout->addWidget(label);
    connect(slider, &QSlider::valueChanged, this, [this, name] { itemUsed(name); });
    controls_.insert(name, slider);
    form->addRow(labelFor(name), row);
    return;
  }
  if (isFontName(control)) {
    auto* field = new QLineEdit(this);
    field->setFixedWidth(160);
    connect(field, &QLineEdit::editingFinished, this, [this, name] { itemUsed(name); });
    widget = field;
  } else {
    auto* well = new ThemeColorWell(this);
    well->setToolTip(labelFor(name));
    connect(well, &ThemeColorWell::colorChosen, this, [this, name] { itemUsed(name); });
    widget = well;
  }
  controls_.insert(name, widget);
  form->addRow(labelFor(name), widget);
}

// --- The theme's owners -----------------------------------------------------------

std::optional<QVariantMap> ColorInterfaceManager::groupDictionary(Group group) const {
  const QString key = ThemeEntries::groupKey(group);
  if (group == Group::Buttons) {
    if (!buttonManager_) return std::nullopt;
    return buttonManager_->appearanceDict();
  }
  if (group == Group::Sliders) {
    if (!sliderManager_) return std::nullopt;
    return sliderManager_->sliderColorDict();
  }
  TheApplication* app = TheApplication::instance();
  if (!app || !app->colorScheme().contains(key)) return std::nullopt;
  return app->colorScheme().dictionary(key);
}

void ColorInterfaceManager::storeGroup(Group group, const QVariantMap& dictionary) {
  if (group == Group::Buttons) {
    if (buttonManager_) buttonManager_->setAppearanceDict(dictionary);
  } else if (group == Group::Sliders) {
    if (sliderManager_) sliderManager_->setSliderColorDict(dictionary);
  } else if (TheApplication* app = TheApplication::instance()) {
    app->colorScheme().setDictionary(ThemeEntries::groupKey(group), dictionary);
  }
}

void ColorInterfaceManager::redraw(Group group) {
  if (group == Group::Buttons) {
    if (buttonManager_) buttonManager_->colorsUpdated();
  } else if (group == Group::Sliders) {
    if (sliderManager_) sliderManager_->colorsUpdated();
  } else {
    NotificationCenter::defaultCenter().post(ThemeEntries::redrawNotification(group), nullptr);
  }
}

QVariantMap ColorInterfaceManager::liveTheme() const {
  QVariantMap theme;
  for (Group group : kSaveOrder)
    if (const auto dictionary = groupDictionary(group); dictionary && !dictionary->isEmpty())
      theme.insert(ThemeEntries::groupKey(group), *dictionary);
  return theme;
}

// --- Themes -------------------------------------------------------------------------

void ColorInterfaceManager::saveColors() { ColorThemeStore::save(liveTheme()); }

void ColorInterfaceManager::revertColors() {
  const std::optional<QVariantMap> stored = ColorThemeStore::stored();
  if (!stored) return;
  for (Group group : kSaveOrder) {
    const QVariant entry = stored->value(ThemeEntries::groupKey(group));
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    // Merged, as the application object merges: an entry the stored theme
    // lacks keeps its value.
    std::optional<QVariantMap> live = groupDictionary(group);
    if (!live) {
      if (group != Group::Buttons && group != Group::Sliders) storeGroup(group, entry.toMap());
      continue;
    }
    MutDictAdditions::recursivelyAddThisDict(*live, entry.toMap());
    storeGroup(group, *live);
  }
  for (Group group : kRedrawOrder) redraw(group);
  redraw(Group::Buttons);
  redraw(Group::Sliders);
  pushAllColorsToUI();
}

void ColorInterfaceManager::report(const QString& title, const QString& reason) {
  Log::line(QStringLiteral("\t\terr: %1: %2").arg(title, reason));
  Alert::show(title, reason, {QStringLiteral("OK")});
}

void ColorInterfaceManager::chooseTheme(const QString& name) {
  if (const QString error = ColorThemeStore::choose(name); !error.isEmpty()) {
    report(QStringLiteral("couldn't use the theme"), error);
    return;
  }
  exportName_->setText(name);
  revertColors();
}

void ColorInterfaceManager::exportTheme() {
  exportUnderTypedName(&ColorThemeStore::exportTheme, QStringLiteral("couldn't export the theme"));
}

void ColorInterfaceManager::rawExportTheme() {
  exportUnderTypedName(&ColorThemeStore::rawExport,
                       QStringLiteral("couldn't export the theme's source"));
}

// Both exports: refused without a name, otherwise the edited colours saved
// and written under the typed name, a failure reported.
void ColorInterfaceManager::exportUnderTypedName(QString (*write)(const QString&),
                                                 const QString& failure) {
  const QString name = exportName_->text();
  if (name.isEmpty()) {
    Alert::show(QStringLiteral("didn't enter title"),
                QStringLiteral("you need to enter a destination file name before you can export"),
                {QStringLiteral("OK")});
    return;
  }
  saveColors();
  if (const QString error = write(name); !error.isEmpty()) report(failure, error);
  populateThemePopUpButton();
}

void ColorInterfaceManager::populateThemePopUpButton() {
  const QStringList names = ColorThemeStore::themeNames();
  for (QComboBox* popUp : {themePopUp_, altThemePopUp_}) {
    const QSignalBlocker quiet(popUp);
    popUp->clear();
    popUp->addItems(names);
  }
}

// --- Pushing the theme into the controls ------------------------------------------

void ColorInterfaceManager::pushAllColorsToUI() {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  center.post(QKButtonManager::kManagerFinderNotification, static_cast<ButtonManagerClient*>(this));
  center.post(QKSliderManager::kFinderNotification, static_cast<SliderManagerClient*>(this));
  for (Group group : {Group::Buttons, Group::Windows, Group::Sliders, Group::Tables, Group::Labels,
                      Group::Levels, Group::PopUps, Group::Plugins, Group::Curves, Group::Effects})
    pushGroup(group);
}

void ColorInterfaceManager::pushGroup(Group group) {
  const std::optional<QVariantMap> dictionary = groupDictionary(group);
  if (!dictionary) return;
  for (const Control& control : ThemeEntries::controls())
    if (control.group == group) pushControl(control, *dictionary);
}

void ColorInterfaceManager::pushControl(const Control& control, const QVariantMap& group) {
  const QString name = QLatin1String(control.name);
  QWidget* widget = controls_.value(name);
  const std::optional<QVariant> value =
      ThemeEntries::read(group, ThemeEntries::entryFor(control, selectors()));
  if (!widget || !value) return;
  const QSignalBlocker quiet(widget);
  if (auto* well = qobject_cast<ThemeColorWell*>(widget)) {
    well->setColor(value->value<QColor>());
  } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
    field->setText(value->value<QFont>().family());
  } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
    slider->setValue(control.role == Role::Number ? qRound(value->toDouble())
                                                  : fontSize(value->value<QFont>()));
    showSizeLabel(name);
  }
}

void ColorInterfaceManager::showSizeLabel(const QString& slider) {
  auto* widget = qobject_cast<QSlider*>(controls_.value(slider));
  if (QLabel* label = labels_.value(slider); widget && label)
    label->setText(QString::asprintf("%f", double(widget->value())));
}

// --- Editing --------------------------------------------------------------------------

ThemeEntries::Selectors ColorInterfaceManager::selectors() const {
  auto checked = [this](const char* name) {
    auto* box = qobject_cast<QCheckBox*>(controls_.value(QLatin1String(name)));
    return box && box->isChecked();
  };
  ThemeEntries::Selectors s;
  s.buttonState = buttonState_ ? buttonState_->currentIndex() : 0;
  s.buttonSelected = checked("buttonSelected");
  s.buttonSynced = checked("buttonSynced");
  s.buttonHLM = checked("buttonHLM");
  s.windowLocked = checked("windowLocked");
  s.sliderSelected = checked("sliderSelected");
  s.sliderSynced = checked("sliderSynced");
  s.sliderHLM = checked("sliderHLM");
  return s;
}

bool ColorInterfaceManager::isSelector(const QString& name) const {
  static const QStringList names{"buttonState",  "buttonSelected", "buttonSynced", "buttonHLM",
                                 "windowLocked", "sliderSelected", "sliderSynced", "sliderHLM"};
  return names.contains(name);
}

QString ColorInterfaceManager::fontFieldFor(Group group) const {
  for (const Control& c : ThemeEntries::controls())
    if (c.group == group && isFontName(c)) return QLatin1String(c.name);
  return {};
}

QString ColorInterfaceManager::sizeSliderFor(Group group) const {
  for (const Control& c : ThemeEntries::controls())
    if (c.group == group && isSizeSlider(c.name)) return QLatin1String(c.name);
  return {};
}

std::optional<QFont> ColorInterfaceManager::fontFromFields(const Control& control) const {
  auto* field = qobject_cast<QLineEdit*>(controls_.value(fontFieldFor(control.group)));
  auto* size = qobject_cast<QSlider*>(controls_.value(sizeSliderFor(control.group)));
  if (!field || !size || !QFontDatabase::hasFamily(field->text())) return std::nullopt;
  QFont font(field->text());
  font.setPixelSize(size->value());
  return font;
}

void ColorInterfaceManager::itemUsed(const QString& name) {
  if (isSelector(name)) {
    if (name.startsWith("button")) pushGroup(Group::Buttons);
    if (name.startsWith("slider")) pushGroup(Group::Sliders);
    if (name.startsWith("window")) pushGroup(Group::Windows);
    return;
  }
  const Control* control = ThemeEntries::control(name);
  QWidget* widget = controls_.value(name);
  if (!control || !widget) return;
  std::optional<QVariantMap> dictionary = groupDictionary(control->group);
  if (!dictionary) return;
  const ThemeEntries::Entry entry = ThemeEntries::entryFor(*control, selectors());

  QVariant value;
  if (auto* well = qobject_cast<ThemeColorWell*>(widget)) {
    value = well->color();
  } else if (control->role == Role::Number) {
    value = double(qobject_cast<QSlider*>(widget)->value());
    showSizeLabel(name);
  } else {
    const std::optional<QFont> font = fontFromFields(*control);
    const bool sizeChange = isSizeSlider(name);
    const bool labelFollowsAnyway =
        control->group == Group::Buttons || control->group == Group::Sliders ||
        control->group == Group::PopUps || control->group == Group::Effects;
    if (sizeChange && (font || labelFollowsAnyway)) showSizeLabel(name);
    if (!font) {
      if (control->group == Group::Windows) pushGroup(Group::Windows);
      return;
    }
    value = *font;
  }
  if (!ThemeEntries::write(*dictionary, entry, value)) return;
  storeGroup(control->group, *dictionary);
  redraw(control->group);
}

void ColorInterfaceManager::useThese(const QString& name) {
  const ThemeEntries::Selectors s = selectors();
  auto levelOf = [&](const QString& n) {
    return n.endsWith("Selected") ? 0 : n.endsWith("Synced") ? 1 : n.endsWith("HLM") ? 2 : -1;
  };
  Group group = Group::Windows;
  std::optional<QVariantMap> dictionary;
  bool changed = false;
  if (name.startsWith("buttonUseTheseState")) {
    group = Group::Buttons;
    const QString state = name.mid(19);
    const int target = state == "Off" ? 0 : state == "Transition" ? 1 : state == "On" ? 2 : -1;
    if (target < 0 || !(dictionary = groupDictionary(group))) return;
    changed = ThemeEntries::buttonStateUseThese(*dictionary, s, target);
  } else if (name.startsWith("buttonUseThese")) {
    group = Group::Buttons;
    if (levelOf(name) < 0 || !(dictionary = groupDictionary(group))) return;
    changed = ThemeEntries::buttonLevelUseThese(*dictionary, s, levelOf(name));
  } else if (name.startsWith("sliderUseThese")) {
    group = Group::Sliders;
    if (levelOf(name) < 0 || !(dictionary = groupDictionary(group))) return;
    changed = ThemeEntries::slidersUseThese(*dictionary, s, levelOf(name));
  } else if (name == "windowUseThese") {
    if (!(dictionary = groupDictionary(group))) return;
    changed = ThemeEntries::windowsUseThese(*dictionary, s);
  }
  if (!changed) return;
  storeGroup(group, *dictionary);
  redraw(group);
}
