#pragma once

#include "app/plugins/manager/BankPlugin.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/ButtonManagerClient.h"
#include "framework/controls/SliderManagerClient.h"
#include "framework/datasource/KeyPath.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <vector>

class ButtonButton;
class ButtonListController;
class QKButtonCell;
class QSlider;

// The "Buttons" plug-in: a grid of buttons the user adds, deletes and names
// ("1", "2", … by default), each a full button that can follow and learn a
// source, and each publishing its own state: a momentary button bangs at
// [P, "hidden", name] (type 0, not in the menus), a toggle holds its state
// at [P, name] (type 5), P being the plug-in's name. Toggles of one
// exclusion group (0 or more) turn each other off as one turns on, and on as
// it turns off. The options sheet sets the button height and the number of
// columns (1 to 12) and lists the buttons: name, toggle, exclusion, group.
// No button follows a source of its own plug-in. Presses come on the main
// thread, also from a source; main thread only.
class Buttons : public BankPlugin, public SliderManagerClient, public ButtonManagerClient {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "Buttons"
  static const QString kHidden;    // "hidden"
  static constexpr int kDefaultButtonHeight = 25;
  static constexpr int kButtonSpacing = 3;
  static constexpr int kDefaultColumns = 2;
  static constexpr int kMaxColumns = 12;

  Buttons(const QString& type, const QString& name, std::int32_t uniqueID);
  ~Buttons() override;

  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  // Moves the whole subtree under the new name first.
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Grid ---
  ButtonButton* createButton();
  void deleteButton();  // the rows selected in the list
  void deleteButtons(const QList<int>& rows);
  void deleteAllButtons();
  QList<ButtonButton*> buttonArray() const;
  QString getUniqueNameForArray() const;
  bool isThereAButtonNamed(const QString& name) const;
  // Where the button's source stands.
  KeyPath sourcePath(const ButtonButton& button) const;

  // --- List edits (false: refused, nothing changed) ---
  bool renameButton(int row, const QString& name);
  bool setButtonKind(int row, int kind);
  bool setMutexFlag(int row, bool flag);
  bool setMutexGroup(int row, int group);

  // --- Actions ---
  void momentaryButtonTriggered(QKButtonCell& sender);
  void toggleButtonTriggered(QKButtonCell& sender);

  // --- Layout and options ---
  void resetButtonPositions();
  void buttonHeightSliderUsed(int value);
  // Takes 1 to 12; anything else changes nothing.
  void columnsSliderUsed(int value);
  int buttonHeight() const { return buttonHeight_; }
  int columns() const { return columns_; }
  ButtonListController* listController() const { return listController_.get(); }

  void setSliderManager(QKSliderManager* manager) override { sliderManager_ = manager; }
  void setButtonManager(QKButtonManager* manager) override { buttonManager_ = manager; }

 protected:
  void buildSheetRows(QVBoxLayout* column) override;
  QAbstractItemModel* listModel() const override;
  void reloadList() override;
  void resetPositions() override { resetButtonPositions(); }
  void addFromSheet() override { createButton(); }
  void deleteRows(const QList<int>& rows) override { deleteButtons(rows); }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  ButtonButton* addButton(int type);
  ButtonButton* buttonAt(int row) const;
  void installSource(ButtonButton& button);
  void removeSource(const ButtonButton& button);
  void makeToggle(ButtonButton& button);
  void makeMomentary(ButtonButton& button);
  void reloadSourceMenus();
  void retire(ButtonButton* button);

  std::vector<QPointer<ButtonButton>> buttonArray_;
  int buttonHeight_ = kDefaultButtonHeight;
  int columns_ = kDefaultColumns;
  QSlider* buttonHeightSlider_ = nullptr;
  QSlider* columnsSlider_ = nullptr;
  QKSliderManager* sliderManager_ = nullptr;
  QKButtonManager* buttonManager_ = nullptr;
  std::unique_ptr<ButtonListController> listController_;
};
