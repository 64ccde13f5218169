#include "app/mediabin/MBContextualMenuController.h"

#include "app/mediabin/MBFileGridView.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

const QString MBContextualMenuController::kAllInputsTitle = QStringLiteral("<all>");
const QString MBContextualMenuController::kNoInputHintTitle =
    QStringLiteral("first add an input in live input manager window");

namespace {

// Menu titles treat "&" as a mnemonic mark; tap names are shown as typed.
QString shown(const QString& text) {
  QString escaped = text;
  return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString titleOf(const QKTapMenuItem& item) {
  if (item.isNone()) return QKTapManager::kNoneTitle;
  return QString(4 * std::max(0, item.indentation), QLatin1Char(' ')) + shown(item.tapName);
}

// The grid reads the cell's new entry name from the item's data.
QString nameOf(const QKTapMenuItem& item) {
  return item.isNone() ? QKTapManager::kNoneTitle : item.tapName;
}

}  // namespace

MBContextualMenuController::MBContextualMenuController(QObject* parent) : QObject(parent) {}

MBContextualMenuController::~MBContextualMenuController() = default;

void MBContextualMenuController::awakeFromNib(MBFileGridView* grid) {
  grid_ = grid;
  const auto aim = [this](QMenu* menu, const QString& title, void (MBFileGridView::*action)()) {
    QAction* item = menu->addAction(title);
    connect(item, &QAction::triggered, this, [this, action] {
      if (grid_) (grid_->*action)();
    });
    return item;
  };
  loadedCellMenu_ = std::make_unique<QMenu>();
  aim(loadedCellMenu_.get(), QStringLiteral("Trigger"), &MBFileGridView::triggerSelectedFiles);
  aim(loadedCellMenu_.get(), QStringLiteral("Group Selection on New Page"),
      &MBFileGridView::groupSelectionOnNewPage);
  loadedCellMenu_->addSeparator();
  aim(loadedCellMenu_.get(), QStringLiteral("Close All Gaps on Page"),
      &MBFileGridView::closeAllGapsOnPage);
  loadedCellMenu_->addSeparator();
  aim(loadedCellMenu_.get(), QStringLiteral("Delete"), &MBFileGridView::deleteSelectedFiles);

  emptyCellMenu_ = std::make_unique<QMenu>();
  aim(emptyCellMenu_.get(), QStringLiteral("Load Files…"),
      &MBFileGridView::loadFilesToPageWithSheet);
  aim(emptyCellMenu_.get(), QStringLiteral("Add Text File"),
      &MBFileGridView::addEmptyTextFileMenuItemSelected);
  aim(emptyCellMenu_.get(), QStringLiteral("Add Web Address"),
      &MBFileGridView::addURLFileMenuItemSelected);
  emptyCellMenu_->addSeparator();
  thumbnailVideoInputMenu_ = emptyCellMenu_->addAction(QStringLiteral("Add Live Input"));
  thumbnailTapMenu_ = emptyCellMenu_->addAction(QStringLiteral("Add Layer Tap"));
  thumbnailRecordVideoInputMenu_ = emptyCellMenu_->addAction(QStringLiteral("Record Live Input"));
  emptyCellMenu_->addSeparator();
  aim(emptyCellMenu_.get(), QStringLiteral("Close Gap"), &MBFileGridView::closeGapAtClickLocation);
  aim(emptyCellMenu_.get(), QStringLiteral("Close All Gaps on Page"),
      &MBFileGridView::closeAllGapsOnPage);

  QKTapManager::announce(this);
  reloadAvailableTapsMethod();
}

void MBContextualMenuController::prepareToBeDeleted() {
  grid_ = nullptr;
  link_.reset();
}

void MBContextualMenuController::setTapManager(QKTapManager* manager) {
  link_ = manager ? manager->link() : nullptr;
}

QKTapManager* MBContextualMenuController::tapManager() const {
  if (!link_) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return link_->manager;
}

QKTapManager::Menu MBContextualMenuController::copyOf(QKTapManager::Menu (QKTapManager::*menu)()
                                                          const) const {
  if (!link_) return {};
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return link_->manager ? (link_->manager->*menu)() : QKTapManager::Menu{};
}

void MBContextualMenuController::reloadAvailableTapsMethod() {
  if (!emptyCellMenu_) return;
  const QKTapManager::Menu layers = copyOf(&QKTapManager::sortedLayerSTapMenu);
  const QKTapManager::Menu inputs = copyOf(&QKTapManager::sortedInputSTapMenu);
  QMenu* tapMenu =
      makeSubmenu(layers.empty() ? QKTapManager::Menu{QKTapMenuItem{}} : layers, false, false);
  QMenu* liveMenu = makeSubmenu(inputs, true, false);
  QMenu* recordMenu = makeSubmenu(inputs, true, true);
  hang(thumbnailVideoInputMenu_, localThumbnailLiveMenu_, liveMenu);
  hang(thumbnailTapMenu_, localThumbnailTapMenu_, tapMenu);
  hang(thumbnailRecordVideoInputMenu_, localThumbnailRecordMenu_, recordMenu);
}

QMenu* MBContextualMenuController::makeSubmenu(const QKTapManager::Menu& items, bool dropFirst,
                                               bool record) {
  auto* menu = new QMenu;
  const QFont font = QKTapManager::fontAttribs();
  const auto add = [&](const QString& title, const QString& name) {
    QAction* item = menu->addAction(title);
    item->setData(name);
    item->setFont(font);
    connect(item, &QAction::triggered, this, [this, name, record] {
      if (!grid_) return;
      if (record)
        grid_->recordVideoInputSelected(name);
      else
        grid_->addTapMenuItemSelected(name);
    });
  };
  const size_t first = dropFirst && !items.empty() ? 1 : 0;
  if (record && items.size() - first > 1) add(kAllInputsTitle, kAllInputsTitle);
  for (size_t i = first; i < items.size(); ++i) add(titleOf(items[i]), nameOf(items[i]));
  if (menu->isEmpty() && dropFirst) {
    QAction* hint = menu->addAction(kNoInputHintTitle);
    hint->setFont(font);
    hint->setEnabled(false);
  }
  return menu;
}

// The carrier's menu owns the new submenu; the one it replaces goes.
void MBContextualMenuController::hang(QAction* carrier, QMenu*& field, QMenu* submenu) {
  submenu->setParent(qobject_cast<QWidget*>(carrier->parent()), submenu->windowFlags());
  carrier->setMenu(submenu);
  delete field;
  field = submenu;
}
