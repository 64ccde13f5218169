#pragma once

#include "app/shell/ThemeEntries.h"
#include "framework/controls/ButtonManagerClient.h"
#include "framework/controls/SliderManagerClient.h"

#include <QMap>
#include <QPointer>
#include <QPointer>
#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class ThemeColorWell;
class QKButtonManager;
class QKSliderManager;

// The "Colors" pane: the colour theme's controls. Every value control
// writes one entry of the live theme and redraws what draws with it; the
// selectors choose which button, slider or window style is shown; the
// use-these buttons copy the shown style onto another. Save stores the
// live theme in "colors"; revert merges the stored theme back into every
// owner (entries it lacks keep their values) and redraws; choosing a theme
// makes its file the stored theme and reverts; export writes the stored
// theme as a theme file (or its source text) into the user's "themes"
// folder. The button and slider groups are reached once their managers
// answer the finder notifications. Main thread.
class ColorInterfaceManager : public QWidget,
                              public ButtonManagerClient,
                              public SliderManagerClient {
  Q_OBJECT
 public:
  explicit ColorInterfaceManager(QWidget* parent = nullptr);
  ~ColorInterfaceManager() override;

  // The plain view of the pane: the theme pop-up alone (this widget is the
  // full editor). Deleted with the editor unless its holder deleted it.
  QWidget* userView() const { return userView_; }

  void setButtonManager(QKButtonManager* manager) override { buttonManager_ = manager; }
  void setSliderManager(QKSliderManager* manager) override { sliderManager_ = manager; }

  // Finds the managers, then fills every control from the theme.
  void pushAllColorsToUI();
  void pushGroup(ThemeEntries::Group group);
  void populateThemePopUpButton();

  void saveColors();
  void revertColors();
  // The theme chosen in a theme pop-up; a file that is not a theme is
  // reported and changes nothing.
  void chooseTheme(const QString& name);
  void exportTheme();
  void rawExportTheme();

  // The action of a value control or selector, by its name.
  void itemUsed(const QString& name);
  // The use-these buttons: "buttonUseTheseStateOff" …, "sliderUseTheseHLM",
  // "windowUseThese".
  void useThese(const QString& name);

  ThemeEntries::Selectors selectors() const;
  // The controls by name (tests and layout).
  QWidget* controlNamed(const QString& name) const { return controls_.value(name); }
  QLabel* sizeLabel(const QString& sliderName) const { return labels_.value(sliderName); }
  QComboBox* themePopUp() const { return themePopUp_; }
  QComboBox* altThemePopUp() const { return altThemePopUp_; }
  QLineEdit* exportNameField() const { return exportName_; }

 private:
  void buildPage(ThemeEntries::Group group, QWidget* page);
  void addSelectors(ThemeEntries::Group group, class QFormLayout* form);
  void addUseThese(ThemeEntries::Group group, class QFormLayout* form);
  void addControl(const ThemeEntries::Control& control, class QFormLayout* form);

  // The group's live dictionary; nothing when its owner has none yet.
  std::optional<QVariantMap> groupDictionary(ThemeEntries::Group group) const;
  void storeGroup(ThemeEntries::Group group, const QVariantMap& dictionary);
  void redraw(ThemeEntries::Group group);
  QVariantMap liveTheme() const;
  void pushControl(const ThemeEntries::Control& control, const QVariantMap& group);
  bool isSelector(const QString& name) const;
  // A font of an installed family at the size slider's value.
  std::optional<QFont> fontFromFields(const ThemeEntries::Control& control) const;
  QString fontFieldFor(ThemeEntries::Group group) const;
  QString sizeSliderFor(ThemeEntries::Group group) const;
  void showSizeLabel(const QString& slider);
  void report(const QString& title, const QString& reason);
  void exportUnderTypedName(QString (*write)(const QString&), const QString& failure);

  QKButtonManager* buttonManager_ = nullptr;
  QKSliderManager* sliderManager_ = nullptr;
  QMap<QString, QWidget*> controls_;
  QMap<QString, QLabel*> labels_;
  QComboBox* buttonState_ = nullptr;
  QComboBox* themePopUp_ = nullptr;
  QComboBox* altThemePopUp_ = nullptr;
  QLineEdit* exportName_ = nullptr;
  QPointer<QWidget> userView_;
};
