#include "app/mediabin/MediaBinWindowBuilder.h"

#include "app/mediabin/MBContextualMenuController.h"
#include "app/mediabin/MBFileGridView.h"
#include "framework/datasource/AppControllerInterface.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MBLayerQueueHost.h"
#include "framework/media/QKMediaBinHost.h"
#include "app/mediabin/MBLayerQueueHostSource.h"
#include "app/mediabin/MBLayerTableView.h"
#include "app/mediabin/MBPageTabsView.h"
#include "app/mediabin/MBQuantizePicker.h"
#include "app/mediabin/MBTOCController.h"
#include "app/mediabin/MBTOCTableView.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "app/mediabin/MBViewsController.h"
#include "app/mediabin/MediaBin.h"
#include "framework/controls/QKButton.h"
#include "framework/splitview/QKTQSplitView.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QKButton* makeButton(const QString& title, int type, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setMinimumHeight(18);
  return button;
}

// A click runs `action` on the main thread while `alive` lives.
void wire(QKButton* button, const std::shared_ptr<int>& alive, std::function<void(int)> action) {
  button->setTarget(alive);
  button->setTriggerOnMain(true);
  button->setAction([action](QKButtonCell& cell) { action(cell.intValue()); });
  button->awakeFromNib();
}

QLabel* makeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet(QStringLiteral("color: #c8c8c8;"));
  return label;
}

QImage icon(const std::function<void(QPainter&)>& draw) {
  QImage image(80, 60, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  return image;
}

// The options sheet: learning, the mapping and display options, and the
// listeners' table (Delete removes the selected rows).
class ListenerTableDelete : public ActiveDeleteDelegate {
 public:
  ListenerTableDelete(ActiveDeleteTableView* table, MBTriggerListenersController* listeners)
      : table_(table), listeners_(listeners) {}
  void deleteKeyPressed() override {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
      rows.insert(index.row());
    listeners_->removeItemsAtIndexes(rows);
  }

 private:
  ActiveDeleteTableView* table_;
  MBTriggerListenersController* listeners_;
};

}  // namespace

QImage MediaBinWindowBuilder::folderIcon() {
  return icon([](QPainter& p) {
    p.setBrush(QColor(120, 150, 200));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(8, 14, 28, 10), 3, 3);
    p.drawRoundedRect(QRectF(8, 18, 64, 36), 4, 4);
  });
}

QImage MediaBinWindowBuilder::textFileIcon() {
  return icon([](QPainter& p) {
    p.setBrush(QColor(235, 235, 225));
    p.setPen(QColor(120, 120, 120));
    p.drawRect(QRectF(24, 6, 32, 48));
    for (int y = 14; y < 50; y += 6) p.drawLine(QPointF(29, y), QPointF(51, y));
  });
}

QImage MediaBinWindowBuilder::urlFileIcon() {
  return icon([](QPainter& p) {
    p.setPen(QPen(QColor(90, 160, 220), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(40, 30), 22, 22);
    p.drawEllipse(QPointF(40, 30), 10, 22);
    p.drawLine(QPointF(18, 30), QPointF(62, 30));
  });
}

QImage MediaBinWindowBuilder::missingFileImage() {
  return icon([](QPainter& p) {
    p.fillRect(QRectF(0, 0, 80, 60), QColor(60, 20, 20));
    p.setPen(QPen(QColor(230, 70, 60), 5));
    p.drawLine(QPointF(25, 15), QPointF(55, 45));
    p.drawLine(QPointF(55, 15), QPointF(25, 45));
  });
}

std::unique_ptr<QWidget> MediaBinWindowBuilder::build(MediaBin* bin) {
  auto window = std::make_unique<QKWindow>(QRectF(240, 160, 760, 540));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setMinSize(MediaBin::kMinimumSize);
  if (!bin) return window;
  if (!bin->pages_) {
    Log::line(QStringLiteral("\t\terr: media bin without pages: the application has none"));
    return window;
  }
  auto* source = dynamic_cast<MBLayerQueueHostSource*>(bin->appController());
  if (source) bin->queueHost_ = source->makeLayerQueueHost();
  if (!bin->queueHost_) {
    Log::line(QStringLiteral("\t\terr: media bin without layers: the application has none"));
    return window;
  }
  const std::shared_ptr<int> alive = bin->actions_;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  // The split panes take every press: the resize corner keeps its own strip.
  column->setContentsMargins(2, 2, 2, PaletteGeometry::kResizeCornerRoom);
  column->setSpacing(2);

  // --- The models ---
  bin->layerController_ =
      std::make_unique<MBLayerController>(bin->queueHost_.get(), bin->uniqueID());
  bin->listeners_ =
      std::make_unique<MBTriggerListenersController>(bin, bin->layerController_.get());
  MBLayerController* queue = bin->layerController_.get();
  MBTriggerListenersController* listeners = bin->listeners_.get();

  // --- Tool bar ---
  auto* bar = new QHBoxLayout;
  QKButton* openOptions = makeButton(QStringLiteral("Options"), 0, body);
  bar->addWidget(openOptions);
  bin->autoClosePagesButton_ = new QCheckBox(QStringLiteral("Auto-close pages"), body);
  bar->addWidget(bin->autoClosePagesButton_);
  QKButton* record = makeButton(QStringLiteral("REC"), 0, body);
  bar->addWidget(record);
  QLabel* nextLayerLabel = makeLabel(QStringLiteral("Next layer:"), body);
  auto* nextLayer = new QKNSPopUpButton(body);
  nextLayer->setMinimumWidth(90);
  bar->addWidget(nextLayerLabel);
  bar->addWidget(nextLayer);
  bar->addStretch(1);
  bar->addWidget(makeLabel(QStringLiteral("Trigger:"), body));
  bin->quantizePicker_ = new MBQuantizePicker(body);
  bin->quantizePicker_->setMinimumWidth(120);
  bar->addWidget(bin->quantizePicker_);
  QKButton* manualTrigger = makeButton(QStringLiteral("Go"), 0, body);
  bar->addWidget(manualTrigger);
  column->addLayout(bar);

  // --- Splits: contents | (pages / layer queue) ---
  QImage divider(6, 6, QImage::Format_ARGB32_Premultiplied);
  divider.fill(QColor(70, 70, 70));
  auto* leftRight = new QKTQSplitView(QRectF(0, 0, 752, 470), body);
  leftRight->setVertical(true);
  leftRight->setDivider(divider);
  leftRight->setUseCustomDividerColor(true);
  bin->leftRightSplitView_ = leftRight;
  auto* toc = new QWidget;
  toc->setGeometry(0, 0, 110, 470);
  auto* tocColumn = new QVBoxLayout(toc);
  tocColumn->setContentsMargins(2, 2, 2, 2);
  auto* tocTable = new MBTOCTableView(toc);
  tocColumn->addWidget(tocTable, 1);
  auto* tocButtons = new QHBoxLayout;
  QKButton* addPage = makeButton(QStringLiteral("+"), 0, toc);
  QKButton* removePage = makeButton(QStringLiteral("-"), 0, toc);
  tocButtons->addWidget(addPage);
  tocButtons->addWidget(removePage);
  tocButtons->addStretch(1);
  tocColumn->addLayout(tocButtons);
  TQSplitSubview* tocPane = leftRight->addSubview(toc);
  tocPane->setCanCollapse(true);
  auto* topBottom = new QKTQSplitView(QRectF(0, 0, 636, 470));
  topBottom->setDivider(divider);
  topBottom->setUseCustomDividerColor(true);
  bin->topBottomSplitView_ = topBottom;
  leftRight->addSubview(topBottom);

  auto* pagesPane = new QWidget;
  pagesPane->setGeometry(0, 0, 636, 320);
  auto* pagesColumn = new QVBoxLayout(pagesPane);
  pagesColumn->setContentsMargins(0, 0, 0, 0);
  pagesColumn->setSpacing(2);
  bin->pageTabsView_ = new MBPageTabsView(bin, listeners, pagesPane);
  bin->pageTabsView_->setFixedHeight(22);
  pagesColumn->addWidget(bin->pageTabsView_);
  auto* commands = new QHBoxLayout;
  listeners->makeCommandButtons(pagesPane);
  for (int i = 0; i < MBTriggerListenersController::kCommandCount; ++i)
    commands->addWidget(listeners->commandButton(MBTriggerListenersController::Command(i)));
  pagesColumn->addLayout(commands);
  auto* scroll = new QScrollArea(pagesPane);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  QPalette dark = scroll->palette();
  dark.setColor(QPalette::Window, QColor(28, 28, 28));
  scroll->setPalette(dark);
  scroll->viewport()->setPalette(dark);
  scroll->viewport()->setAutoFillBackground(true);
  bin->gridView_ = new MBFileGridView(bin, queue);
  scroll->setWidget(bin->gridView_);
  pagesColumn->addWidget(scroll, 1);
  topBottom->addSubview(pagesPane);

  auto* layerPane = new QWidget;
  layerPane->setGeometry(0, 0, 636, 144);
  auto* layerColumn = new QVBoxLayout(layerPane);
  layerColumn->setContentsMargins(0, 0, 0, 0);
  auto* table = new MBLayerTableView(layerPane);
  layerColumn->addWidget(table, 1);
  auto* layerRow = new QHBoxLayout;
  auto* cycleMode = new QKNSPopUpButton(layerPane);
  cycleMode->setMinimumWidth(80);
  QKButton* prevRow = makeButton(QStringLiteral("Prev"), 0, layerPane);
  QKButton* nextRow = makeButton(QStringLiteral("Next"), 0, layerPane);
  QKButton* randRow = makeButton(QStringLiteral("Rand"), 0, layerPane);
  auto* autoSwitch = new QCheckBox(QStringLiteral("Switch layer tabs"), layerPane);
  layerRow->addWidget(cycleMode);
  layerRow->addWidget(prevRow);
  layerRow->addWidget(nextRow);
  layerRow->addWidget(randRow);
  layerRow->addWidget(autoSwitch);
  layerRow->addStretch(1);
  layerColumn->addLayout(layerRow);
  TQSplitSubview* layerSubview = topBottom->addSubview(layerPane);
  layerSubview->setCanCollapse(true);
  column->addWidget(leftRight, 1);
  leftRight->adjustSubviews();

  // --- Options sheet ---
  auto* sheet = new QDialog(window.get());
  sheet->setWindowTitle(QStringLiteral("Trigger Listeners"));
  auto* grid = new QGridLayout(sheet);
  QKButton* detect = makeButton(QStringLiteral("Detect"), 1, sheet);
  QKButton* range = makeButton(QStringLiteral("MIDI Range"), 0, sheet);
  QKButton* clearAll = makeButton(QStringLiteral("Clear All"), 0, sheet);
  QLabel* rangeLabel = makeLabel(QStringLiteral("note / ch."), sheet);
  auto* noteField = new QLineEdit(sheet);
  auto* channelField = new QLineEdit(QStringLiteral("1"), sheet);
  QLabel* instructions = makeLabel(MBTriggerListenersController::kIdleInstructions, sheet);
  auto* eject = new QCheckBox(QStringLiteral("Eject on note off"), sheet);
  QKButton* filesOnly = makeButton(QStringLiteral("Files only"), 1, sheet);
  auto* notesDisplay = new QCheckBox(QStringLiteral("Note numbers"), sheet);
  auto* showNames = new QCheckBox(QStringLiteral("Show shortcut names"), sheet);
  auto* columns = new QSlider(Qt::Horizontal, sheet);
  columns->setRange(1, 16);
  auto* listenerTable = new ActiveDeleteTableView(sheet);
  listenerTable->setModel(listeners);
  listenerTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  listenerTable->horizontalHeader()->setStretchLastSection(true);
  auto* deleter = new ListenerTableDelete(listenerTable, listeners);
  QObject::connect(listenerTable, &QObject::destroyed, [deleter] { delete deleter; });
  listenerTable->setDeleteDelegate(deleter);
  QKButton* close = makeButton(QStringLiteral("Close"), 0, sheet);
  grid->addWidget(detect, 0, 0);
  grid->addWidget(range, 0, 1);
  grid->addWidget(clearAll, 0, 2);
  grid->addWidget(rangeLabel, 1, 0);
  grid->addWidget(noteField, 1, 1);
  grid->addWidget(channelField, 1, 2);
  grid->addWidget(instructions, 2, 0, 1, 3);
  grid->addWidget(eject, 3, 0);
  grid->addWidget(filesOnly, 3, 1);
  grid->addWidget(notesDisplay, 3, 2);
  grid->addWidget(showNames, 4, 0);
  grid->addWidget(makeLabel(QStringLiteral("Columns"), sheet), 4, 1);
  grid->addWidget(columns, 4, 2);
  grid->addWidget(listenerTable, 5, 0, 1, 3);
  grid->addWidget(close, 6, 2);

  // --- Views controller ---
  MBViewsController::Outlets outlets;
  outlets.window = window.get();
  outlets.gridView = bin->gridView_;
  outlets.listeners = listeners;
  outlets.recordIndicatorButton = record;
  outlets.continuousDetectButton = detect;
  outlets.openOptionsPanelButton = openOptions;
  outlets.closeOptionsPanelButton = close;
  outlets.optionsPanel = sheet;
  outlets.leftRightSplitView = leftRight;
  outlets.topBottomSplitView = topBottom;
  outlets.layerSubview = layerSubview;
  outlets.nextLayerPopUpButton = nextLayer;
  outlets.nextLayerLabel = nextLayerLabel;
  bin->viewsController_ = std::make_unique<MBViewsController>(outlets);
  MBViewsController* views = bin->viewsController_.get();
  if (QKMediaBinHost* host = bin->host_)
    views->setStopRecording([host] { host->stopRecordingFromExternalSource(); });

  // --- Connections ---
  queue->setTableView(table);
  queue->setQuantizePicker(bin->quantizePicker_);
  queue->setNextLayerPopUpButton(nextLayer);
  queue->setCycleModeButton(cycleMode);
  queue->setAutoSwitchLayerTabsToggle(autoSwitch);
  queue->setNotesDisplayModeToggle(notesDisplay);
  queue->setRowButtons(prevRow, nextRow, randRow);
  bin->quantizePicker_->setLayerSet(bin->queueHost_.get());
  bin->quantizePicker_->setQueue(queue);
  bin->quantizePicker_->setManualTriggerButton(manualTrigger);
  listeners->setGridView(bin->gridView_);
  bin->menuController_ = std::make_unique<MBContextualMenuController>();
  MBTOCController::Outlets tocOutlets;
  tocOutlets.mediaBin = bin;
  tocOutlets.pageTabsView = bin->pageTabsView_;
  tocOutlets.triggerListenerController = listeners;
  tocOutlets.tocTableView = tocTable;
  tocOutlets.addPageButton = addPage;
  tocOutlets.removePageButton = removePage;
  bin->tocController_ = std::make_unique<MBTOCController>(tocOutlets);
  bin->gridView_->setMenuController(bin->menuController_.get());
  MBFileGridView* gridView = bin->gridView_;
  QObject::connect(bin->autoClosePagesButton_, &QCheckBox::toggled, gridView, [gridView](bool on) {
    gridView->setAutoClosePages(on);
    gridView->recomputeSize();
    gridView->update();
  });
  wire(openOptions, alive, [views](int) { views->openOptionsPanelButtonUsed(); });
  wire(close, alive, [views](int) { views->closeOptionsPanelButtonUsed(); });
  wire(record, alive, [views](int) { views->recordIndicatorButtonUsed(); });
  wire(detect, alive, [listeners](int value) { listeners->continuousDetectButtonUsed(value); });
  wire(range, alive, [listeners](int) { listeners->autoMidiRangeSetupButtonUsed(); });
  wire(clearAll, alive, [listeners](int) { listeners->clearAllShortcuts(); });
  wire(filesOnly, alive, [listeners](int value) { listeners->setFilesOnly(value != 0); });
  auto typed = [listeners, noteField, channelField] {
    listeners->midiRangeTextFieldUsed(noteField->text(), channelField->text());
  };
  QObject::connect(noteField, &QLineEdit::returnPressed, listeners, typed);
  QObject::connect(channelField, &QLineEdit::returnPressed, listeners, typed);
  QObject::connect(eject, &QCheckBox::clicked, listeners,
                   [listeners](bool on) { listeners->setEjectOnNoteOff(on ? 1 : 0); });
  QObject::connect(notesDisplay, &QCheckBox::clicked, listeners,
                   [listeners](bool on) { listeners->setNotesDisplayMode(on ? 1 : 0); });
  QObject::connect(showNames, &QCheckBox::clicked, listeners,
                   [listeners](bool on) { listeners->setShowShortcutNames(on); });
  QObject::connect(columns, &QSlider::valueChanged, listeners,
                   [listeners](int value) { listeners->setGridColumns(value); });
  auto showOptions = [=] {
    eject->setChecked(listeners->ejectOnNoteOff() == 1);
    filesOnly->setIntValue(listeners->filesOnly() ? 1 : 0, false);
    notesDisplay->setChecked(listeners->notesDisplayMode() != 0);
    showNames->setChecked(
        gridView->createSnapshot().value(QStringLiteral("showShortcutNamesButton"), true).toBool());
    const QSignalBlocker block(columns);
    columns->setValue(gridView->numberOfColumns());
  };
  auto showLearning = [=] {
    instructions->setText(listeners->instructions());
    for (QWidget* field : {static_cast<QWidget*>(rangeLabel), static_cast<QWidget*>(noteField),
                           static_cast<QWidget*>(channelField)})
      field->setVisible(listeners->rangeFieldsShown());
    detect->setIntValue(listeners->continuousDetectSetup() ? 1 : 0, false);
  };
  QObject::connect(listeners, &MBTriggerListenersController::optionsChanged, sheet, showOptions);
  QObject::connect(listeners, &MBTriggerListenersController::learningChanged, sheet, showLearning);
  QObject::connect(sheet, &QDialog::finished, sheet, [views](int) {
    if (views->optionsPanelOpen()) views->closeOptionsPanelButtonUsed();
  });
  showOptions();
  showLearning();
  return window;
}

void MediaBinWindowBuilder::wake(MediaBin& bin) {
  if (bin.layerController_) bin.layerController_->awakeFromNib();
  if (bin.quantizePicker_) bin.quantizePicker_->awakeFromNib();
  if (bin.pageTabsView_) bin.pageTabsView_->awakeFromNib();
  if (bin.viewsController_) bin.viewsController_->awakeFromNib();
  if (bin.menuController_) bin.menuController_->awakeFromNib(bin.gridView_);
  if (bin.tocController_) bin.tocController_->awakeFromNib();
  if (bin.gridView_) bin.gridView_->recomputeSize();
}
