#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

void logError(const QString& text) { Log::line(QStringLiteral("\t\terr: user defaults: ") + text); }

// A free name beside `path` for a broken file: "<name>.broken", then
// "<name>.broken-2" and so on, so that no earlier broken file is replaced.
QString brokenFileName(const QString& path) {
  QString aside = path + QStringLiteral(".broken");
  for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
    aside = path + QStringLiteral(".broken-%1").arg(n);
  return aside;
}

// The value in property-list form, or invalid (logged) when it has none.
QVariant storable(const QString& key, const QVariant& value) {
  if (!PropertyList::isNormalized(key)) {  // the key is written as text too
    logError(QStringLiteral("\"%1\" not set: the key has control characters or broken Unicode")
                 .arg(key));
    return {};
  }
  if (PropertyList::isNormalized(value)) return value;
  QString error;
  const QVariant plain = PropertyList::normalized(value, &error);
  if (!plain.isValid()) {
    logError(QStringLiteral("\"%1\" not set: %2").arg(key, error));
    return {};
  }
  return plain;
}

// QVariant's == finds 1 and 1.0 equal; a stored integer must still become a
// real when a real is set.
bool sameValue(const QVariant& a, const QVariant& b) { return a.typeId() == b.typeId() && a == b; }

}  // namespace

bool UserDefaults::holds(const QVariantMap& domain, const QString& key,
                         const QVariant& value) const {
  Lock lock(mutex_);
  const auto found = domain.constFind(key);
  return found != domain.constEnd() && sameValue(found.value(), value);
}

UserDefaults& UserDefaults::standard() {
  static UserDefaults defaults;
  return defaults;
}

UserDefaults::UserDefaults() : path_(defaultFilePath()) {
  load();
  watchForQuit();
}

QString UserDefaults::defaultFilePath() const {
  const QString forced = qEnvironmentVariable("ZAPH_DEFAULTS_FILE");
  if (!forced.isEmpty()) return forced;
  return Paths::userConfigDir() + QStringLiteral("/defaults.plist");
}

void UserDefaults::load() {
  Lock lock(mutex_);
  persistent_.clear();
  dirty_ = false;
  writable_ = true;
  if (!QFileInfo::exists(path_)) return;
  const PropertyList::Result result = PropertyList::read(path_);
  if (!result.ok()) return moveAside(result.error);
  if (result.value.typeId() != QMetaType::QVariantMap)
    return moveAside(path_ + QStringLiteral(": not a dictionary"));
  persistent_ = result.value.toMap();
}

void UserDefaults::moveAside(const QString& reason) {
  const QString aside = brokenFileName(path_);
  if (QFile::rename(path_, aside)) {
    logError(
        QStringLiteral("%1; moved aside to %2, going on with empty defaults").arg(reason, aside));
  } else {
    writable_ = false;
    logError(QStringLiteral("%1; it could not be moved aside, so changes will not be saved")
                 .arg(reason));
  }
}

QVariant UserDefaults::value(const QString& key) const {
  Lock lock(mutex_);
  const auto found = persistent_.constFind(key);
  if (found != persistent_.constEnd()) return found.value();
  return registration_.value(key);
}

bool UserDefaults::contains(const QString& key) const {
  Lock lock(mutex_);
  return persistent_.contains(key) || registration_.contains(key);
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
  if (!value.isValid()) return remove(key);
  if (holds(persistent_, key, value)) return;  // unchanged: nothing to convert
  const QVariant plain = storable(key, value);
  if (!plain.isValid()) return;
  {
    Lock lock(mutex_);
    const auto found = persistent_.constFind(key);
    if (found != persistent_.constEnd() && sameValue(found.value(), plain)) return;
    persistent_.insert(key, plain);
    dirty_ = true;
  }
  scheduleWrite();
}

void UserDefaults::remove(const QString& key) {
  {
    Lock lock(mutex_);
    if (persistent_.remove(key) == 0) return;
    dirty_ = true;
  }
  scheduleWrite();
}

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
  for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
    if (holds(registration_, it.key(), it.value())) continue;
    const QVariant value = storable(it.key(), it.value());
    if (!value.isValid()) continue;
    Lock lock(mutex_);
    registration_.insert(it.key(), value);
  }
}

bool UserDefaults::boolValue(const QString& key) const {
  const QVariant v = value(key);
  if (v.typeId() != QMetaType::QString) return v.toBool();
  const QString text = v.toString().trimmed();
  return text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
         text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text.toLongLong() != 0;
}

double UserDefaults::doubleValue(const QString& key) const { return value(key).toDouble(); }

qint64 UserDefaults::integerValue(const QString& key) const {
  const QVariant v = value(key);
  const bool isText = v.typeId() == QMetaType::QString;
  bool ok = false;
  if (isText) {
    const qint64 whole = v.toString().trimmed().toLongLong(&ok);
    if (ok) return whole;
  }
  if (v.typeId() != QMetaType::Double && !isText) return v.toLongLong();
  // Reals are cut toward zero (QVariant would round them).
  const double real = v.toDouble();
  constexpr double kLimit = 9.2233720368547748e18;
  if (!std::isfinite(real) || real >= kLimit || real < -kLimit) return 0;
  return static_cast<qint64>(real);
}

QString UserDefaults::stringValue(const QString& key) const {
  const QVariant v = value(key);
  switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
      return v.toString();
    default:
      return {};
  }
}

QVariantMap UserDefaults::dictionaryValue(const QString& key) const {
  const QVariant v = value(key);
  return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

QVariantList UserDefaults::arrayValue(const QString& key) const {
  const QVariant v = value(key);
  return v.typeId() == QMetaType::QVariantList ? v.toList() : QVariantList();
}

void UserDefaults::scheduleWrite() {
  if (!QCoreApplication::instance()) return;  // written at synchronize
  watchForQuit();
  {
    Lock lock(mutex_);
    if (writeScheduled_ || !dirty_) return;
    writeScheduled_ = true;
  }
  MainThread::runLater(this, debounce_.load(), [this] { writeScheduled(); });
}

void UserDefaults::writeScheduled() {
  {
    Lock lock(mutex_);
    writeScheduled_ = false;
  }
  writePending();
}

bool UserDefaults::synchronize() { return writePending(); }

bool UserDefaults::writePending() {
  std::lock_guard<std::mutex> writeLock(writeMutex_);
  return writePendingHoldingWriteLock();
}

bool UserDefaults::writePendingHoldingWriteLock() {
  QVariantMap snapshot;
  QString path;
  {
    Lock lock(mutex_);
    if (!dirty_) return true;
    if (!writable_) return false;
    snapshot = persistent_;
    path = path_;
    dirty_ = false;
  }
  QDir().mkpath(QFileInfo(path).absolutePath());
  const QString error = PropertyList::write(snapshot, path);
  if (error.isEmpty()) return true;
  logError(QStringLiteral("could not save: ") + error);
  Lock lock(mutex_);
  if (path_ == path) dirty_ = true;
  return false;
}

void UserDefaults::watchForQuit() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  {
    Lock lock(mutex_);
    if (watchingQuit_) return;
    watchingQuit_ = true;
  }
  QObject::connect(
      app, &QCoreApplication::aboutToQuit, app, [this] { synchronize(); }, Qt::DirectConnection);
}

QString UserDefaults::filePath() const {
  Lock lock(mutex_);
  return path_;
}

void UserDefaults::setFilePath(const QString& path) {
  std::lock_guard<std::mutex> writeLock(writeMutex_);
  writePendingHoldingWriteLock();
  Lock lock(mutex_);
  MainThread::cancel(this);
  writeScheduled_ = false;
  path_ = path.isEmpty() ? defaultFilePath() : path;
  load();
}

void UserDefaults::resetForTesting() {
  Lock lock(mutex_);
  MainThread::cancel(this);
  writeScheduled_ = false;
  dirty_ = false;
  persistent_.clear();
  registration_.clear();
}
