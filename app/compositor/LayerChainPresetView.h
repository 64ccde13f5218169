#pragma once

#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QWidget>

class Compositor;
class Layer;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The layer panel's effect-chain presets: a pop-up of the presets (choosing
// one applies it to the shown layer), a name field with "Save" (the layer's
// chain becomes the preset of that name), "Delete" (the chosen preset; its
// file is kept in "deleted/") and a table of the presets with each one's
// shortcut on the shown layer and a "Learn" button (a second click clears
// the shortcut). It follows the manager's updates. Main thread only.
class LayerChainPresetView : public QWidget {
  Q_OBJECT
 public:
  LayerChainPresetView(Compositor* compositor, QWidget* parent);
  ~LayerChainPresetView() override;

  // The layer the presets apply to (null: none).
  void setLayer(Layer* layer);
  // Rebuilds the pop-up and the table from the manager and the layer.
  void reload();
  // Shows the preset as the one in use.
  void selectPreset(const QString& name);

  QComboBox* popUp() const { return popUp_; }
  QLineEdit* nameField() const { return nameField_; }
  QPushButton* saveButton() const { return saveButton_; }
  QPushButton* deleteButton() const { return deleteButton_; }
  QTableWidget* table() const { return table_; }
  // The "Learn" button of the preset's row (null: none).
  QPushButton* learnButton(const QString& name) const;

 private:
  void chosen(int row);
  void save();
  void deleteChosen();
  void learn(const QString& name);

  Compositor* compositor_;
  Layer* layer_ = nullptr;
  QComboBox* popUp_ = nullptr;
  QLineEdit* nameField_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QTableWidget* table_ = nullptr;
  QString lastSelected_;
  NotificationObservers observers_;
};
