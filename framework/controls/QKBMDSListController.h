#pragma once

#include "framework/controls/DSMenuReloading.h"
#include "framework/datasource/KeyPath.h"

#include <QPointer>

class DataSourceController;
class FirstResponderTextField;
class QAction;
class QKBMInterfaceManager;
class QKButtonManager;
class QKNSPopUpButton;
class QWidget;

// The button inspector's source chooser: a pop-up of the data-source tree
// (nine levels deep) and a text field that shows the chosen path and takes
// a typed one (keyPathFromTypedText). A choice binds every selected button.
// The pop-up's items carry their key paths; the selected buttons' first
// source is marked by comparing paths. Main thread only.
class QKBMDSListController : public DSMenuReloading {
 public:
  static constexpr int kMenuDepth = 9;

  // Makes the pop-up and the text field as children of `parent`.
  explicit QKBMDSListController(QWidget* parent);
  ~QKBMDSListController() override;

  void setButtonManager(QKButtonManager* manager) { buttonManager_ = manager; }
  void setDataSourceController(DataSourceController* controller) { controller_ = controller; }
  void setInspector(QKBMInterfaceManager* inspector) { inspector_ = inspector; }

  QKNSPopUpButton* sourcePopUpButton() const { return sourcePopUpButton_; }
  FirstResponderTextField* dataSourceNameTextField() const { return dataSourceNameTextField_; }

  // Rebuilds the pop-up's menu from the tree.
  void reloadView();
  // Marks the item for `path` (none when it is not listed) and shows the
  // path in the text field.
  void selectItemForSourceArray(const KeyPath& path);
  void sourcePopUpButtonUsed(QAction* item);
  // Binds the selected buttons to the typed path; a path that cannot name a
  // source is refused (logged) and binds nothing.
  void dataSourceTextFieldUsed();
  // Rebuilds the menu while the palette shows it (visible, not collapsed),
  // then refreshes the inspector.
  void reloadDSContextualMenu() override;

 private:
  bool paletteShowsList() const;

  QPointer<QKNSPopUpButton> sourcePopUpButton_;
  QPointer<FirstResponderTextField> dataSourceNameTextField_;
  QKButtonManager* buttonManager_ = nullptr;
  DataSourceController* controller_ = nullptr;
  QKBMInterfaceManager* inspector_ = nullptr;
};
