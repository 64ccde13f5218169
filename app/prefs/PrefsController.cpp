#include "app/prefs/PrefsController.h"

#include "app/prefs/CompositorPrefsController.h"
#include "app/prefs/CustomPathsPrefsController.h"
#include "app/prefs/EasterEggTableView.h"
#include "app/prefs/FXPrefsController.h"
#include "app/prefs/FileLoadingPrefsController.h"
#include "app/prefs/MovieSourcePrefsController.h"
#include "app/prefs/SliderPrefsController.h"
#include "app/prefs/PrefsHost.h"
#include "app/prefs/PrefsListController.h"
#include "app/shell/ColorInterfaceManager.h"
#include "app/shell/MIDIPrefsController.h"
#include "app/shell/OSCPrefsController.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kColorsTimerMs = 2000;

}  // namespace

PrefsController::PrefsController(PrefsHost* host, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host) {
  setWindowTitle(QStringLiteral("Preferences"));
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QHBoxLayout(this);
  tableView_ = new EasterEggTableView(this);
  listController_ = new PrefsListController(tableView_, this);
  tableView_->setModel(listController_);
  tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
  tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tableView_->horizontalHeader()->hide();
  tableView_->horizontalHeader()->setStretchLastSection(true);
  tableView_->verticalHeader()->hide();
  tableView_->setShowGrid(false);
  tableView_->setFixedWidth(130);
  connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { listController_->tableViewSelectionDidChange(); });
  containerView_ = new QWidget(this);
  containerView_->setObjectName(QStringLiteral("containerView"));
  containerView_->setMinimumSize(322, 320);
  containerLayout_ = new QVBoxLayout(containerView_);
  containerLayout_->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tableView_);
  layout->addWidget(containerView_, 1);
  shelf_ = new QWidget(this);
  shelf_->hide();
  buildPanes();
  tableView_->selectRow(kFileLoadingRow);
  resize(620, 440);
}

PrefsController::~PrefsController() = default;

// The panes ZAPH has.
void PrefsController::buildPanes() {
  fileLoading_ = new FileLoadingPrefsController(this);
  setPane(kFileLoadingRow, fileLoading_, {[pane = fileLoading_] { pane->awakeFromNib(); }, {}});
  fx_ = new FXPrefsController(this);
  setPane(kFXSettingsRow, fx_, {[pane = fx_] { pane->awakeFromNib(); }, {}});
  // MIDI and OSC restore their dedications and the OSC ports when they wake.
  midi_ = new MIDIPrefsController(this);
  setPane(kMIDIRow, midi_,
          {[this, pane = midi_] {
             if (pane) pane->awakeFromNib(host_->midiManager(), host_->dataSourceController());
           },
           [pane = midi_] {
             if (pane) pane->stopDetecting();
           }});
  osc_ = new OSCPrefsController(this);
  setPane(kOSCRow, osc_,
          {[this, pane = osc_] {
             if (pane) pane->awakeFromNib(host_->oscManager(), host_->dataSourceController());
           },
           [pane = osc_] {
             if (pane) pane->stopDetecting();
           }});
  compositor_ = new CompositorPrefsController(this);
  setPane(kOutputRow, compositor_, {[pane = compositor_] { pane->awakeFromNib(); }, {}});
  sliders_ = new SliderPrefsController(this);
  setPane(kSlidersRow, sliders_, {[pane = sliders_] { pane->awakeFromNib(); }, {}});
  customPaths_ = new CustomPathsPrefsController(this);
  setPane(kUserPathsRow, customPaths_, {[pane = customPaths_] { pane->awakeFromNib(); }, {}});
  colors_ = new ColorInterfaceManager;
  setPane(kColorsRow, colors_->userView(),
          {[editor = colors_] {
             // The managers answer the finder notifications once the
             // palettes are up; then the themes are listed.
             QTimer::singleShot(kColorsTimerMs, editor, [editor] { editor->pushAllColorsToUI(); });
             QTimer::singleShot(kColorsTimerMs, editor,
                                [editor] { editor->populateThemePopUpButton(); });
           },
           {}});
  setAlternatePaneView(kColorsRow, colors_);
  movieSource_ = new MovieSourcePrefsController;
  setPane(kMoviePlaybackRow, movieSource_, {[pane = movieSource_] { pane->awakeFromNib(); }, {}});
}

FileLoadingPrefsController* PrefsController::fileLoadingPrefs() const { return fileLoading_; }
FXPrefsController* PrefsController::fxPrefs() const { return fx_; }
MIDIPrefsController* PrefsController::midiPrefs() const { return midi_; }
OSCPrefsController* PrefsController::oscPrefs() const { return osc_; }
CompositorPrefsController* PrefsController::compositorPrefs() const { return compositor_; }
SliderPrefsController* PrefsController::sliderPrefs() const { return sliders_; }
CustomPathsPrefsController* PrefsController::customPathsPrefs() const { return customPaths_; }
MovieSourcePrefsController* PrefsController::movieSourcePrefs() const { return movieSource_; }
ColorInterfaceManager* PrefsController::colorInterfaceManager() const { return colors_; }

void PrefsController::adopt(QWidget* view) {
  view->hide();
  view->setParent(shelf_);
}

void PrefsController::setPane(int row, QWidget* view, PaneHooks hooks) {
  if (row < 0 || row >= kRowCount) return;
  Pane& pane = panes_[row];
  const bool shown = row == shownRow_;
  if (shown) emptyContainer();
  if (pane.view && pane.view != view && pane.view != pane.alternateView) delete pane.view.data();
  pane.view = view;
  pane.hooks = std::move(hooks);
  if (view) adopt(view);
  if (shown) displayPrefsForIndex(row);
}

void PrefsController::setAlternatePaneView(int row, QWidget* view) {
  if (row < 0 || row >= kRowCount) return;
  Pane& pane = panes_[row];
  if (pane.alternateView && pane.alternateView != view && pane.alternateView != pane.view)
    delete pane.alternateView.data();
  pane.alternateView = view;
  if (view) adopt(view);
}

QWidget* PrefsController::paneView(int row) const {
  return row >= 0 && row < kRowCount ? panes_[row].view.data() : nullptr;
}

QWidget* PrefsController::alternatePaneView(int row) const {
  return row >= 0 && row < kRowCount ? panes_[row].alternateView.data() : nullptr;
}

void PrefsController::awakePanes() {
  for (const Pane& pane : panes_)
    if (pane.hooks.awake) pane.hooks.awake();
}

void PrefsController::showPane(int row) {
  if (row >= 0 && row < kRowCount) tableView_->selectRow(row);
  show();
  raise();
  activateWindow();
}

QWidget* PrefsController::viewForRow(int row) const {
  if (row < 0 || row >= kRowCount) return nullptr;
  const Pane& pane = panes_[row];
  if (row == kColorsRow && tableView_->modifiersOnClick().testFlag(Qt::AltModifier))
    return pane.alternateView;
  return pane.view;
}

void PrefsController::emptyContainer() {
  while (QLayoutItem* item = containerLayout_->takeAt(0)) {
    if (QWidget* view = item->widget()) adopt(view);
    delete item;
  }
  shownRow_ = -1;
}

void PrefsController::displayPrefsForIndex(int row) {
  emptyContainer();
  QWidget* view = viewForRow(row);
  if (!view) return;
  view->setParent(containerView_);
  containerLayout_->addWidget(view);
  view->show();
  shownRow_ = row;
}

QWidget* PrefsController::shownPane() const {
  QLayoutItem* item = containerLayout_->itemAt(0);
  return item ? item->widget() : nullptr;
}

bool PrefsController::windowShouldClose() {
  for (const Pane& pane : panes_)
    if (pane.hooks.windowClosing) pane.hooks.windowClosing();
  return true;
}

void PrefsController::closeEvent(QCloseEvent* event) {
  if (windowShouldClose())
    event->accept();
  else
    event->ignore();
}
