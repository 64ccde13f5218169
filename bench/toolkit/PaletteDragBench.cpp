// One step of a palette drag among 40 palettes: the notifications to every
// content view, the snap, a five-palette Option group following, and the
// eleven fixed palettes putting their frames into the user defaults. Windows
// stay hidden (nothing reaches the window system) and the debounced defaults
// write never fires inside the loop. Side by side: a bare loop doing the same
// snap and group arithmetic over the same 40 frames and the same 11 inserts
// into a plain QVariantMap.
#include "bench/WidgetBenchMain.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/PaletteSnap.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/UserDefaults.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// On screen as far as the palettes are concerned, hidden from the window
// system.
class OnScreenView : public QKWindowContentView {
 protected:
  bool windowIsVisible() const override { return true; }
};

struct Placed {
  QRectF frame;
  QString title;
  bool inGroup;
};

// The dragged palette (first) with its four touching neighbours, then 35
// others apart from them; eleven carry the fixed palettes' titles.
std::vector<Placed> layout() {
  std::vector<Placed> placed = {
      {{300, 250, 120, 80}, QStringLiteral("Clock"), false},
      {{417, 260, 100, 60}, QStringLiteral("Layer Manager"), true},
      {{183, 260, 120, 60}, QStringLiteral("Group Left"), true},
      {{300, 173, 120, 80}, QStringLiteral("Preset Manager"), true},
      {{300, 96, 120, 80}, QStringLiteral("Group Below"), true},
  };
  const QStringList fixed = {
      QStringLiteral("Slider Inspector"),        QStringLiteral("Button Inspector"),
      QStringLiteral("Slider/Button Inspector"), QStringLiteral("Behavior Chains"),
      QStringLiteral("Video FX Palette"),        QStringLiteral("Media Inspector"),
      QStringLiteral("Live Input Manager"),      QStringLiteral("Plugin Manager")};
  for (int i = 0; placed.size() < 40; ++i) {
    const QString title = i < fixed.size() ? fixed[i] : QStringLiteral("Palette %1").arg(i);
    placed.push_back({{10.0 + (i % 7) * 110, 400.0 + (i / 7) * 35, 100, 30}, title, false});
  }
  return placed;
}

// Drag steps alternate between two places, so the stored frames change.
QPointF stepOffset(long step) { return {step % 2 ? 4.0 : 2.0, 0}; }

void BM_PaletteDragStep(benchmark::State& state) {
  QTemporaryDir dir;
  UserDefaults::standard().setFilePath(dir.filePath(QStringLiteral("defaults.plist")));
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  QMenu menu;
  AppWindowMenuController menuController(&menu);
  std::vector<std::unique_ptr<QKPaletteWindow>> windows;
  for (const Placed& p : layout()) {
    auto window = std::make_unique<QKPaletteWindow>(p.frame);
    window->setContentView(new OnScreenView);
    window->awakeFromNib();
    window->setTitle(p.title);  // after waking: no default place
    windows.push_back(std::move(window));
  }
  QKWindowContentView* dragged = windows.front()->contentView();
  const QPointF click(350, 325);  // the title bar, on the screen
  dragged->mouseDown({50, 75}, click, ModifierKeys(Qt::AltModifier), 1);
  int grouped = 0;
  for (const auto& window : windows) grouped += window->contentView()->affectedByChange();
  // The dragged palette joins its neighbours' group too.
  if (grouped != 5) state.SkipWithError("the Option group did not form");
  long step = 0;
  for (auto _ : state) dragged->mouseDragged(click + stepOffset(++step));
  dragged->mouseUp();
  benchmark::DoNotOptimize(
      UserDefaults::standard().dictionaryValue(QStringLiteral("Clock_windAttribs")));
  for (auto& window : windows) window->prepareToBeDeleted();
  UserDefaults::standard().resetForTesting();
}

void BM_BareDragStep(benchmark::State& state) {
  const std::vector<Placed> placed = layout();
  std::vector<QRectF> frames, clickFrames;
  std::vector<bool> grouped;
  QStringList keys;
  std::vector<int> fixed;
  for (int i = 0; i < static_cast<int>(placed.size()); ++i) {
    frames.push_back(placed[i].frame);
    grouped.push_back(placed[i].inGroup);
    keys << PaletteGeometry::storedFrameKey(placed[i].title);
    if (PaletteGeometry::storesFrameInDefaults(placed[i].title)) fixed.push_back(i);
  }
  clickFrames = frames;
  const QSizeF screen(800, 600);
  const double height = screen.height();
  QVariantMap stored;
  long step = 0;
  for (auto _ : state) {
    const QPointF delta = stepOffset(++step);
    QRectF o = PaletteGeometry::clampMove(clickFrames[0], delta, screen);
    for (size_t i = 1; i < frames.size(); ++i)
      o = PaletteSnap::snap(o, frames[i], PaletteSnap::Drag::Move, grouped[i]);
    const QPointF moved(std::trunc(o.x() - clickFrames[0].x()),
                        std::trunc(o.y() - clickFrames[0].y()));
    frames[0] = o;
    for (size_t i = 1; i < frames.size(); ++i)
      if (grouped[i]) frames[i].moveTo(clickFrames[i].topLeft() + moved);
    for (int i : fixed)
      stored.insert(keys[i],
                    FrameSnapshot::create(frames[i], frames[i].size(), false, height, false));
    benchmark::DoNotOptimize(stored);
  }
}

BENCHMARK(BM_PaletteDragStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
