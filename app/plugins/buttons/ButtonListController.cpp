#include "app/plugins/buttons/ButtonListController.h"

#include "app/plugins/buttons/ButtonButton.h"
#include "app/plugins/buttons/Buttons.h"

ButtonListController::ButtonListController(Buttons* buttons) : buttons_(buttons) {}

void ButtonListController::update() {
  beginResetModel();
  endResetModel();
}

int ButtonListController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(buttons_->buttonArray().size());
}

int ButtonListController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant ButtonListController::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const QList<ButtonButton*> buttons = buttons_->buttonArray();
  if (index.row() < 0 || index.row() >= buttons.size()) return {};
  const ButtonButton* button = buttons.at(index.row());
  switch (index.column()) {
    case Name:
      return button->title();
    case Toggle:
      return button->buttonType() == 1 ? 1 : 0;
    case Mutex:
      return button->mutexFlag() ? 1 : 0;
    case Group:
      return button->mutexGroup();
    default:
      return {};
  }
}

QVariant ButtonListController::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* titles[] = {"Name", "Toggle", "Excl.", "Group"};
  return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

Qt::ItemFlags ButtonListController::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool ButtonListController::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole) return false;
  bool accepted = false;
  switch (index.column()) {
    case Name:
      accepted = buttons_->renameButton(index.row(), value.toString());
      break;
    case Toggle:
      accepted = buttons_->setButtonKind(index.row(), value.toInt() == 1 ? 1 : 0);
      break;
    case Mutex:
      accepted = buttons_->setMutexFlag(index.row(), value.toInt() == 1);
      break;
    case Group:
      accepted = buttons_->setMutexGroup(index.row(), value.toInt());
      break;
    default:
      break;
  }
  if (accepted) Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), Group));
  return accepted;
}
