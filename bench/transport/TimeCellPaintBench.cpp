// Painting the movie panel's time slider (300 x 20, four marks, selected,
// with an envelope) into an image, beside a bare QPainter sequence of the
// same fills, play head, lines and texts with the same fonts; both in the
// same iterations.
#include "app/sources/MovieSourceTimeSliderCell.h"
#include "app/sources/MovieSourceTimeSliderControl.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/controls/QKSafeString.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/controls/SliderPainter.h"
#include "framework/datasource/DataSourceController.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <benchmark/benchmark.h>

namespace {

const QList<float> kMarks = {0.2f, 0.4f, 0.6f, 0.8f};
constexpr double kW = 300;
constexpr double kH = 20;

// The same drawing with no layout, colour lookup or transform: the
// rectangles and points worked out beforehand.
struct BarePicture {
  SliderPainter::Colors colors;
  QRectF bar, leftEnv, rightEnv, leftHandle, rightHandle;
  QPolygonF head;
  double px = 0;
  const QKSafeString* texts[3] = {};
  QPointF textAt[3];

  void paint(QImage& image) const {
    QPainter p(&image);
    p.fillRect(QRectF(0, 0, kW, kH), colors.frame);
    p.fillRect(bar, colors.fill);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(colors.head);
    p.drawPolygon(head);
    p.setPen(QPen(colors.head, 2.0));
    p.drawLine(QPointF(px, 1), QPointF(px, kH - 1));
    p.setPen(QPen(colors.frame, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(head);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (float mark : kMarks) p.fillRect(QRectF(299 * mark, 0, 1, kH), colors.marks);
    p.fillRect(leftEnv, colors.envelope);
    p.fillRect(rightEnv, colors.envelope);
    p.fillRect(leftHandle, colors.envelopeHandle);
    p.fillRect(rightHandle, colors.envelopeHandle);
    p.fillRect(QRectF(0, 0, kW, 1), colors.highlight);
    p.fillRect(QRectF(kW - 1, 0, 1, kH), colors.highlight);
    p.fillRect(QRectF(0, 0, 1, kH), colors.shadow);
    p.fillRect(QRectF(0, kH - 1, kW, 1), colors.shadow);
    for (int i = 0; i < 3; ++i) {
      p.setFont(texts[i]->font());
      p.setPen(texts[i]->foregroundColor());
      p.drawText(textAt[i], texts[i]->string());
    }
  }
};

// Slider coordinates (y upwards) turned to the image's.
QRectF flipped(const QRectF& r) {
  return QRectF(r.x(), kH - r.y() - r.height(), r.width(), r.height());
}

void BM_PaintTimeSliderBesideBareQPainter(benchmark::State& state) {
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  QKSliderManager manager;
  manager.setDataSourceController(&dsc);
  dsc.setSliderManager(&manager);
  {
    MovieSourceTimeSliderControl control;
    control.setFrame(QRectF(0, 0, kW, kH));
    control.setTarget(std::make_shared<int>(0));
    control.setSliderName(QStringLiteral("Movie Time"));
    control.setMaxRange(12.0f);
    for (float mark : kMarks) control.addInterestingPoint(mark);
    control.setMinEnv(0.1f);
    control.setMaxEnv(0.9f);
    control.setValue(0.45f);
    control.selectJustMe();
    const QKSliderCell& cell = *control.cell();

    BarePicture bare;
    bare.colors = SliderPainter::colorsFromLeaf(cell.getRelevantColorDict());
    const SliderLayout layout = cell.layout();
    bare.bar = flipped(layout.sliderBG);
    bare.leftEnv = flipped(layout.leftEnv);
    bare.rightEnv = flipped(layout.rightEnv);
    bare.leftHandle = flipped(layout.leftEnvHandle);
    bare.rightHandle = flipped(layout.rightEnvHandle);
    bare.px = kW * 0.45;
    const double s = MovieSourceTimeSliderCell::playHeadHalfWidth(kH);
    bare.head = QPolygonF({{bare.px - s, 0}, {bare.px + s, 0}, {bare.px, s}});
    bare.texts[0] = &cell.envText();
    bare.texts[1] = &cell.valueText();
    bare.texts[2] = &cell.sliderNameText();
    bare.textAt[0] = {250, 12};
    bare.textAt[1] = {200, 12};
    bare.textAt[2] = {2, 18};

    QImage ours(int(kW), int(kH), QImage::Format_ARGB32_Premultiplied);
    QImage bareImage(int(kW), int(kH), QImage::Format_ARGB32_Premultiplied);
    const auto seconds = bench::sideBySide(
        state,
        [&] {
          QPainter p(&ours);
          cell.drawWithFrame(p, false, true, QSizeF(kW, kH));
        },
        [&] { bare.paint(bareImage); });
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = seconds.first / n * 1e6;
    state.counters["bare_us"] = seconds.second / n * 1e6;
    state.counters["ratio"] = seconds.first / seconds.second;
    if (qEnvironmentVariableIsSet("ZAPH_BENCH_PICTURES")) {
      ours.save(qEnvironmentVariable("ZAPH_BENCH_PICTURES") + "/time-ours.png");
      bareImage.save(qEnvironmentVariable("ZAPH_BENCH_PICTURES") + "/time-bare.png");
    }
    control.prepareToBeDeleted();
  }
  dsc.setSliderManager(nullptr);
}
BENCHMARK(BM_PaintTimeSliderBesideBareQPainter)->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
