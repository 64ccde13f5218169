#include "app/plugins/manager/BankPlugin.h"

#include "framework/controls/QKButton.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKScrollView.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

#include <cmath>

namespace {

QKButton* makeButton(const QString& title, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(0);
  button->setFixedHeight(16);
  return button;
}

}  // namespace

BankPlugin::BankPlugin(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID) {}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> BankPlugin::buildBankWindow(QObject* owner, const QRectF& frame) {
  auto* self = qobject_cast<BankPlugin*>(owner);
  auto window = std::make_unique<QKWindow>(frame);
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  self->scrollView_ = new QKScrollView;
  self->documentView_ = new QWidget;
  self->scrollView_->setWidget(self->documentView_);
  self->scrollView_->setWidgetResizable(false);
  self->scrollView_->viewport()->installEventFilter(self);
  column->addWidget(self->scrollView_, 1);
  self->optionsButton_ = makeButton(QStringLiteral("Options"), body);
  column->addWidget(self->optionsButton_);
  self->buildOptionsPanel(body);
  body->installEventFilter(self);
  return window;
}

void BankPlugin::buildOptionsPanel(QWidget* body) {
  optionsPanel_ = new BlackTranslucentPanel(body);
  optionsPanel_->hide();
  auto* column = new QVBoxLayout(optionsPanel_);
  column->setContentsMargins(6, 6, 6, 6);
  buildSheetRows(column);
  listView_ = new QKNSTableView;
  listView_->setModel(listModel());
  listView_->verticalHeader()->hide();
  listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  column->addWidget(listView_, 1);
  auto* buttons = new QHBoxLayout;
  createButton_ = makeButton(QStringLiteral("+"), optionsPanel_);
  deleteButton_ = makeButton(QStringLiteral("-"), optionsPanel_);
  doneButton_ = makeButton(QStringLiteral("Done"), optionsPanel_);
  for (QKButton* button : {createButton_, deleteButton_, doneButton_}) buttons->addWidget(button);
  column->addLayout(buttons);

  bind(optionsButton_, [this] { showOptionsPanel(); });
  bind(doneButton_, [this] { closeOptionsPanel(); });
  bind(createButton_, [this] { addFromSheet(); });
  bind(deleteButton_, [this] { deleteRows(selectedRows()); });
}

void BankPlugin::bind(QKButton* button, std::function<void()> action) {
  button->setTarget(alive_);
  button->setAction([action = std::move(action)](QKButtonCell&) { action(); });
}

void BankPlugin::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!documentView_) return;
  for (const char* name : {"QKPMRestoreStartNotification", "QKPluginDeletedNotification"})
    observers_.observe(QString::fromLatin1(name), nullptr,
                       [this](const Notification&) { closeOptionsPanel(); });
}

bool BankPlugin::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    if (scrollView_ && watched == scrollView_->viewport()) resetPositions();
    if (optionsPanel_ && watched == optionsPanel_->parentWidget() && optionsPanel_->isVisible())
      placeOptionsPanel();
  }
  return QKPlugin::eventFilter(watched, event);
}

// --- Options sheet -------------------------------------------------------------------------

void BankPlugin::showOptionsPanel() {
  if (!optionsPanel_) return;
  placeOptionsPanel();
  reloadList();
  optionsPanel_->show();
  optionsPanel_->raise();
}

// The sheet is a window of its own over the palette's body.
void BankPlugin::placeOptionsPanel() {
  QWidget* body = optionsPanel_->parentWidget();
  optionsPanel_->setGeometry(QRect(body->mapToGlobal(QPoint(0, 0)), body->size()));
}

void BankPlugin::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->hide();
}

QList<int> BankPlugin::selectedRows() const {
  QList<int> rows;
  if (!listView_) return rows;
  for (const QModelIndex& index : listView_->selectionModel()->selectedRows()) rows << index.row();
  return rows;
}

// --- Names and snapshots -------------------------------------------------------------------

std::optional<long long> BankPlugin::wholeNumber(const QVariant& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  const bool numeric = value.typeId() != QMetaType::QString && value.typeId() != QMetaType::Bool;
  if (!ok || !numeric || number != std::floor(number) || std::abs(number) > 1e9) return {};
  return static_cast<long long>(number);
}

QString BankPlugin::lowestFreeName(const std::function<bool(const QString&)>& taken) {
  for (long n = 1;; ++n) {
    const QString candidate = QString::number(n);
    if (!taken(candidate)) return candidate;
  }
}

bool BankPlugin::isSoundName(const QString& name) {
  return !name.isEmpty() && !name.contains(QLatin1Char('/'));
}

void BankPlugin::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  for (QKButton* button : {optionsButton_, doneButton_, createButton_, deleteButton_})
    if (button) button->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}
