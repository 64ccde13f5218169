#include "app/shell/StartingPointWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

StartingPointWindow::StartingPointWindow(Actions actions, QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)) {
  setObjectName(QStringLiteral("startingPointWindow"));
  setWindowTitle(QStringLiteral("ZAPH"));
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("Where would you like to start?"), this);
  QFont bigger = title->font();
  bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
  bigger.setBold(true);
  title->setFont(bigger);
  layout->addWidget(title);
  auto* buttons = new QHBoxLayout;
  newSet_ = makeButton(QStringLiteral("New Set"), [this] { actions_.newSet(); });
  openSet_ = makeButton(QStringLiteral("Open Set…"), [this] { actions_.openSet(); });
  openLastSet_ = makeButton(QStringLiteral("Open Last Set"), [this] { actions_.openLastSet(); });
  for (QPushButton* button : {newSet_, openSet_, openLastSet_}) buttons->addWidget(button);
  layout->addLayout(buttons);
  lastSetName_ = new QLabel(this);
  lastSetName_->setObjectName(QStringLiteral("startingPointLastSetNameField"));
  layout->addWidget(lastSetName_);
  triggerPreset_ =
      new QCheckBox(QStringLiteral("Recall the first preset once a set has loaded"), this);
  connect(triggerPreset_, &QCheckBox::clicked, this,
          [this](bool on) { actions_.triggerPresetToggled(on ? 1 : 0); });
  layout->addWidget(triggerPreset_);
  newSet_->setDefault(true);
}

QPushButton* StartingPointWindow::makeButton(const QString& title, std::function<void()> action) {
  auto* button = new QPushButton(title, this);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, action = std::move(action)] {
    done(QDialog::Accepted);
    hide();
    action();
  });
  return button;
}

void StartingPointWindow::setLastSetName(const QString& name) {
  lastSetName_->setText(name.isEmpty() ? QString() : QStringLiteral("Last set: ") + name);
}

void StartingPointWindow::setTriggerPreset(bool on) { triggerPreset_->setChecked(on); }
