// The cache bitmap of a still image: a 6000 x 4000 JPEG, made by the
// benchmark, decoded at its cache size (1280 x 853).
//   bench_media --benchmark_filter=ImageCache
// Each iteration runs ours (QKImageFile::imageRepAtPath: the header read,
// the fitted size, the scaled decode turned by the file's orientation, and
// the premultiplied format) beside QImageReader's own scaled decode to the
// same size, in alternating order. "bare_ms" and "ours_ms" are the mean
// times, "ours_vs_bare" their ratio.
#include "bench/CoreBenchMain.h"
#include "bench/SideBySide.h"
#include "framework/media/QKImageFile.h"
#include "tests/support/TestEnvironment.h"

#include <benchmark/benchmark.h>

#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QLinearGradient>
#include <QRandomGenerator>

#include <cstdio>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A photograph-like picture: gradients and noise, so the JPEG is not trivial.
const QString& jpeg() {
  static const QString path = [] {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, kWidth, kHeight);
    gradient.setColorAt(0, QColor(20, 80, 160));
    gradient.setColorAt(1, QColor(230, 180, 40));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random(7);
    for (int y = 0; y < kHeight; ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < kWidth; ++x) {
        const int n = int(random.bounded(32)) - 16;
        const QRgb p = line[x];
        line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                       qBound(0, qBlue(p) + n, 255));
      }
    }
    const QString file = TestEnvironment::makeTempDir(QStringLiteral("bench")) + "/big.jpg";
    QImageWriter writer(file);
    writer.setQuality(90);
    if (!writer.write(image)) std::fprintf(stderr, "jpeg: %s\n", qPrintable(writer.errorString()));
    return file;
  }();
  return path;
}

void ImageCacheBitmap(benchmark::State& state) {
  const QString& path = jpeg();
  const QSize target = QKImageFile::fittedSize({kWidth, kHeight}, QKImageFile::kDefaultCacheLimit);
  QSize ours;
  QSize bare;
  const bench::SideBySideSeconds total = bench::sideBySide(
      state,
      [&] {
        QImageReader reader(path);
        reader.setScaledSize(target);
        const QImage image = reader.read();
        bare = image.size();
        benchmark::DoNotOptimize(image.constBits());
      },
      [&] {
        const QKImageFile::Bitmap bitmap = QKImageFile::imageRepAtPath(path);
        ours = bitmap ? bitmap->size() : QSize();
        benchmark::DoNotOptimize(bitmap);
      });
  if (ours != target || bare != target) state.SkipWithError("decoded at the wrong size");
  const double n = double(state.iterations());
  state.counters["bare_ms"] = total.first / n * 1000.0;
  state.counters["ours_ms"] = total.second / n * 1000.0;
  state.counters["ours_vs_bare"] = total.second / total.first;
}
BENCHMARK(ImageCacheBitmap)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) { return bench::runInTestEnvironment(argc, argv); }
