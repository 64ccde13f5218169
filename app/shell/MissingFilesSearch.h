#pragma once

#include "app/shell/SearchResultsModel.h"
#include "platform/system/FileSearch.h"

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class PMMissingFilesController;
class QDialog;
class QKFile;
class QLabel;
class QPushButton;
class QTableView;

// Relinking by name: over the missing-files window's queue, one search at a
// time. One match relinks at once; several (or one from a search cut short)
// open a results sheet to pick from, skip or skip all; none moves on.
// "Stop Search" and the window's done button end the flow; a stopped
// search's answer is dropped. Each flow walks the folders at most once.
// Main thread only.
class MissingFilesSearch : public QObject {
 public:
  using Files = std::vector<std::shared_ptr<QKFile>>;
  // What the flow needs of the missing-files window.
  struct Host {
    std::function<Files()> missingFiles;
    std::function<bool(const QKFile&)> isMissing;
    std::function<QVariantMap(const QKFile&)> snapshotOf;
    std::function<Files&()> queue;
    std::function<void(const std::shared_ptr<QKFile>&, const QVariantMap&, const QString&)> relink;
    std::function<void()> update;
    std::function<void(const QString&)> setStatus;
    std::function<void()> hideMissingCount;
    std::function<QWidget*()> window;
  };
  // The searcher of one flow.
  struct Engine {
    std::function<void(const QString& name, FileSearch::Accept, FileSearch::Done)> search;
    std::function<void()> stop;
  };
  using EngineFactory = std::function<Engine()>;
  // A new FileSearch with these options for each flow.
  static EngineFactory fileSearchEngines(FileSearch::Options options);

  MissingFilesSearch(Host host, EngineFactory makeEngine = {}, QObject* parent = nullptr);
  ~MissingFilesSearch() override;

  // Hooks the flow into the window: started on opening with a search,
  // stopped by done; "Stop Search" beside its status line.
  static std::unique_ptr<MissingFilesSearch> attach(PMMissingFilesController& controller);

  void startSpotlightSearchForAllMissingFiles();
  void startNextSpotlightSearch();
  void stopSearch();

  void relinkWithSelectedFileButtonUsed();
  void skipButtonUsed();
  void skipAllButtonUsed();

  bool searching() const { return searching_; }
  std::shared_ptr<QKFile> targetedFile() const { return targetedFile_; }
  QDialog* spotlightPanel() const { return panel_.get(); }
  QTableView* spotlightResultsTable() const { return table_; }
  SearchResultsModel* resultsModel() const { return model_; }
  QLabel* spotlightTargetFileTextField() const { return targetLabel_; }
  QPushButton* relinkButton() const { return relinkButton_; }
  QPushButton* stopButton() const { return stopButton_; }
  void setStopButton(QPushButton* button);

  // Names that cannot be searched: empty, or holding "/" or NUL.
  static bool searchableName(const QString& name);
  // Mail messages and address cards never count as matches.
  static bool isMailOrContact(const QString& path);
  // The file name to look for: the last component of its full path (or
  // stored path), else its name.
  static QString searchedName(const QKFile& file, const QVariantMap& snapshot);

 private:
  void buildPanel();
  void searchFinished(const FileSearch::Answer& answer);
  void openSpotlightPanel(bool cutShort);
  void closeSpotlightPanel();
  void dropTarget();
  void setSearching(bool searching);
  QString cutShort(const QString& status, bool incomplete) const;

  Host host_;
  EngineFactory makeEngine_;
  Engine engine_;
  std::shared_ptr<QKFile> targetedFile_;
  QVariantMap targetedSnap_;
  std::uint64_t generation_ = 0;
  bool searching_ = false;
  std::unique_ptr<QDialog> panel_;
  QTableView* table_ = nullptr;
  SearchResultsModel* model_ = nullptr;
  QLabel* targetLabel_ = nullptr;
  QLabel* cutShortLabel_ = nullptr;
  QPushButton* relinkButton_ = nullptr;
  QPointer<QPushButton> stopButton_;
};
