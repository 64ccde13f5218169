#include "app/shell/MissingFilesSearch.h"

#include "app/shell/PMMissingFilesController.h"
#include "app/shell/PMMissingFilesHost.h"
#include "framework/media/QKFile.h"
#include "platform/foundation/Log.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kCutShort = QStringLiteral(" (search cut short)");

void removeFrom(MissingFilesSearch::Files& queue, const std::shared_ptr<QKFile>& file) {
  std::erase(queue, file);
}

QString storedPath(const QVariantMap& snapshot) {
  const QString full = snapshot.value(QStringLiteral("fullPath")).toString();
  return full.isEmpty() ? snapshot.value(QStringLiteral("originalPath")).toString() : full;
}

// Puts `button` right after `label` in the layout that holds it.
bool insertBeside(QLayout* layout, QWidget* label, QWidget* button) {
  if (!layout) return false;
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (item->widget() == label) {
      if (auto* box = qobject_cast<QBoxLayout*>(layout)) {
        box->insertWidget(i + 1, button);
        return true;
      }
      layout->addWidget(button);
      return true;
    }
    if (insertBeside(item->layout(), label, button)) return true;
  }
  return false;
}

}  // namespace

MissingFilesSearch::MissingFilesSearch(Host host, EngineFactory makeEngine, QObject* parent)
    : QObject(parent), host_(std::move(host)), makeEngine_(std::move(makeEngine)) {
  if (!host_.isMissing) host_.isMissing = [](const QKFile& file) { return !file.validFile(); };
  if (!makeEngine_) makeEngine_ = fileSearchEngines(FileSearch::defaultOptions());
  buildPanel();
}

MissingFilesSearch::EngineFactory MissingFilesSearch::fileSearchEngines(
    FileSearch::Options options) {
  return [options] {
    auto search = std::make_shared<FileSearch>(options);
    return Engine{[search](const QString& name, FileSearch::Accept accept, FileSearch::Done done) {
                    search->search(name, std::move(accept), std::move(done));
                  },
                  [search] { search->stop(); }};
  };
}

MissingFilesSearch::~MissingFilesSearch() {
  ++generation_;
  if (engine_.stop) engine_.stop();
}

std::unique_ptr<MissingFilesSearch> MissingFilesSearch::attach(
    PMMissingFilesController& controller) {
  PMMissingFilesController* window = &controller;
  Host host;
  host.missingFiles = [window] { return window->host()->missingFileArray(); };
  host.snapshotOf = [window](const QKFile& file) {
    const auto& files = window->host()->missingFileArray();
    const QVariantList& snaps = window->host()->missingFileSnapArray();
    for (size_t i = 0; i < files.size(); ++i)
      if (files[i].get() == &file && qsizetype(i) < snaps.size())
        return snaps[qsizetype(i)].toMap();
    return QVariantMap();
  };
  host.queue = [window]() -> Files& { return window->spotlightSearchQueueArray(); };
  host.relink = [window](const std::shared_ptr<QKFile>& file, const QVariantMap& snapshot,
                         const QString& path) { window->relinkFile(file, snapshot, path); };
  host.update = [window] { window->update(); };
  host.setStatus = [window](const QString& text) {
    window->loadingDescriptionTextField()->setText(text);
  };
  host.hideMissingCount = [window] {
    window->missingFileTextField()->hide();
    window->missingFileCountTextField()->hide();
  };
  host.window = [window]() -> QWidget* { return window->panel(); };
  auto flow = std::make_unique<MissingFilesSearch>(std::move(host));
  MissingFilesSearch* self = flow.get();
  controller.setSearchHooks([self] { self->startSpotlightSearchForAllMissingFiles(); },
                            [self] { self->stopSearch(); });
  auto* stop = new QPushButton(QStringLiteral("Stop Search"), controller.panel());
  stop->setObjectName(QStringLiteral("stopSearchButton"));
  if (!insertBeside(controller.panel()->layout(), controller.loadingDescriptionTextField(), stop))
    controller.panel()->layout()->addWidget(stop);
  self->setStopButton(stop);
  return flow;
}

void MissingFilesSearch::setStopButton(QPushButton* button) {
  stopButton_ = button;
  button->setEnabled(searching_);
  connect(button, &QPushButton::clicked, this, [this] {
    stopSearch();
    host_.queue().clear();
  });
}

void MissingFilesSearch::buildPanel() {
  panel_ = std::make_unique<QDialog>();
  panel_->setObjectName(QStringLiteral("spotlightPanel"));
  panel_->setWindowTitle(QStringLiteral("Several Files Found"));
  auto* layout = new QVBoxLayout(panel_.get());
  targetLabel_ = new QLabel(panel_.get());
  targetLabel_->setObjectName(QStringLiteral("spotlightTargetFile"));
  QFont bold = targetLabel_->font();
  bold.setBold(true);
  targetLabel_->setFont(bold);
  layout->addWidget(new QLabel(QStringLiteral("Which of these files is"), panel_.get()));
  layout->addWidget(targetLabel_);
  cutShortLabel_ = new QLabel(
      QStringLiteral("The search was cut short: the file may be elsewhere too."), panel_.get());
  cutShortLabel_->hide();
  layout->addWidget(cutShortLabel_);
  table_ = new QTableView(panel_.get());
  table_->setObjectName(QStringLiteral("spotlightResultsTable"));
  model_ = new SearchResultsModel(table_);
  model_->setFont(table_->font());
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(SearchResultsModel::PathColumn, 420);
  table_->setMinimumSize(600, 180);
  connect(table_->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int section, int, int width) {
            if (section == SearchResultsModel::PathColumn) model_->setPathColumnWidth(float(width));
          });
  model_->setPathColumnWidth(420);
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex&) { relinkWithSelectedFileButtonUsed(); });
  layout->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  auto* skipAll = new QPushButton(QStringLiteral("Skip All"), panel_.get());
  auto* skip = new QPushButton(QStringLiteral("Skip"), panel_.get());
  relinkButton_ = new QPushButton(QStringLiteral("Relink"), panel_.get());
  relinkButton_->setDefault(true);
  skipAll->setObjectName(QStringLiteral("skipAllButton"));
  skip->setObjectName(QStringLiteral("skipButton"));
  relinkButton_->setObjectName(QStringLiteral("relinkButton"));
  buttons->addWidget(skipAll);
  buttons->addStretch(1);
  buttons->addWidget(skip);
  buttons->addWidget(relinkButton_);
  layout->addLayout(buttons);
  connect(skipAll, &QPushButton::clicked, this, &MissingFilesSearch::skipAllButtonUsed);
  connect(skip, &QPushButton::clicked, this, &MissingFilesSearch::skipButtonUsed);
  connect(relinkButton_, &QPushButton::clicked, this,
          &MissingFilesSearch::relinkWithSelectedFileButtonUsed);
  // Nothing relinks to no path: without a selected row the button waits.
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { relinkButton_->setEnabled(table_->selectionModel()->hasSelection()); });
  relinkButton_->setEnabled(false);
}

bool MissingFilesSearch::searchableName(const QString& name) {
  return !name.isEmpty() && !name.contains(u'/') && !name.contains(QChar(0));
}

bool MissingFilesSearch::isMailOrContact(const QString& path) {
  if (QFileInfo(path).suffix().compare(QStringLiteral("emlx"), Qt::CaseInsensitive) == 0)
    return true;
  static const QMimeDatabase database;
  const QMimeType type = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  for (const char* excluded : {"message/rfc822", "text/vcard", "text/x-vcard", "text/directory"})
    if (type.inherits(QString::fromLatin1(excluded))) return true;
  return false;
}

QString MissingFilesSearch::searchedName(const QKFile& file, const QVariantMap& snapshot) {
  QString path = file.fullPath();
  if (path.isEmpty()) path = storedPath(snapshot);
  if (!path.isEmpty()) return path.section(u'/', -1);
  return file.name();
}

void MissingFilesSearch::startSpotlightSearchForAllMissingFiles() {
  stopSearch();
  Files& queue = host_.queue();
  queue = host_.missingFiles();
  engine_ = makeEngine_();  // a fresh walk for each flow
  startNextSpotlightSearch();
}

// Files that cannot be searched, or that were found meanwhile, are passed
// over: the flow never rests on a queue head.
void MissingFilesSearch::startNextSpotlightSearch() {
  for (;;) {
    targetedFile_.reset();
    targetedSnap_.clear();
    Files& queue = host_.queue();
    if (queue.empty()) {
      setSearching(false);
      host_.setStatus(QStringLiteral(" "));
      host_.update();
      return;
    }
    std::shared_ptr<QKFile> head = queue.front();
    if (!head || !host_.isMissing(*head)) {
      queue.erase(queue.begin());
      continue;
    }
    targetedFile_ = head;
    targetedSnap_ = host_.snapshotOf(*head);
    const QString name = searchedName(*head, targetedSnap_);
    host_.hideMissingCount();
    if (!searchableName(name)) {
      host_.setStatus(QStringLiteral("%1 Not Found").arg(name));
      queue.erase(queue.begin());
      continue;
    }
    host_.setStatus(QStringLiteral("Searching for ... %1").arg(name));
    setSearching(true);
    const std::uint64_t generation = ++generation_;
    engine_.search(
        name, [](const QString& path) { return !isMailOrContact(path); },
        [this, generation](const FileSearch::Answer& answer) {
          if (generation == generation_) searchFinished(answer);
        });
    return;
  }
}

QString MissingFilesSearch::cutShort(const QString& status, bool incomplete) const {
  return incomplete ? status + kCutShort : status;
}

void MissingFilesSearch::searchFinished(const FileSearch::Answer& answer) {
  setSearching(false);
  if (!targetedFile_) return;
  const QString name = answer.name;
  host_.hideMissingCount();
  if (answer.hits.size() == 1 && !answer.incomplete) {
    const QString path = answer.hits.first().path;
    host_.setStatus(QStringLiteral("Found %1").arg(path.section(u'/', -1)));
    host_.relink(targetedFile_, targetedSnap_, path);
    dropTarget();
    startNextSpotlightSearch();
  } else if (!answer.hits.isEmpty()) {
    host_.setStatus(cutShort(QStringLiteral("Searching for ... %1").arg(name), answer.incomplete));
    model_->setHits(answer.hits);
    openSpotlightPanel(answer.incomplete);
  } else {
    host_.setStatus(cutShort(QStringLiteral("%1 Not Found").arg(name), answer.incomplete));
    dropTarget();
    startNextSpotlightSearch();
  }
}

void MissingFilesSearch::openSpotlightPanel(bool cutShort) {
  targetLabel_->setText(targetedFile_ ? targetedFile_->name() : QString());
  cutShortLabel_->setVisible(cutShort);
  if (QWidget* window = host_.window ? host_.window() : nullptr) {
    panel_->setParent(window, Qt::Sheet | Qt::Dialog);
    panel_->setWindowModality(Qt::WindowModal);
  }
  table_->selectRow(0);
  relinkButton_->setEnabled(table_->selectionModel()->hasSelection());
  panel_->show();
  panel_->raise();
}

void MissingFilesSearch::closeSpotlightPanel() {
  if (panel_->isVisible()) panel_->hide();
}

void MissingFilesSearch::dropTarget() {
  if (targetedFile_) removeFrom(host_.queue(), targetedFile_);
}

void MissingFilesSearch::relinkWithSelectedFileButtonUsed() {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty() || !targetedFile_) return;
  const int row = rows.first().row();
  if (row < 0 || row >= model_->hits().size()) return;
  const QString path = model_->hits()[row].path;
  host_.relink(targetedFile_, targetedSnap_, path);
  closeSpotlightPanel();
  dropTarget();
  startNextSpotlightSearch();
}

void MissingFilesSearch::skipButtonUsed() {
  closeSpotlightPanel();
  dropTarget();
  startNextSpotlightSearch();
}

// The status line keeps its last text.
void MissingFilesSearch::skipAllButtonUsed() {
  closeSpotlightPanel();
  host_.queue().clear();
  targetedFile_.reset();
  setSearching(false);
}

void MissingFilesSearch::stopSearch() {
  ++generation_;
  if (engine_.stop) engine_.stop();
  closeSpotlightPanel();
  targetedFile_.reset();
  setSearching(false);
}

void MissingFilesSearch::setSearching(bool searching) {
  searching_ = searching;
  if (stopButton_) stopButton_->setEnabled(searching);
}
