#include "platform/movie/MovieDemuxer.h"

#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/avutil.h>
#include <libavutil/error.h>
}

#include <QFileInfo>
#include <QStringList>

#include <chrono>

namespace {
int64_t nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Pictures and sound the file's streams would hold, had they been readable.
bool isVideo(const AVStream* st) {
  return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
         !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

bool isPicture(const AVStream* st) {
  return isVideo(st) && st->codecpar->width > 0 && st->codecpar->height > 0;
}

// Whether the name ends as a movie's or picture's would (for the wording of
// an error only; the content decides what is opened).
bool hasMovieExtension(const QString& path) {
  static const QStringList kExtensions = {"mov", "qt",   "mp4",  "m4v",  "mkv", "webm", "avi",
                                          "mpg", "mpeg", "mts",  "m2ts", "ts",  "dv",   "flv",
                                          "wmv", "3gp",  "ogv",  "mxf",  "png", "jpg",  "jpeg",
                                          "gif", "tif",  "tiff", "bmp",  "webp"};
  return kExtensions.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

// What the performer calls the file: a picture for the single-image
// formats, a movie otherwise.
QString kindOf(const AVInputFormat* format) {
  const bool picture = format && (QByteArray(format->name).endsWith("_pipe") ||
                                  QByteArray(format->name) == "image2");
  return picture ? QStringLiteral("picture") : QStringLiteral("movie");
}

// Why a file that opened shows nothing: a codec without a decoder here;
// pictures whose size could not be read, complaints while reading, or a
// track without any description (a file cut short inside its index):
// damaged; else it has no such tracks.
QString whyNoMedia(const AVFormatContext* fc, const AVInputFormat* format, bool complained) {
  for (unsigned i = 0; i < fc->nb_streams; ++i) {
    const AVCodecParameters* par = fc->streams[i]->codecpar;
    if (!isVideo(fc->streams[i]) && par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const bool described = par->codec_id != AV_CODEC_ID_NONE || par->codec_tag != 0;
    if (described && !avcodec_find_decoder(par->codec_id))
      return MovieDemuxer::unsupportedCodec(par);
  }
  bool damaged = complained || (fc->nb_streams == 0 && fc->pb && fc->pb->eof_reached);
  for (unsigned i = 0; i < fc->nb_streams; ++i) {
    const AVCodecParameters* par = fc->streams[i]->codecpar;
    damaged = damaged || isVideo(fc->streams[i]) ||
              (par->codec_id == AV_CODEC_ID_NONE && par->codec_tag == 0);
  }
  if (damaged) return QStringLiteral("the %1 is damaged or incomplete").arg(kindOf(format));
  return QStringLiteral("the file holds neither pictures nor sound");
}
}  // namespace

int MovieDemuxer::interrupted(void* opaque) {
  const auto* self = static_cast<const MovieDemuxer*>(opaque);
  const int64_t deadline = self->deadlineNanos_.load();
  return deadline != 0 && nowNanos() > deadline ? 1 : 0;
}

std::unique_ptr<MovieDemuxer> MovieDemuxer::open(const std::shared_ptr<MovieByteSource>& source,
                                                 QString* error, double timeoutSeconds) {
  MovieLog::Capture capture;
  auto fail = [&](const QString& text, int code = 0) {
    if (error) *error = withReason(text, capture.last(), code);
    return std::unique_ptr<MovieDemuxer>();
  };
  if (!source) return fail(QStringLiteral("there is no movie data"));
  std::unique_ptr<MovieDemuxer> d(new MovieDemuxer);
  d->source_ = source;
  d->io_ = source->createAVIO();
  d->format_ = avformat_alloc_context();
  if (!d->io_ || !d->format_) return fail(QStringLiteral("there is not enough memory"));
  d->format_->pb = d->io_;
  d->format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  d->format_->interrupt_callback.callback = &MovieDemuxer::interrupted;
  d->format_->interrupt_callback.opaque = d.get();
  d->deadlineNanos_ = nowNanos() + int64_t(timeoutSeconds * 1e9);

  // The content decides, never the name: no file name is given. A format
  // recognised but not read is a damaged file; nothing recognised is
  // another kind of file (or one damaged from its first bytes).
  const AVInputFormat* format = nullptr;
  int rc = av_probe_input_buffer2(d->io_, &format, "", nullptr, 0, 0);
  if (rc < 0 || !format) {
    if (interrupted(d.get())) return fail(QStringLiteral("opening it took too long"));
    return fail(hasMovieExtension(source->path())
                    ? QStringLiteral("the file is damaged or not a movie")
                    : QStringLiteral("the file is not a movie or picture that can be read"),
                rc);
  }
  AVDictionary* options = nullptr;
  av_dict_set_int(&options, "probesize", kProbeBytes, 0);
  av_dict_set_int(&options, "analyzeduration", int64_t(kProbeSeconds * AV_TIME_BASE), 0);
  rc = avformat_open_input(&d->format_, "", format, &options);
  av_dict_free(&options);
  if (rc < 0) {
    d->format_ = nullptr;  // freed by avformat_open_input
    if (interrupted(d.get())) return fail(QStringLiteral("opening it took too long"));
    return fail(QStringLiteral("the %1 is damaged or incomplete").arg(kindOf(format)), rc);
  }
  rc = avformat_find_stream_info(d->format_, nullptr);
  if (rc < 0) {
    if (interrupted(d.get())) return fail(QStringLiteral("reading it took too long"));
    return fail(QStringLiteral("the %1 is damaged or incomplete").arg(kindOf(format)), rc);
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
    return fail(whyNoMedia(d->format_, format, !capture.last().isEmpty()));
  return d;
}

QString MovieDemuxer::withReason(const QString& text, const QString& logged, int code) {
  QString reason = logged;
  if (reason.isEmpty() && code < 0) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, buffer, sizeof buffer);
    reason = QString::fromUtf8(buffer);
  }
  return reason.isEmpty() ? text + QLatin1Char('.') : QStringLiteral("%1 (%2).").arg(text, reason);
}

QString MovieDemuxer::unsupportedCodec(const AVCodecParameters* par) {
  const QString what =
      par->codec_type == AVMEDIA_TYPE_AUDIO ? QStringLiteral("sound") : QStringLiteral("pictures");
  // A codec FFmpeg does not know is named by the container's code for it.
  char tag[AV_FOURCC_MAX_STRING_SIZE] = {0};
  const QString name = par->codec_id == AV_CODEC_ID_NONE
                           ? QString::fromLatin1(av_fourcc_make_string(tag, par->codec_tag))
                           : QString::fromLatin1(avcodec_get_name(par->codec_id));
  return QStringLiteral("its %1 use a codec that is not supported (%2)").arg(what, name);
}

MovieDemuxer::~MovieDemuxer() {
  if (format_) avformat_close_input(&format_);
  MovieByteSource::freeAVIO(io_);
}
