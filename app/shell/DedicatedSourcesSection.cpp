#include "app/shell/DedicatedSourcesSection.h"

#include "app/shell/DedicatedSourcesModel.h"
#include "framework/toolkit/ActiveDeleteTableView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

class DeleteKey : public ActiveDeleteDelegate {
 public:
  explicit DeleteKey(DedicatedSourcesSection& section) : section_(section) {}
  void deleteKeyPressed() override { section_.deleteSelectedPressed(); }

 private:
  DedicatedSourcesSection& section_;
};

}  // namespace

DedicatedSourcesSection::DedicatedSourcesSection(Config config, QWidget* parent)
    : QWidget(parent),
      config_(std::move(config)),
      deleteKey_(std::make_unique<DeleteKey>(*this)),
      detector_(config_.detectNotification,
                [this](const QVariantMap& userInfo) { detected(userInfo); }) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(new QLabel(config_.title, this));
  table_ = new ActiveDeleteTableView(this);
  table_->setObjectName(QStringLiteral("dedicatedTableView"));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table_->verticalHeader()->hide();
  table_->setDeleteDelegate(deleteKey_.get());
  layout->addWidget(table_, 1);

  auto* buttons = new QHBoxLayout;
  createButton_ = new QPushButton(QStringLiteral("Create New"), this);
  deleteButton_ = new QPushButton(QStringLiteral("Delete Selected"), this);
  connect(createButton_, &QPushButton::clicked, this, [this] { createNewPressed(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { deleteSelectedPressed(); });
  buttons->addWidget(createButton_);
  buttons->addWidget(deleteButton_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  layout->addWidget(status_);
}

DedicatedSourcesSection::~DedicatedSourcesSection() {
  table_->setDeleteDelegate(nullptr);
  detector_.stopDetecting();
}

void DedicatedSourcesSection::wake(DataSourceController* dsc,
                                   DedicatedSourcesEditor::Manager manager) {
  editor_ = std::make_unique<DedicatedSourcesEditor>(config_.rawRoot, config_.dedicatedRoot, dsc,
                                                     std::move(manager));
  auto* old = model_;
  model_ = new DedicatedSourcesModel(*editor_, config_.rawColumnTitle, this);
  connect(model_, &DedicatedSourcesModel::problem, this,
          [this](const QString& reason) { showStatus(reason); });
  table_->setModel(model_);
  delete old;
  reload();
}

void DedicatedSourcesSection::reload() {
  if (model_) model_->reload();
}

QString DedicatedSourcesSection::statusText() const { return status_->text(); }

void DedicatedSourcesSection::showStatus(const QString& text) { status_->setText(text); }

void DedicatedSourcesSection::createNewPressed() {
  if (!editor_) return;
  if (detector_.startDetecting()) showStatus(config_.listeningText);
}

void DedicatedSourcesSection::stopDetecting() {
  if (!detector_.isDetecting()) return;
  detector_.stopDetecting();
  showStatus({});
}

void DedicatedSourcesSection::detected(const QVariantMap& userInfo) {
  showStatus({});
  const QString rawName = config_.rawNameOf ? config_.rawNameOf(userInfo) : QString();
  if (rawName.isEmpty() || !editor_) return;
  const auto result = editor_->dedicate(rawName);
  reload();
  showResult(result);
}

int DedicatedSourcesSection::selectedRow() const {
  if (!table_->selectionModel()) return -1;
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void DedicatedSourcesSection::deleteSelectedPressed() {
  if (!editor_) return;
  const int row = selectedRow();
  if (row < 0) return;
  const auto result = editor_->deleteRow(row);
  reload();
  showResult(result);
}

void DedicatedSourcesSection::showResult(const DedicatedSourcesEditor::Result& result) {
  if (result.kind == DedicatedSourcesEditor::Result::Refused) showStatus(result.reason);
}
