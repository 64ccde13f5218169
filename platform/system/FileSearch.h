#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Finds files by name anywhere the user keeps them, on a worker thread.
//
// Names compare folded (decomposed, combining marks dropped, case folded)
// and by equality: "Cafe.MOV" finds "café.mov"; "*" and "?" are plain
// characters. Each search first asks the locate database (plocate or
// locate on the PATH, or the program given), which covers the whole disk in
// milliseconds; every path it answers is checked now (it exists, is a
// regular file, and no folder on its path is hidden). When the database is
// absent or knows no existing match (it is refreshed daily and usually
// skips removable media), the search walks the roots: hidden entries are
// skipped, links are followed once (by the folder they lead to), the depth
// is bounded and the walk ends at the time or entry limit. The walk runs at
// most once per FileSearch and keeps its folded names for later searches.
//
// A search cut short by a limit is incomplete. `stop` ends the search under
// way at the next entry the walker reads; its answer is dropped. Answers
// reach the main thread; the main thread never waits for the worker, except
// in the destructor, which stops it and joins it.
class FileSearch {
 public:
  struct Hit {
    QString path;
    QDateTime modified;  // invalid when the file could not be read
  };
  struct Answer {
    QString name;
    QList<Hit> hits;  // sorted by path
    bool incomplete = false;
  };
  struct Options {
    QStringList roots;
    // Empty: plocate, then locate, from the PATH. "-": no database.
    QString databaseProgram;
    double databaseSeconds = 5.0;
    qint64 maxEntries = 300000;  // the walk, and the database's answer count
    double maxSeconds = 20.0;
    int maxDepth = 16;
  };
  // Decides whether a path of the right name counts (leaves out mail and the like).
  using Accept = std::function<bool(const QString& path)>;
  using Done = std::function<void(const Answer& answer)>;

  // $HOME, /media, /mnt and /run/media/$USER; the database from the PATH.
  static Options defaultOptions();
  explicit FileSearch(Options options = defaultOptions());
  ~FileSearch();
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  // Starts a search on the worker (stopping one under way); `done` runs on
  // the main thread unless the search was stopped or the object is gone.
  void search(const QString& fileName, Accept accept, Done done);
  void stop();
  bool isSearching() const;

  // The worker's work, run on the calling thread (tests, benchmarks).
  Answer searchNow(const QString& fileName, const Accept& accept = {});

  int walkCount() const { return walkCount_.load(); }
  // Entries the walker read after it was told to stop.
  qint64 entriesReadAfterStop() const { return entriesAfterStop_.load(); }
  // Called on the walker with the count of entries read so far (tests).
  void setEntryObserver(std::function<void(qint64 entries)> observer) {
    entryObserver_ = std::move(observer);
  }

  static QString fold(const QString& name);
  // The name as a glob that matches only itself.
  static QString escapeGlob(const QString& name);
  static bool hasHiddenComponent(const QString& path);

 private:
  struct Job {
    QString name;
    Accept accept;
    Done done;
    std::uint64_t generation = 0;
  };
  struct Shared {
    std::atomic<std::uint64_t> generation{0};
    std::atomic<bool> alive{true};
  };
  struct Walk {
    // A file: the hash of its folded name, its folder (an index into
    // `folders`, each ending in "/") and where its name starts in `names`.
    struct Entry {
      std::uint64_t hash;
      std::uint32_t folder;
      std::uint32_t name;
    };
    // Folder paths are kept once, names end to end ("\0" after each); the
    // entries are sorted by hash when the walk ends, so a lookup is a binary
    // search. A few lookups follow one walk: sorting once costs far less
    // than keeping a hash table of every name.
    std::vector<std::string> folders;
    std::string names;
    std::vector<Entry> entries;
    bool incomplete = false;
  };

  void runWorker();
  Answer searchWith(const QString& fileName, const Accept& accept, std::uint64_t generation);
  std::optional<QList<Hit>> askDatabase(const QString& name, const std::string& folded,
                                        const Accept& accept, bool& capped) const;
  QString databaseProgram() const;
  void walkRoots(std::uint64_t generation);
  bool walkFolder(const std::string& path, int depth, std::uint64_t generation);
  bool shouldEnd(std::uint64_t generation);
  std::optional<Hit> checkedHit(const QString& path, const std::string& folded,
                                const Accept& accept) const;

  Options options_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> pending_;
  bool running_ = false;
  bool quitting_ = false;
  std::thread worker_;

  // Worker only.
  std::optional<Walk> walk_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> visitedFolders_;
  qint64 entries_ = 0;
  double walkDeadline_ = 0;
  bool cut_ = false;
  std::function<void(qint64)> entryObserver_;
  std::atomic<int> walkCount_{0};
  std::atomic<qint64> entriesAfterStop_{0};
};
