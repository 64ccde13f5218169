#include "platform/movie/MovieLog.h"

#include "platform/foundation/Log.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
thread_local MovieLog::Capture* capturing = nullptr;

QString formatted(void* avcl, int level, const char* fmt, va_list args, bool withPrefix) {
  char line[512];
  int prefix = withPrefix ? 1 : 0;
  av_log_format_line2(avcl, level, fmt, args, line, sizeof line, &prefix);
  return QString::fromUtf8(line).trimmed();
}

void forward(void* avcl, int level, const char* fmt, va_list args) {
  if (level > AV_LOG_ERROR) return;
  if (capturing) {
    va_list copy;
    va_copy(copy, args);
    const QString message = formatted(nullptr, level, fmt, copy, false);
    va_end(copy);
    if (!message.isEmpty()) capturing->take(message);
  }
  const QString text = formatted(avcl, level, fmt, args, true);
  if (text.isEmpty()) return;
  Log::limited(QStringLiteral("ffmpeg"), QStringLiteral("\t\terr: ffmpeg: ") + text);
}
}  // namespace

void MovieLog::install() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&forward); });
}

MovieLog::Capture::Capture() : outer_(capturing) {
  install();
  capturing = this;
}

MovieLog::Capture::~Capture() { capturing = outer_; }
