#include "platform/foundation/Log.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <QHash>
#include <unordered_map>
#include <vector>

namespace {

struct LimitState {
  std::chrono::steady_clock::time_point last;
  long suppressed = 0;
};

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

Log::Sink& currentSink() {
  static Log::Sink sink;
  return sink;
}

std::unordered_map<QString, LimitState>& limits() {
  static std::unordered_map<QString, LimitState> states;
  return states;
}

// The last lines written, in a ring.
struct RecentLines {
  std::mutex mutex;
  std::vector<QString> lines = std::vector<QString>(Log::kRecentLineCount);
  size_t next = 0;
  size_t count = 0;

  void add(const QString& text) {
    std::lock_guard<std::mutex> lock(mutex);
    lines[next] = text;
    next = (next + 1) % lines.size();
    count = std::min(count + 1, lines.size());
  }

  QStringList inOrder() {
    std::lock_guard<std::mutex> lock(mutex);
    QStringList result;
    result.reserve(static_cast<qsizetype>(count));
    for (size_t i = 0; i < count; ++i)
      result << lines[(next + lines.size() - count + i) % lines.size()];
    return result;
  }
};

RecentLines& recent() {
  static RecentLines lines;
  return lines;
}

bool needsEscape(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void appendEscape(QString& out, char16_t c) {
  switch (c) {
    case u'\n':
      out += QLatin1String("\\n");
      return;
    case u'\r':
      out += QLatin1String("\\r");
      return;
    case u'\t':
      out += QLatin1String("\\t");
      return;
    case 0x1B:
      out += QLatin1String("\\e");
      return;
    default:
      break;
  }
  if (c <= 0x7F)
    out += QStringLiteral("\\x%1").arg(static_cast<int>(c), 2, 16, QLatin1Char('0'));
  else
    out += QStringLiteral("\\u%1").arg(static_cast<int>(c), 4, 16, QLatin1Char('0'));
}

void writeToStandardError(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

QString Log::escaped(const QString& text) {
  qsizetype start = 0;
  while (start < text.size() && text[start] == u'\t') ++start;
  qsizetype first = start;
  while (first < text.size() && !needsEscape(text[first].unicode())) ++first;
  if (first == text.size()) return text;  // the usual case: nothing to escape
  QString out = text.left(first);
  out.reserve(text.size() + 16);
  for (qsizetype i = first; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (needsEscape(c))
      appendEscape(out, c);
    else
      out += text[i];
  }
  return out;
}

void Log::line(const QString& raw) {
  const QString text = escaped(raw);
  recent().add(text);
  Sink sink;
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    sink = currentSink();
  }
  if (sink)
    sink(text);
  else
    writeToStandardError(text);
}

void Log::line(const char* text) { line(QString::fromUtf8(text)); }

void Log::format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const QString text = QString::vasprintf(fmt, args);
  va_end(args);
  line(text);
}

void Log::limited(const QString& key, const QString& text, double intervalSeconds) {
  const auto now = std::chrono::steady_clock::now();
  long suppressed = 0;
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    auto [it, inserted] = limits().try_emplace(key);
    LimitState& state = it->second;
    const auto interval = std::chrono::duration<double>(intervalSeconds);
    if (!inserted && now - state.last < interval) {
      ++state.suppressed;
      return;
    }
    suppressed = state.suppressed;
    state.suppressed = 0;
    state.last = now;
  }
  if (suppressed > 0)
    line(QStringLiteral("%1 (%2 more like it held back)").arg(text).arg(suppressed));
  else
    line(text);
}

Log::Sink Log::setSink(Sink sink) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  Sink previous = currentSink();
  currentSink() = std::move(sink);
  return previous;
}

QStringList Log::recentLines() { return recent().inOrder(); }

void Log::resetLimits() {
  std::lock_guard<std::mutex> lock(sinkMutex());
  limits().clear();
}
