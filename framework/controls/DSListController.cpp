#include "framework/controls/DSListController.h"

#include "framework/controls/DataSourceMenuMarks.h"
#include "framework/controls/TypedKeyPath.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceMenuAdapter.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"

#include <QMenu>

DSListController::DSListController(QWidget* parent)
    : sourcePopUpButton_(new QKNSPopUpButton(parent)),
      dataSourceNameTextField_(new FirstResponderTextField(parent)) {
  QObject::connect(sourcePopUpButton_, &QKNSPopUpButton::activated, sourcePopUpButton_,
                   [this](QAction* item) { sourcePopUpButtonUsed(item); });
  QObject::connect(dataSourceNameTextField_, &QLineEdit::returnPressed, dataSourceNameTextField_,
                   [this] { dataSourceTextFieldUsed(); });
}

DSListController::~DSListController() = default;

QKNSPopUpButton* DSListController::sourcePopUpButton() const { return sourcePopUpButton_; }

FirstResponderTextField* DSListController::dataSourceNameTextField() const {
  return dataSourceNameTextField_;
}

void DSListController::reloadView() {
  if (!sourcePopUpButton_ || !controller_) return;
  QMenu* menu = DataSourceMenuAdapter::createMenu(
      controller_->getDataSourceMenuWithDepth(kMenuDepth), sourcePopUpButton_);
  if (menu) sourcePopUpButton_->setMenu(menu);  // the old one goes
}

void DSListController::selectItemForSourceArray(const KeyPath& path) {
  if (!sourcePopUpButton_) return;
  QMenu* menu = sourcePopUpButton_->menu();
  DataSourceMenuMarks::uncheckAll(menu);
  if (QAction* item = DataSourceMenuMarks::checkFirstFor(menu, path))
    sourcePopUpButton_->selectItem(item);
  dataSourceNameTextField_->setText(KeyPathAdditions::joined(path));
}

void DSListController::sourcePopUpButtonUsed(QAction* item) {
  const KeyPath path = DataSourceMenuAdapter::keyPathForAction(item);
  if (path.isEmpty()) return;
  dataSourceNameTextField_->setText(KeyPathAdditions::joined(path));
  useThisSource(path);
}

void DSListController::dataSourceTextFieldUsed() {
  const QString text = dataSourceNameTextField_->text();
  if (text.isEmpty()) return;
  const std::optional<KeyPath> path = keyPathFromTypedText(text);
  if (!path) {
    Log::line(QStringLiteral("\t\terr: \"%1\" names no data source").arg(text));
    return;
  }
  useThisSource(*path);
}

bool DSListController::paletteShowsList() const {
  if (!sourcePopUpButton_ || !sourcePopUpButton_->window()->isVisible()) return false;
  for (QWidget* ancestor = sourcePopUpButton_->parentWidget(); ancestor;
       ancestor = ancestor->parentWidget())
    if (auto* content = qobject_cast<QKWindowContentView*>(ancestor)) return !content->collapsed();
  return true;
}

void DSListController::reloadDSContextualMenu() {
  if (paletteShowsList()) reloadView();
  if (refresh_) refresh_();
}
