#include "platform/movie/MovieLog.h"

#include "platform/foundation/Log.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <mutex>

namespace {
void forward(void* avcl, int level, const char* fmt, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  int prefix = 1;
  av_log_format_line2(avcl, level, fmt, args, line, sizeof line, &prefix);
  QString text = QString::fromUtf8(line).trimmed();
  if (text.isEmpty()) return;
  Log::limited(QStringLiteral("ffmpeg"), QStringLiteral("\t\terr: ffmpeg: ") + text);
}
}  // namespace

void MovieLog::install() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&forward); });
}
