// The grab of an offscreen web view, which runs on the main thread:
//   ours: QKWebView::render of a 640 x 480 page (the grab, the picture in
//         ARGB32 premultiplied and kept as the shared last picture);
//   bare: QWidget::grab() of the same view.
// Run under Xvfb (scripts/with-xvfb.sh).

#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/media/QKWebView.h"
#include "platform/foundation/MainThread.h"
#include "platform/web/WebEngineSetup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A page with text, a gradient and boxes, filling the view.
const QByteArray kPage =
    "<!doctype html><html><head><style>"
    "html,body{margin:0;height:100%;font:16px sans-serif;"
    "background:linear-gradient(135deg,#203060,#c04080)}"
    ".box{display:inline-block;width:140px;height:90px;margin:12px;border-radius:8px;"
    "background:rgba(255,255,255,.3);color:#fff;padding:8px}"
    "</style></head><body>"
    "<div class=box>one</div><div class=box>two</div><div class=box>three</div>"
    "<div class=box>four</div><div class=box>five</div><div class=box>six</div>"
    "<h1 style='color:#fff;margin:12px'>Offscreen page</h1></body></html>";

bool loadPage(QKWebView& view, const QString& path) {
  bool ended = false;
  QObject::connect(&view, &WebView::loadEnded, [&ended](const WebLoadOutcome&) { ended = true; });
  if (!view.loadAddress(QUrl::fromLocalFile(path))) return false;
  if (!MainThread::processUntil([&] { return ended; }, 30.0)) return false;
  // Until the page has drawn (the first pictures can be blank).
  return MainThread::processUntil(
      [&] {
        const QImage picture = view.grabPicture();
        return picture.pixelColor(4, 470) != QColor(Qt::white);
      },
      30.0);
}

void BM_RenderBesideBareGrab(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/page.html");
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(kPage) != kPage.size()) {
    state.SkipWithError("cannot write the page");
    return;
  }
  file.close();
  QKWebView view;
  view.resize(640, 480);
  view.show();
  if (!loadPage(view, path)) {
    state.SkipWithError("the page did not load");
    return;
  }
  const bench::SideBySideSeconds total = bench::sideBySide(
      state, [&] { benchmark::DoNotOptimize(view.grab()); },
      [&] { benchmark::DoNotOptimize(view.render()); });
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
}
BENCHMARK(BM_RenderBesideBareGrab)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  WebEngineSetup::beforeApplication();
  // Pages draw through GL: the X display (Xvfb), not the offscreen platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  return bench::runWithWidgets(argc, argv);
}
