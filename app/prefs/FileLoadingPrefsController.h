#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/prefs/PrefsNumberRule.h"

class MICheckBox;
class MISegmentedControl;
class PrefsController;
class QComboBox;
class QKLogSliderControl;
class QKSliderCellDelegate;
class QKSliderControl;
class QLineEdit;

// The "File Loading" pane: the defaults a media file takes when it is made
// (the user defaults whose keys end in "Default"). Waking writes every
// absent key; each control stores its value under its key, the value keys
// only while their "use" gate holds 1. A number field refuses text that is
// not a number or out of its bounds and shows the stored value again.
// Main thread; slider notices from other threads are handed over.
class FileLoadingPrefsController : public QWidget {
  Q_OBJECT
 public:
  explicit FileLoadingPrefsController(PrefsController* prefsController, QWidget* parent = nullptr);
  ~FileLoadingPrefsController() override;

  // Sets up the sliders and the style pop-ups, then updatePrefsUI.
  void awakeFromNib();
  // Writes every absent key of the defaults table, in its order.
  void checkUserDefaults();
  // checkUserDefaults, then every stored value into its control.
  void updatePrefsUI();
  // The action of every value control: a slider bound to a data source
  // stores nothing.
  void parameterChanged(QObject* sender);
  // Stores the sender's value under its key (through its gate).
  void handleParameterChanged(QObject* sender);
  // The action of every check box.
  void buttonUsed(QObject* sender);
  // The slider notices (marks, binding, behaviour, envelopes).
  void sliderDelegateChanged(QKSliderControl* slider);

  // The controls (tests).
  QKSliderControl* timeSlider() const { return timeSlider_; }
  QKLogSliderControl* speedSlider() const { return speedSlider_; }
  QKSliderControl* volumeSlider() const { return volumeSlider_; }
  QLineEdit* field(const QString& name) const;
  MICheckBox* checkBox(const QString& name) const;
  MISegmentedControl* loopModeControl() const { return loopModeControl_; }
  QComboBox* textStylePopUpButton() const { return textStylePopUpButton_; }
  QComboBox* imageStylePopUpButton() const { return imageStylePopUpButton_; }

 private:
  enum class Kind { SliderSnapshot, Number, Integer, Segment, Title, Text };
  struct ValueRow {
    QObject* sender;
    QString gate;  // empty: none
    QString key;
    Kind kind;
    std::optional<PrefsNumberRule> rule;
    QKSliderControl* slider = nullptr;  // a field's slider, a slider's own
    QLineEdit* sliderField = nullptr;   // a slider's field
  };
  struct CheckRow {
    MICheckBox* box;
    QString key;
    std::function<void(bool on)> enabling;
    std::vector<QObject*> followUps;
  };

  void buildControls();
  void buildTables();
  void setUpSliders();
  void setUpStylePopUp(QComboBox* popUp, const QStringList& titles, const QString& emptyTip);
  void connectControls();
  void connectSlider(QKSliderControl* slider);
  const ValueRow* valueRow(const QObject* sender) const;
  const CheckRow* checkRow(const QObject* sender) const;
  // The value a row stores, or none when its text is refused (shown again).
  std::optional<QVariant> valueOf(const ValueRow& row);
  void refuse(QLineEdit* field, const ValueRow& row, const QString& reason);
  void showStoredText(QLineEdit* field, const ValueRow& row);
  void showStyleName(QComboBox* popUp, const QString& key, const QString& missingLog);
  void writeAbsentStyle(QComboBox* popUp, const QString& key, const QString& title);
  void writeAbsentSlider(QKSliderControl* slider, const QString& key);
  void enableMovieControls(QKSliderControl* slider, QLineEdit* field, bool on);

  PrefsController* prefsController_;
  QKSliderControl* timeSlider_ = nullptr;
  QKLogSliderControl* speedSlider_ = nullptr;
  QKSliderControl* volumeSlider_ = nullptr;
  MISegmentedControl* loopModeControl_ = nullptr;
  QComboBox* textStylePopUpButton_ = nullptr;
  QComboBox* imageStylePopUpButton_ = nullptr;
  std::vector<std::pair<QString, QLineEdit*>> fields_;
  std::vector<std::pair<QString, MICheckBox*>> boxes_;
  std::vector<ValueRow> valueRows_;
  std::vector<CheckRow> checkRows_;
  std::shared_ptr<QKSliderCellDelegate> sliderDelegate_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
