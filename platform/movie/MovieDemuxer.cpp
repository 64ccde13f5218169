#include "platform/movie/MovieDemuxer.h"

#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieLog.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <chrono>

namespace {
int64_t nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool isPicture(const AVStream* st) {
  return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
         !(st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->codecpar->width > 0 &&
         st->codecpar->height > 0;
}
}  // namespace

int MovieDemuxer::interrupted(void* opaque) {
  const auto* self = static_cast<const MovieDemuxer*>(opaque);
  const int64_t deadline = self->deadlineNanos_.load();
  return deadline != 0 && nowNanos() > deadline ? 1 : 0;
}

std::unique_ptr<MovieDemuxer> MovieDemuxer::open(const std::shared_ptr<MovieByteSource>& source,
                                                 QString* error, double timeoutSeconds) {
  auto fail = [&](const QString& text) {
    if (error) *error = text;
    return std::unique_ptr<MovieDemuxer>();
  };
  if (!source) return fail(QStringLiteral("No movie data."));
  MovieLog::install();
  std::unique_ptr<MovieDemuxer> d(new MovieDemuxer);
  d->source_ = source;
  d->io_ = source->createAVIO();
  d->format_ = avformat_alloc_context();
  if (!d->io_ || !d->format_) return fail(QStringLiteral("Out of memory opening the movie."));
  d->format_->pb = d->io_;
  d->format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  d->format_->interrupt_callback.callback = &MovieDemuxer::interrupted;
  d->format_->interrupt_callback.opaque = d.get();
  d->deadlineNanos_ = nowNanos() + int64_t(timeoutSeconds * 1e9);

  AVDictionary* options = nullptr;
  av_dict_set_int(&options, "probesize", kProbeBytes, 0);
  av_dict_set_int(&options, "analyzeduration", int64_t(kProbeSeconds * AV_TIME_BASE), 0);
  // The content decides, never the name: no file name is given.
  int rc = avformat_open_input(&d->format_, "", nullptr, &options);
  av_dict_free(&options);
  if (rc < 0) {
    d->format_ = nullptr;  // freed by avformat_open_input
    if (interrupted(d.get())) return fail(QStringLiteral("Opening the movie took too long."));
    return fail(QStringLiteral("The file is not a movie or image that can be read."));
  }
  rc = avformat_find_stream_info(d->format_, nullptr);
  if (rc < 0) {
    if (interrupted(d.get())) return fail(QStringLiteral("Reading the movie took too long."));
    return fail(QStringLiteral("The movie's tracks cannot be read (the file may be damaged)."));
  }
  d->deadlineNanos_ = 0;
  d->openingReads_ = MovieByteSource::stopRecording(d->io_);
  for (unsigned i = 0; i < d->format_->nb_streams; ++i) {
    const AVStream* st = d->format_->streams[i];
    if (d->video_ < 0 && isPicture(st)) d->video_ = int(i);
    if (d->audio_ < 0 && st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
        st->codecpar->sample_rate > 0)
      d->audio_ = int(i);
  }
  if (d->video_ < 0 && d->audio_ < 0)
    return fail(QStringLiteral("The file holds neither pictures nor sound."));
  return d;
}

MovieDemuxer::~MovieDemuxer() {
  if (format_) avformat_close_input(&format_);
  MovieByteSource::freeAVIO(io_);
}
