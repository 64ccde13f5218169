#include "platform/system/FileSearch.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool isAscii(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

// The folded form of a name as index key; plain ASCII (most names) skips
// the Unicode work.
std::string foldedKey(const char* text, std::size_t length) {
  if (isAscii(text, length)) {
    std::string key(text, length);
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
  }
  return FileSearch::fold(QString::fromUtf8(text, static_cast<qsizetype>(length)))
      .toUtf8()
      .toStdString();
}

std::uint64_t nameHash(const std::string& folded) { return std::hash<std::string>{}(folded); }

std::string baseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr int kClockCheckEvery = 256;
// Room for the names of a large home folder, so the walk seldom rehashes.
constexpr std::size_t kExpectedNames = 1 << 16;

}  // namespace

FileSearch::Options FileSearch::defaultOptions() {
  Options options;
  options.roots << QDir::homePath() << QStringLiteral("/media") << QStringLiteral("/mnt");
  const QString user = qEnvironmentVariable("USER");
  if (!user.isEmpty()) options.roots << QStringLiteral("/run/media/") + user;
  return options;
}

FileSearch::FileSearch(Options options) : options_(std::move(options)) {}

FileSearch::~FileSearch() {
  shared_->alive = false;
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
    pending_.reset();
    ++shared_->generation;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

QString FileSearch::fold(const QString& name) {
  const QString decomposed = name.normalized(QString::NormalizationForm_D);
  QString kept;
  kept.reserve(decomposed.size());
  for (const QChar c : decomposed) {
    const QChar::Category category = c.category();
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
        category == QChar::Mark_Enclosing)
      continue;
    kept.append(c);
  }
  return kept.toCaseFolded();
}

QString FileSearch::escapeGlob(const QString& name) {
  QString escaped;
  for (const QChar c : name) {
    if (c == u'*' || c == u'?' || c == u'[' || c == u']' || c == u'\\') escaped.append(u'\\');
    escaped.append(c);
  }
  return escaped;
}

bool FileSearch::hasHiddenComponent(const QString& path) {
  const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
  return std::any_of(parts.begin(), parts.end(),
                     [](const QString& part) { return part.startsWith(u'.'); });
}

void FileSearch::search(const QString& fileName, Accept accept, Done done) {
  {
    std::lock_guard lock(mutex_);
    Job job{fileName, std::move(accept), std::move(done), ++shared_->generation};
    pending_ = std::move(job);
    if (!worker_.joinable()) worker_ = std::thread([this] { runWorker(); });
  }
  wake_.notify_all();
}

void FileSearch::stop() {
  std::lock_guard lock(mutex_);
  ++shared_->generation;
  pending_.reset();
}

bool FileSearch::isSearching() const {
  std::lock_guard lock(mutex_);
  return running_ || pending_.has_value();
}

void FileSearch::runWorker() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quitting_ || pending_.has_value(); });
      if (quitting_) return;
      job = std::move(*pending_);
      pending_.reset();
      running_ = true;
    }
    Answer answer;
    try {
      answer = searchWith(job.name, job.accept, job.generation);
    } catch (const std::exception& error) {
      Log::line(
          QStringLiteral("\t\terr: file search failed: %1").arg(QString::fromUtf8(error.what())));
    } catch (...) {
      Log::line(QStringLiteral("\t\terr: file search failed"));
    }
    {
      std::lock_guard lock(mutex_);
      running_ = false;
    }
    if (shared_->generation.load() != job.generation || !job.done) continue;
    MainThread::post([shared = shared_, generation = job.generation, done = std::move(job.done),
                      answer = std::move(answer)] {
      if (shared->alive && shared->generation.load() == generation) done(answer);
    });
  }
}

FileSearch::Answer FileSearch::searchNow(const QString& fileName, const Accept& accept) {
  return searchWith(fileName, accept, shared_->generation.load());
}

FileSearch::Answer FileSearch::searchWith(const QString& fileName, const Accept& accept,
                                          std::uint64_t generation) {
  Answer answer;
  answer.name = fileName;
  const QByteArray nameBytes = fileName.toUtf8();
  const std::string folded =
      foldedKey(nameBytes.constData(), static_cast<std::size_t>(nameBytes.size()));

  bool capped = false;
  if (std::optional<QList<Hit>> found = askDatabase(fileName, folded, accept, capped);
      found && !found->isEmpty()) {
    answer.hits = std::move(*found);
    answer.incomplete = capped;
  } else {
    if (!walk_) walkRoots(generation);
    if (!walk_) return answer;  // stopped
    answer.incomplete = walk_->incomplete;
    const std::uint64_t hash = nameHash(folded);
    const auto first = std::lower_bound(
        walk_->entries.begin(), walk_->entries.end(), hash,
        [](const Walk::Entry& entry, std::uint64_t value) { return entry.hash < value; });
    for (auto it = first; it != walk_->entries.end() && it->hash == hash; ++it) {
      const char* name = walk_->names.data() + it->name;
      if (std::optional<Hit> hit =
              checkedHit(QString::fromStdString(walk_->folders[it->folder] + name), folded, accept))
        answer.hits << *hit;
    }
  }
  std::sort(answer.hits.begin(), answer.hits.end(),
            [](const Hit& a, const Hit& b) { return a.path < b.path; });
  return answer;
}

QString FileSearch::databaseProgram() const {
  if (options_.databaseProgram == QStringLiteral("-")) return {};
  if (!options_.databaseProgram.isEmpty()) return options_.databaseProgram;
  for (const char* name : {"plocate", "locate"}) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!found.isEmpty()) return found;
  }
  return {};
}

std::optional<QList<FileSearch::Hit>> FileSearch::askDatabase(const QString& name,
                                                              const std::string& folded,
                                                              const Accept& accept,
                                                              bool& capped) const {
  const QString program = databaseProgram();
  if (program.isEmpty()) return std::nullopt;
  QProcess process;
  process.setProgram(program);
  process.setArguments({QStringLiteral("-i"), QStringLiteral("-0"), QStringLiteral("-b"),
                        QStringLiteral("-l"), QString::number(options_.maxEntries),
                        QStringLiteral("--"), escapeGlob(name)});
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start();
  const int waitMs = static_cast<int>(options_.databaseSeconds * 1000);
  if (!process.waitForStarted(waitMs)) return std::nullopt;
  if (!process.waitForFinished(waitMs)) {
    Log::line(QStringLiteral("\t\terr: %1 took too long; walking the folders").arg(program));
    process.kill();
    process.waitForFinished(1000);
    return std::nullopt;
  }
  const QByteArray output = process.readAllStandardOutput();
  QList<Hit> hits;
  const QList<QByteArray> lines = output.split('\0');
  qint64 answered = 0;
  for (const QByteArray& line : lines) {
    if (line.isEmpty()) continue;
    ++answered;
    if (!line.startsWith('/')) continue;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString path = decoder(line);
    if (decoder.hasError()) continue;
    if (std::optional<Hit> hit = checkedHit(path, folded, accept)) hits << *hit;
  }
  capped = answered >= options_.maxEntries;
  return hits;
}

std::optional<FileSearch::Hit> FileSearch::checkedHit(const QString& path,
                                                      const std::string& folded,
                                                      const Accept& accept) const {
  const QByteArray bytes = path.toUtf8();
  const std::string base = baseName(bytes.toStdString());
  if (foldedKey(base.data(), base.size()) != folded) return std::nullopt;
  if (hasHiddenComponent(path)) return std::nullopt;
  struct stat info {};
  if (::stat(bytes.constData(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (accept && !accept(path)) return std::nullopt;
  const qint64 ms =
      static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
  return Hit{path, QDateTime::fromMSecsSinceEpoch(ms)};
}

void FileSearch::walkRoots(std::uint64_t generation) {
  ++walkCount_;
  walk_.emplace();
  walk_->entries.reserve(kExpectedNames);
  walk_->names.reserve(kExpectedNames * 16);
  visitedFolders_.clear();
  entries_ = 0;
  cut_ = false;
  walkDeadline_ = now() + options_.maxSeconds;
  for (const QString& root : options_.roots) {
    if (!walkFolder(QDir::cleanPath(root).toStdString(), 0, generation)) break;
  }
  if (shared_->generation.load() != generation) {
    walk_.reset();  // stopped: nothing of it is kept
    return;
  }
  walk_->incomplete = cut_;
  std::sort(walk_->entries.begin(), walk_->entries.end(),
            [](const Walk::Entry& a, const Walk::Entry& b) { return a.hash < b.hash; });
}

bool FileSearch::shouldEnd(std::uint64_t generation) {
  if (shared_->generation.load(std::memory_order_relaxed) != generation) {
    ++entriesAfterStop_;
    return true;
  }
  if (entries_ > options_.maxEntries ||
      (entries_ % kClockCheckEvery == 0 && now() > walkDeadline_)) {
    cut_ = true;
    return true;
  }
  return false;
}

// Answers false when the walk must end.
bool FileSearch::walkFolder(const std::string& path, int depth, std::uint64_t generation) {
  DIR* folder = ::opendir(path.c_str());
  if (!folder) return true;
  struct stat self {};
  if (::fstat(::dirfd(folder), &self) != 0 ||
      !visitedFolders_
           .insert(
               {static_cast<std::uint64_t>(self.st_dev), static_cast<std::uint64_t>(self.st_ino)})
           .second) {
    ::closedir(folder);
    return true;
  }
  bool goOn = true;
  std::string child = path == "/" ? std::string() : path;
  child.push_back('/');
  const std::size_t prefix = child.size();
  std::optional<std::uint32_t> folderIndex;  // given at its first file
  while (const dirent* entry = ::readdir(folder)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    ++entries_;
    if (entryObserver_) entryObserver_(entries_);
    if (shouldEnd(generation)) {
      goOn = false;
      break;
    }
    if (name[0] == '.') continue;
    child.resize(prefix);
    child.append(name);
    unsigned char type = entry->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      struct stat target {};
      if (::stat(child.c_str(), &target) != 0) continue;
      type = S_ISDIR(target.st_mode) ? DT_DIR : S_ISREG(target.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
      if (depth < options_.maxDepth && !walkFolder(child, depth + 1, generation)) {
        goOn = false;
        break;
      }
    } else if (type == DT_REG) {
      if (!folderIndex) {
        folderIndex = static_cast<std::uint32_t>(walk_->folders.size());
        walk_->folders.push_back(child.substr(0, prefix));
      }
      const std::size_t length = std::strlen(name);
      walk_->entries.push_back({nameHash(foldedKey(name, length)), *folderIndex,
                                static_cast<std::uint32_t>(walk_->names.size())});
      walk_->names.append(name, length + 1);
    }
  }
  ::closedir(folder);
  return goOn;
}
