#include "app/shell/ThemeEntries.h"

#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/MutDictAdditions.h"

namespace ThemeEntries {

namespace {

using S = InterfaceColorScheme;

QStringList stateKey(const Selectors& s, const char* format) {
  return {QString::fromLatin1(format).arg(buttonStateName(s.buttonState))};
}

QStringList windowStyle(const Selectors& s) {
  return {s.windowLocked ? QStringLiteral("locked") : QStringLiteral("unlocked")};
}

// The path of a control's entry without the selectors' part.
QStringList tail(const QString& name) {
  static const QMap<QString, QStringList> paths = {
      {"windowTitlebar", {"titleBar"}},
      {"windowFrame", {"frame"}},
      {"windowFill", {"fill"}},
      {"windowFontColor", {"titleTextAttribs"}},
      {"windowFontName", {"titleTextAttribs"}},
      {"windowFontSize", {"titleTextAttribs"}},
      {"sliderFrame", {"QKSliderFrameColor"}},
      {"sliderBG", {"QKSliderColorBG"}},
      {"sliderSlider", {"QKSliderColor"}},
      {"sliderEnv", {"QKSliderEnvColor"}},
      {"sliderEnvHandle", {"QKSliderEnvHandleColor"}},
      {"sliderSliderTxt", {"QKSliderTextAttribs"}},
      {"sliderEnvTxt", {"QKSliderEnvTextAttribs"}},
      {"sliderHighlight", {"highlight"}},
      {"sliderShadow", {"shadow"}},
      {"sliderIPs", {"IPs"}},
      {"sliderFontName", {"QKSliderTextAttribs"}},
      {"sliderFontSize", {"QKSliderTextAttribs"}},
      {"tableFill", {"fill"}},
      {"tableTxt", {"textColor"}},
      {"tableBG", {"highlight"}},
      {"tableFont", {"font"}},
      {"tableFontSize", {"font"}},
      {"textColor", {}},
      {"textFont", {}},
      {"textFontSize", {}},
      {"lvlBG", {"simpleLevelView", "backgroundColor"}},
      {"lvlBar", {"simpleLevelView", "levelColor"}},
      {"titleBarLvlBG", {"titleBarLevelView", "backgroundColor"}},
      {"titleBarLvlBar", {"titleBarLevelView", "levelColor"}},
      {"popUpFill", {"fillColor"}},
      {"popUpStroke", {"strokeColor"}},
      {"popUpTextColor", {"fontAttribs"}},
      {"popUpFont", {"fontAttribs"}},
      {"popUpFontSize", {"fontAttribs"}},
      {"bezierCurveColor", {"curveColor"}},
      {"bezierLineColor", {"lineColor"}},
      {"bezierHandleColor", {"handleColor"}},
      {"bezierDivisionColor", {"divisionColor"}},
      {"fxFill", {"fill"}},
      {"fxStroke", {"stroke"}},
      {"fxTextColor", {"titleFontAttribs"}},
      {"fxFontName", {"titleFontAttribs"}},
      {"fxFontSize", {"titleFontAttribs"}},
      {"aaWave", {"AudioAnalysis", "waveColor"}},
      {"aaWaveStroke", {"AudioAnalysis", "waveStrokeColor"}},
      {"aaBand", {"AudioAnalysis", "bandColor"}},
      {"aaBandStroke", {"AudioAnalysis", "bandStrokeColor"}},
      {"aaCenterCol", {"AudioAnalysis", "centerColColor"}},
      {"aaCenterLine", {"AudioAnalysis", "centerLineColor"}},
      {"aaSelBand", {"AudioAnalysis", "selectedBandColor"}},
      {"aaSelBandStroke", {"AudioAnalysis", "selectedBandStrokeColor"}},
      {"aaSelCenterCol", {"AudioAnalysis", "selectedCenterColColor"}},
      {"aaSelCenterLine", {"AudioAnalysis", "selectedCenterLineColor"}},
      {"aaPeakColor", {"AudioAnalysis", "peakColor"}},
      {"aaTextColor", {"AudioAnalysis", "textAttribsDict"}},
      {"mbPageTitle", {"MediaBin", "pageTitleAttribsDict"}},
      {"mbSelPageTitle", {"MediaBin", "selPageTitleAttribsDict"}},
      {"mbPageTitleBG", {"MediaBin", "pageTitleBGColor"}},
      {"mbPageBG", {"MediaBin", "pageBGColor"}},
      {"mbPageLineStroke", {"MediaBin", "pageLineStrokeColor"}},
      {"mbCellSelect", {"MediaBin", "cellSelectColor"}},
      {"mbCellShortcut", {"MediaBin", "cellShortcutColor"}},
      {"mbCellPlaying", {"MediaBin", "cellPlayingColor"}},
      {"mbCellTitle", {"MediaBin", "cellTitleAttribsDict"}},
      {"mbCellTitleBG", {"MediaBin", "cellTitleBG"}},
      {"mbCellQueued", {"MediaBin", "cellQueuedColor"}},
      {"ssValueColor", {"StepSequencer", "valueColor"}},
      {"ssTimeColor", {"StepSequencer", "timeColor"}},
      {"syFontColor", {"Sticky", "textAttribsDict"}},
      {"syFont", {"Sticky", "textAttribsDict"}},
      {"syFontSize", {"Sticky", "textAttribsDict"}},
  };
  return paths.value(name);
}

QVariantMap* childMap(QVariantMap& map, const QString& key) {
  auto it = map.find(key);
  if (it == map.end() || it->typeId() != QMetaType::QVariantMap) return nullptr;
  // Detached in place: the caller's dictionary changes.
  return static_cast<QVariantMap*>(it->data());
}

}  // namespace

QString groupKey(Group group) {
  switch (group) {
    case Group::Buttons:
      return S::kButtonColorDict;
    case Group::Windows:
      return S::kWinColorDict;
    case Group::Sliders:
      return S::kSliderColorDict;
    case Group::Tables:
      return S::kTableColorDict;
    case Group::Labels:
      return S::kLabelColorDict;
    case Group::Levels:
      return S::kLevelViewColorDict;
    case Group::PopUps:
      return S::kPopUpColorDict;
    case Group::Curves:
      return S::kBezierColorDict;
    case Group::Effects:
      return S::kFxColorDict;
    case Group::Plugins:
      return S::kPluginColorDict;
  }
  return {};
}

QString redrawNotification(Group group) {
  switch (group) {
    case Group::Windows:
      return QStringLiteral("QKWMCRedrawWindowsNotification");
    case Group::Tables:
      return QStringLiteral("QKRedrawTablesNotification");
    case Group::Labels:
      return QStringLiteral("QKRedrawLabelsNotification");
    case Group::Levels:
      return QStringLiteral("QKRedrawLevelsNotification");
    case Group::PopUps:
      return QStringLiteral("QKRedrawPopUpsNotification");
    case Group::Curves:
      return QStringLiteral("QKRedrawBeziersNotification");
    case Group::Effects:
      return QStringLiteral("QKRedrawFXNotification");
    case Group::Plugins:
      return QStringLiteral("QKRedrawPluginsNotification");
    default:
      return {};
  }
}

const std::vector<Control>& controls() {
  using G = Group;
  using R = Role;
  static const std::vector<Control> all = {
      {"buttonFill", G::Buttons, R::Colour},
      {"buttonStroke", G::Buttons, R::Colour},
      {"buttonText", G::Buttons, R::Foreground},
      {"buttonFontName", G::Buttons, R::Font},
      {"buttonFontSize", G::Buttons, R::Font},
      {"buttonRounding", G::Buttons, R::Number},
      {"buttonStrokeWidth", G::Buttons, R::Number},
      {"windowTitlebar", G::Windows, R::Colour},
      {"windowFrame", G::Windows, R::Colour},
      {"windowFill", G::Windows, R::Colour},
      {"windowFontColor", G::Windows, R::Foreground},
      {"windowFontName", G::Windows, R::Font},
      {"windowFontSize", G::Windows, R::Font},
      {"sliderFrame", G::Sliders, R::Colour},
      {"sliderBG", G::Sliders, R::Colour},
      {"sliderSlider", G::Sliders, R::Colour},
      {"sliderEnv", G::Sliders, R::Colour},
      {"sliderEnvHandle", G::Sliders, R::Colour},
      {"sliderSliderTxt", G::Sliders, R::Foreground},
      {"sliderEnvTxt", G::Sliders, R::Foreground},
      {"sliderHighlight", G::Sliders, R::Colour},
      {"sliderShadow", G::Sliders, R::Colour},
      {"sliderIPs", G::Sliders, R::Colour},
      {"sliderFontName", G::Sliders, R::Font},
      {"sliderFontSize", G::Sliders, R::Font},
      {"tableFill", G::Tables, R::Colour},
      {"tableTxt", G::Tables, R::Colour},
      {"tableBG", G::Tables, R::Colour},
      {"tableFont", G::Tables, R::PlainFont},
      {"tableFontSize", G::Tables, R::PlainFont},
      {"textColor", G::Labels, R::Foreground},
      {"textFont", G::Labels, R::Font},
      {"textFontSize", G::Labels, R::Font},
      {"lvlBG", G::Levels, R::Colour},
      {"lvlBar", G::Levels, R::Colour},
      {"titleBarLvlBG", G::Levels, R::Colour},
      {"titleBarLvlBar", G::Levels, R::Colour},
      {"popUpFill", G::PopUps, R::Colour},
      {"popUpStroke", G::PopUps, R::Colour},
      {"popUpTextColor", G::PopUps, R::Foreground},
      {"popUpFont", G::PopUps, R::Font},
      {"popUpFontSize", G::PopUps, R::Font},
      {"bezierCurveColor", G::Curves, R::Colour},
      {"bezierLineColor", G::Curves, R::Colour},
      {"bezierHandleColor", G::Curves, R::Colour},
      {"bezierDivisionColor", G::Curves, R::Colour},
      {"fxFill", G::Effects, R::Colour},
      {"fxStroke", G::Effects, R::Colour},
      {"fxTextColor", G::Effects, R::Foreground},
      {"fxFontName", G::Effects, R::Font},
      {"fxFontSize", G::Effects, R::Font},
      {"aaWave", G::Plugins, R::Colour},
      {"aaWaveStroke", G::Plugins, R::Colour},
      {"aaBand", G::Plugins, R::Colour},
      {"aaBandStroke", G::Plugins, R::Colour},
      {"aaCenterCol", G::Plugins, R::Colour},
      {"aaCenterLine", G::Plugins, R::Colour},
      {"aaSelBand", G::Plugins, R::Colour},
      {"aaSelBandStroke", G::Plugins, R::Colour},
      {"aaSelCenterCol", G::Plugins, R::Colour},
      {"aaSelCenterLine", G::Plugins, R::Colour},
      {"aaPeakColor", G::Plugins, R::Colour},
      {"aaTextColor", G::Plugins, R::Foreground},
      {"mbPageTitle", G::Plugins, R::Foreground},
      {"mbSelPageTitle", G::Plugins, R::Foreground},
      {"mbPageTitleBG", G::Plugins, R::Colour},
      {"mbPageBG", G::Plugins, R::Colour},
      {"mbPageLineStroke", G::Plugins, R::Colour},
      {"mbCellSelect", G::Plugins, R::Colour},
      {"mbCellShortcut", G::Plugins, R::Colour},
      {"mbCellPlaying", G::Plugins, R::Colour},
      {"mbCellTitle", G::Plugins, R::Foreground},
      {"mbCellTitleBG", G::Plugins, R::Colour},
      {"mbCellQueued", G::Plugins, R::Colour},
      {"ssValueColor", G::Plugins, R::Colour},
      {"ssTimeColor", G::Plugins, R::Colour},
      {"syFontColor", G::Plugins, R::Foreground},
      {"syFont", G::Plugins, R::Font},
      {"syFontSize", G::Plugins, R::Font},
  };
  return all;
}

const Control* control(const QString& name) {
  for (const Control& c : controls())
    if (name == QLatin1String(c.name)) return &c;
  return nullptr;
}

QString buttonStateName(int state) {
  static const QStringList names{"off", "transition", "on"};
  return names.value(std::clamp(state, 0, 2));
}

QStringList buttonLeaf(const Selectors& s) {
  return {s.buttonSelected ? "selected" : "unselected", s.buttonSynced ? "sync" : "unsync",
          s.buttonHLM ? "HLM" : "non-HLM"};
}

QStringList sliderLeaf(const Selectors& s) {
  return {s.sliderSelected ? "selected" : "unselected", s.sliderSynced ? "sync" : "unsync",
          s.sliderHLM ? "HLM" : "non-HLM"};
}

Entry entryFor(const Control& c, const Selectors& s) {
  const QString name = QLatin1String(c.name);
  switch (c.group) {
    case Group::Buttons: {
      QStringList path = buttonLeaf(s);
      if (name == "buttonRounding") return {path << "radius", c.role};
      if (name == "buttonStrokeWidth") return {path << "strokeWidth", c.role};
      if (name == "buttonFill") return {path + stateKey(s, "%1FillColor"), c.role};
      if (name == "buttonStroke") return {path + stateKey(s, "%1StrokeColor"), c.role};
      return {path + stateKey(s, "%1FontAttribs"), c.role};
    }
    case Group::Windows:
      return {windowStyle(s) + tail(name), c.role};
    case Group::Sliders:
      return {sliderLeaf(s) + tail(name), c.role};
    default:
      return {tail(name), c.role};
  }
}

std::optional<QVariant> read(const QVariantMap& group, const Entry& entry) {
  QVariant value = QVariant(group);
  for (const QString& key : entry.path) {
    if (value.typeId() != QMetaType::QVariantMap) return std::nullopt;
    value = value.toMap().value(key);
    if (!value.isValid()) return std::nullopt;
  }
  if (entry.role == Role::Foreground || entry.role == Role::Font) {
    if (value.typeId() != QMetaType::QVariantMap) return std::nullopt;
    value = value.toMap().value(entry.role == Role::Font ? S::kFontAttribute
                                                         : S::kForegroundColorAttribute);
    if (!value.isValid()) return std::nullopt;
  }
  return value;
}

bool write(QVariantMap& group, const Entry& entry, const QVariant& value) {
  QVariantMap* map = &group;
  const bool intoAttributes = entry.role == Role::Foreground || entry.role == Role::Font;
  const int levels = int(entry.path.size()) - (intoAttributes ? 0 : 1);
  for (int i = 0; i < levels; ++i) {
    map = childMap(*map, entry.path[i]);
    if (!map) return false;
  }
  if (intoAttributes) {
    map->insert(entry.role == Role::Font ? S::kFontAttribute : S::kForegroundColorAttribute, value);
    return true;
  }
  if (entry.path.isEmpty()) return false;
  map->insert(entry.path.last(), value);
  return true;
}

namespace {

QVariantMap* leafAt(QVariantMap& root, const QStringList& path) {
  QVariantMap* map = &root;
  for (const QString& key : path)
    if (!(map = childMap(*map, key))) return nullptr;
  return map;
}

}  // namespace

QStringList otherLeaf(const QStringList& leaf, int level) {
  static const QList<QPair<QString, QString>> flips{
      {"selected", "unselected"}, {"sync", "unsync"}, {"HLM", "non-HLM"}};
  QStringList other = leaf;
  if (level < 0 || level > 2 || other.size() != 3) return other;
  const auto& [a, b] = flips[level];
  other[level] = other[level] == a ? b : a;
  return other;
}

bool slidersUseThese(QVariantMap& sliders, const Selectors& s, int level) {
  const QVariantMap* source = leafAt(sliders, sliderLeaf(s));
  if (!source) return false;
  const QVariantMap copy = *source;
  QVariantMap* target = leafAt(sliders, otherLeaf(sliderLeaf(s), level));
  if (!target) return false;
  MutDictAdditions::recursivelyAddThisDict(*target, copy);
  return true;
}

namespace {

// Copies one display state's fill, stroke, text colour and font.
void copyState(const QVariantMap& from, const QString& fromState, QVariantMap& to,
               const QString& toState) {
  for (const char* format : {"%1FillColor", "%1StrokeColor"}) {
    const QVariant value = from.value(QString::fromLatin1(format).arg(fromState));
    if (value.isValid()) to.insert(QString::fromLatin1(format).arg(toState), value);
  }
  const QVariantMap attributes = from.value(fromState + "FontAttribs").toMap();
  QVariantMap* target = childMap(to, toState + "FontAttribs");
  if (!target) return;
  for (const QString& key : {S::kForegroundColorAttribute, S::kFontAttribute})
    if (attributes.contains(key)) target->insert(key, attributes.value(key));
}

}  // namespace

bool buttonStateUseThese(QVariantMap& buttons, const Selectors& s, int targetState) {
  QVariantMap* leaf = leafAt(buttons, buttonLeaf(s));
  if (!leaf) return false;
  const QVariantMap source = *leaf;
  copyState(source, buttonStateName(s.buttonState), *leaf, buttonStateName(targetState));
  return true;
}

bool buttonLevelUseThese(QVariantMap& buttons, const Selectors& s, int level) {
  const QVariantMap* source = leafAt(buttons, buttonLeaf(s));
  if (!source) return false;
  const QVariantMap copy = *source;
  QVariantMap* target = leafAt(buttons, otherLeaf(buttonLeaf(s), level));
  if (!target) return false;
  const QString state = buttonStateName(s.buttonState);
  copyState(copy, state, *target, state);
  return true;
}

bool windowsUseThese(QVariantMap& windows, const Selectors& s) {
  const QString shown = windowStyle(s).first();
  const QString other = s.windowLocked ? QStringLiteral("unlocked") : QStringLiteral("locked");
  const QVariantMap* source = childMap(windows, shown);
  if (!source) return false;
  const QVariantMap copy = *source;
  QVariantMap* target = childMap(windows, other);
  if (!target) return false;
  MutDictAdditions::recursivelyAddThisDict(*target, copy);
  return true;
}

}  // namespace ThemeEntries
