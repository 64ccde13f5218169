#pragma once

#include "framework/controls/DSMenuReloading.h"
#include "framework/datasource/KeyPath.h"

#include <QPointer>

#include <functional>

class DataSourceController;
class FirstResponderTextField;
class QAction;
class QKNSPopUpButton;
class QWidget;

// An inspector's source chooser: a pop-up of the data-source tree (nine
// levels deep) and a text field that shows the chosen path and takes a typed
// one (keyPathFromTypedText). A choice binds the selected controls through
// `useThisSource`. The pop-up's items carry their key paths; the selection's
// first source is marked by comparing paths. Main thread only.
class DSListController : public DSMenuReloading {
 public:
  static constexpr int kMenuDepth = 9;

  // Makes the pop-up and the text field as children of `parent`.
  explicit DSListController(QWidget* parent);
  ~DSListController() override;

  void setDataSourceController(DataSourceController* controller) { controller_ = controller; }
  // The inspector's refresh, asked for after the menu is rebuilt.
  void setRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }
  QKNSPopUpButton* sourcePopUpButton() const;
  FirstResponderTextField* dataSourceNameTextField() const;

  // Rebuilds the pop-up's menu from the tree.
  void reloadView();
  // Marks the item for `path` (none when it is not listed) and shows the
  // path in the text field.
  void selectItemForSourceArray(const KeyPath& path);
  void sourcePopUpButtonUsed(QAction* item);
  // Binds the selection to the typed path; a path that cannot name a
  // source is refused (logged) and binds nothing.
  void dataSourceTextFieldUsed();
  // Rebuilds the menu while the palette shows it (visible, not collapsed),
  // then refreshes the inspector.
  void reloadDSContextualMenu() override;

 protected:
  // Binds the selected controls to the source at `path`.
  virtual void useThisSource(const KeyPath& path) = 0;

 private:
  bool paletteShowsList() const;

  QPointer<QKNSPopUpButton> sourcePopUpButton_;
  QPointer<FirstResponderTextField> dataSourceNameTextField_;
  DataSourceController* controller_ = nullptr;
  std::function<void()> refresh_;
};
