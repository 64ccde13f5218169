#include "app/shell/ProjectLoadingPanel.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProjectLoadingPanel::ProjectLoadingPanel(std::function<void()> cancel, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("loadingPanel"));
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  description_ = new QLabel(this);
  description_->setObjectName(QStringLiteral("loadingDescriptionTextField"));
  description_->setMinimumWidth(320);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("loadingCountTextField"));
  indicator_ = new QProgressBar(this);
  indicator_->setObjectName(QStringLiteral("loadingProgressIndicator"));
  indicator_->setTextVisible(false);
  cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("cancelFileLoadingButton"));
  connect(cancelButton_, &QPushButton::clicked, this, [cancel = std::move(cancel)] {
    if (cancel) cancel();
  });
  layout->addWidget(title_);
  layout->addWidget(description_);
  layout->addWidget(count_);
  layout->addWidget(indicator_);
  layout->addWidget(cancelButton_, 0, Qt::AlignRight);
}

void ProjectLoadingPanel::setTitle(const QString& title) {
  title_->setText(title);
  setWindowTitle(title);
}

void ProjectLoadingPanel::setDescription(const QString& text) { description_->setText(text); }
void ProjectLoadingPanel::setCount(const QString& text) { count_->setText(text); }
QString ProjectLoadingPanel::title() const { return title_->text(); }
QString ProjectLoadingPanel::description() const { return description_->text(); }
QString ProjectLoadingPanel::count() const { return count_->text(); }

void ProjectLoadingPanel::start() {
  setDescription(QStringLiteral("Preparing to load files..."));
  setCount(QStringLiteral("Estimating file count..."));
  indicator_->setRange(0, 0);
  show();
  raise();
}

void ProjectLoadingPanel::stop() {
  indicator_->setRange(0, 1);
  indicator_->setValue(0);
  close();
}
