#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>
#include <vector>

// Which entry of the theme each control of the theme editor edits, as data:
// the group, the path of keys inside it (the selectors choose the style
// shown) and how the value sits there. Pure functions; main thread.
namespace ThemeEntries {

enum class Group {
  Buttons,
  Windows,
  Sliders,
  Tables,
  Labels,
  Levels,
  PopUps,
  Curves,
  Effects,
  Plugins
};
enum class Role {
  Colour,      // a colour under the last key
  Foreground,  // the foreground colour of the attributes dictionary at the path
  Font,        // the font of the attributes dictionary at the path
  PlainFont,   // a font under the last key
  Number,      // a float under the last key
};

// Which style the selectors show.
struct Selectors {
  int buttonState = 0;  // 0 "off", 1 "transition", 2 "on"
  bool buttonSelected = false;
  bool buttonSynced = false;
  bool buttonHLM = false;
  bool windowLocked = false;
  bool sliderSelected = false;
  bool sliderSynced = false;
  bool sliderHLM = false;
};

struct Control {
  const char* name;  // "buttonFill", "sliderFontName" …
  Group group;
  Role role;
};

struct Entry {
  QStringList path;  // within the group's dictionary
  Role role;
};

// The group keys of the stored theme, and the redraw notification of the
// application's groups (empty for buttons and sliders, which their managers
// redraw).
QString groupKey(Group group);
QString redrawNotification(Group group);

// Every value control, in each group's order.
const std::vector<Control>& controls();
const Control* control(const QString& name);

QString buttonStateName(int state);  // "off", "transition", "on"
QStringList buttonLeaf(const Selectors& selectors);
QStringList sliderLeaf(const Selectors& selectors);

// The entry a control edits while the selectors show a style.
Entry entryFor(const Control& control, const Selectors& selectors);

// The value at the entry; nothing when a level or the value is missing.
std::optional<QVariant> read(const QVariantMap& group, const Entry& entry);
// Sets the value at the entry; false (nothing changed) when a level on the
// way is missing.
bool write(QVariantMap& group, const Entry& entry, const QVariant& value);

// The leaf whose level `level` (0 selected, 1 sync, 2 HLM) differs.
QStringList otherLeaf(const QStringList& leaf, int level);

// Copies the shown slider leaf onto the leaf differing at `level` (entry
// by entry, attributes merged); false when either is missing.
bool slidersUseThese(QVariantMap& sliders, const Selectors& selectors, int level);
// Copies the shown button state onto `targetState` within the shown leaf.
bool buttonStateUseThese(QVariantMap& buttons, const Selectors& selectors, int targetState);
// Copies the shown state's fill, stroke, text colour and font onto the
// same state of the leaf differing at `level`.
bool buttonLevelUseThese(QVariantMap& buttons, const Selectors& selectors, int level);
// Merges the shown window style into the other one.
bool windowsUseThese(QVariantMap& windows, const Selectors& selectors);

}  // namespace ThemeEntries
