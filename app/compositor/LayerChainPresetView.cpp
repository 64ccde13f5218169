#include "app/compositor/LayerChainPresetView.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/compositor/LayerFXShortcuts.h"
#include "app/effects/LayerChainManager.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

LayerChainPresetView::LayerChainPresetView(Compositor* compositor, QWidget* parent)
    : QWidget(parent), compositor_(compositor) {
  popUp_ = new QComboBox(this);
  popUp_->setPlaceholderText(QStringLiteral("Chain presets"));
  popUp_->setGeometry(0, 0, 312, 22);
  nameField_ = new QLineEdit(this);
  nameField_->setPlaceholderText(QStringLiteral("Preset name"));
  nameField_->setGeometry(0, 26, 150, 22);
  saveButton_ = new QPushButton(QStringLiteral("Save"), this);
  saveButton_->setGeometry(154, 26, 76, 22);
  deleteButton_ = new QPushButton(QStringLiteral("Delete"), this);
  deleteButton_->setGeometry(236, 26, 76, 22);
  table_ = new QTableWidget(0, 3, this);
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Preset"), QStringLiteral("Shortcut"), QStringLiteral("Detect")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setColumnWidth(0, 104);
  table_->setColumnWidth(1, 134);
  table_->setGeometry(0, 52, 312, 96);
  QObject::connect(popUp_, qOverload<int>(&QComboBox::activated), this,
                   [this](int row) { chosen(row); });
  QObject::connect(saveButton_, &QPushButton::clicked, this, [this] { save(); });
  QObject::connect(nameField_, &QLineEdit::returnPressed, this, [this] { save(); });
  QObject::connect(deleteButton_, &QPushButton::clicked, this, [this] { deleteChosen(); });
  observers_.observe(LayerChainManager::kPresetUpdateNotification, nullptr,
                     [this](const Notification&) { reload(); });
  reload();
}

LayerChainPresetView::~LayerChainPresetView() { observers_.clear(); }

void LayerChainPresetView::setLayer(Layer* layer) {
  if (layer_ && layer_ != layer) layer_->cancelDetect();
  layer_ = layer;
  reload();
}

void LayerChainPresetView::reload() {
  LayerChainManager* manager = compositor_ ? compositor_->chainManager() : nullptr;
  const QStringList names = manager ? manager->fxChainPresetMenu() : QStringList();
  popUp_->clear();
  popUp_->addItems(names);
  popUp_->setCurrentIndex(names.indexOf(lastSelected_));
  table_->setRowCount(int(names.size()));
  const bool live = layer_ && !layer_->deleted();
  for (int row = 0; row < names.size(); ++row) {
    const QString& name = names[row];
    table_->setItem(row, 0, new QTableWidgetItem(name));
    const QString shortcut = live ? layer_->shortcutStringForFXChainPresetNamed(name) : QString();
    const bool learning = live && layer_->fxShortcuts().nameBeingDetected() == name;
    table_->setItem(row, 1, new QTableWidgetItem(learning ? QStringLiteral("…") : shortcut));
    auto* button = new QPushButton(learning            ? QStringLiteral("Learning")
                                   : shortcut.isNull() ? QStringLiteral("Learn")
                                                       : QStringLiteral("Clear"));
    button->setObjectName(name);
    button->setEnabled(live);
    QObject::connect(button, &QPushButton::clicked, this, [this, name] { learn(name); });
    table_->setCellWidget(row, 2, button);
  }
  const bool enabled = live && layer_->fxChain();
  popUp_->setEnabled(enabled);
  saveButton_->setEnabled(enabled);
  deleteButton_->setEnabled(!names.isEmpty());
}

void LayerChainPresetView::selectPreset(const QString& name) {
  lastSelected_ = name;
  popUp_->setCurrentIndex(popUp_->findText(name));
}

QPushButton* LayerChainPresetView::learnButton(const QString& name) const {
  for (int row = 0; row < table_->rowCount(); ++row)
    if (auto* button = qobject_cast<QPushButton*>(table_->cellWidget(row, 2));
        button && button->objectName() == name)
      return button;
  return nullptr;
}

void LayerChainPresetView::chosen(int row) {
  if (!layer_ || layer_->deleted() || row < 0) return;
  lastSelected_ = popUp_->itemText(row);
  layer_->useFXChainPresetNamed(lastSelected_);
}

void LayerChainPresetView::save() {
  LayerChainManager* manager = compositor_ ? compositor_->chainManager() : nullptr;
  const QString name = nameField_->text().trimmed();
  if (!manager || !layer_ || !layer_->fxChain() || name.isEmpty()) return;
  lastSelected_ = name;
  manager->savePreset(name, layer_->fxChain()->createSnapshot());
  nameField_->clear();
}

void LayerChainPresetView::deleteChosen() {
  LayerChainManager* manager = compositor_ ? compositor_->chainManager() : nullptr;
  const QString name = popUp_->currentText();
  if (!manager || name.isEmpty()) return;
  manager->deletePreset(name);
}

void LayerChainPresetView::learn(const QString& name) {
  if (!layer_ || layer_->deleted()) return;
  layer_->startDetectForFXChainShortcutNamed(name);
  reload();
}
