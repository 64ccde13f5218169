// Painting a selected, bound 200 x 20 slider with four marks into an image,
// beside a bare QPainter sequence that fills the same rectangles and draws
// the same texts with the same fonts; both in the same iterations.
#include "bench/SideBySide.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/controls/SliderPainter.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

const QList<float> kMarks = {0.2f, 0.4f, 0.6f, 0.8f};

// The same rectangles and texts with no layout, colour lookup or transform.
void paintBare(QImage& image, const QKSliderCell& cell, const SliderPainter::Colors& colors) {
  QPainter p(&image);
  const SliderLayout l = cell.layout();
  p.fillRect(QRectF(0, 0, 200, 20), colors.frame);
  p.fillRect(l.sliderBG, colors.fill);
  p.fillRect(l.sliderHead, colors.head);
  for (float mark : kMarks) p.fillRect(QRectF(199 * mark, 0, 1, 20), colors.marks);
  p.fillRect(l.leftEnv, colors.envelope);
  p.fillRect(l.rightEnv, colors.envelope);
  p.fillRect(l.leftEnvHandle, colors.envelopeHandle);
  p.fillRect(l.rightEnvHandle, colors.envelopeHandle);
  p.fillRect(QRectF(0, 0, 200, 1), colors.highlight);
  p.fillRect(QRectF(199, 0, 1, 20), colors.highlight);
  p.fillRect(QRectF(0, 0, 1, 20), colors.shadow);
  p.fillRect(QRectF(0, 19, 200, 1), colors.shadow);
  const QKSafeString* texts[] = {&cell.syncText(), &cell.envText(), &cell.valueText(),
                                 &cell.sliderNameText()};
  double x = 150;
  for (const QKSafeString* text : texts) {
    p.setFont(text->font());
    p.setPen(text->foregroundColor());
    p.drawText(QPointF(x, 12), text->string());
    x -= 40;
  }
}

void BM_PaintSelectedBoundSliderBesideBareQPainter(benchmark::State& state) {
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  QKSliderManager manager;
  manager.setDataSourceController(&dsc);
  dsc.setSliderManager(&manager);
  {
    QKSliderControl control;
    control.setFrame(QRectF(0, 0, 200, 20));
    control.setTarget(std::make_shared<int>(0));
    const KeyPath path{"ZAPH", "fader"};
    auto source = DSFloatInfrequent::createWithName(path.last());
    dsc.setDataSource(source, path);
    control.useThisSource(path);
    control.setSyncFlag(true);
    source->setValue(0.6f);
    for (float mark : kMarks) control.addInterestingPoint(mark);
    control.setMinEnv(0.1f);
    control.setMaxEnv(0.9f);
    control.selectJustMe();
    const QKSliderCell& cell = *control.cell();
    const SliderPainter::Colors colors = SliderPainter::colorsFromLeaf(cell.getRelevantColorDict());

    QImage ours(200, 20, QImage::Format_ARGB32_Premultiplied);
    QImage bare(200, 20, QImage::Format_ARGB32_Premultiplied);
    const auto seconds = bench::sideBySide(
        state,
        [&] {
          QPainter p(&ours);
          SliderPainter::paint(p, cell, false, true, QSizeF(200, 20));
        },
        [&] { paintBare(bare, cell, colors); });
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = seconds.first / n * 1e6;
    state.counters["bare_us"] = seconds.second / n * 1e6;
    state.counters["ratio"] = seconds.first / seconds.second;
    control.prepareToBeDeleted();
  }
  dsc.setSliderManager(nullptr);
}
BENCHMARK(BM_PaintSelectedBoundSliderBesideBareQPainter)->UseManualTime();

}  // namespace
