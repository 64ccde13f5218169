#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MBQuantizePicker.h"
#include "app/mediabin/MBQuantizeTarget.h"
#include "app/compositor/Layer.h"
#include "framework/controls/QKButton.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/clock/ClockFixture.h"
#include "tests/app/mediabin/FakeQueueHost.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct RecordingQueue : MBQuantizeTarget {
  void trigger() override { calls << QStringLiteral("trigger"); }
  void triggerThisLayer(const QString& name) override { calls << QStringLiteral("layer ") + name; }
  QString mostRecentLayer() const override { return recent; }
  QStringList calls;
  QString recent;
};

// Layers A, B and C; A and C play movies. A clock of 4 beats with 4
// subdivisions.
struct PickerFixture : ClockFixture {
  PickerFixture() : host({"A", "B", "C"}) {
    host.layers[0].playsMovie = true;
    host.layers[2].playsMovie = true;
    host.sources.insert(&movieA, QStringLiteral("A"));
    host.sources.insert(&movieC, QStringLiteral("C"));
    clock.setQuantizedSubdivisions(4);
    picker.setLayerSet(&host);
    picker.setQueue(&queue);
    picker.setManualTriggerButton(&button);
    picker.awakeFromNib();
  }
  void choose(const QString& title) {
    picker.selectItemWithTitle(title);
    picker.iAmMyOwnTarget();
    ASSERT_EQ(picker.titleOfSelectedItem(), title);
  }
  void movieEnds(const void* source) {
    std::thread([&] {
      NotificationCenter::defaultCenter().post(MBQuantizePicker::kMovieDidEndNotification,
                                               const_cast<void*>(source));
    }).join();
  }
  int movieA = 0, movieC = 0;
  FakeQueueHost host;
  RecordingQueue queue;
  QKButton button;
  MBQuantizePicker picker;
};

TEST(MBQuantizePicker, MenuHasNoteValuesMovieEndsAndPlayingMovieLayers) {
  PickerFixture f;
  EXPECT_EQ(
      f.picker.menuTitles(),
      (QStringList{"Immediately", "", "sixteenth note (1/4)", "eighth note (1/2)",
                   "quarter note (1)", "half note (2)", "whole note (4)", "", "Any Movie Ends",
                   "Target Layer's Movie Ends", "A", "C", "", "Manually..."}));
  EXPECT_EQ(f.picker.titleOfSelectedItem(), QStringLiteral("Immediately"));
  f.clock.setQuantizedSubdivisions(6);
  f.host.layers[2].playsMovie = false;
  f.picker.populateAllMenus();
  EXPECT_EQ(f.picker.menuTitles(),
            (QStringList{"Immediately", "", "sextuplet (1/6)", "triplet (1/3)", "half note (2)",
                         "whole note (4)", "", "Any Movie Ends", "Target Layer's Movie Ends", "A",
                         "", "Manually..."}));
}

TEST(MBQuantizePicker, TriggerPerChoice) {
  struct Case {
    const char* choice;
    const char* recent;
    bool moviesPlay;
    QStringList calls;
    bool armed;
  };
  const Case cases[] = {
      {"Immediately", "", true, {"trigger"}, false},
      {"Any Movie Ends", "", true, {}, true},
      {"Any Movie Ends", "", false, {"trigger"}, false},
      {"Target Layer's Movie Ends", "A", true, {}, true},
      {"Target Layer's Movie Ends", "B", true, {"layer B"}, false},
      {"C", "B", true, {}, true},
      {"C", "B", false, {"layer B"}, false},
      {"quarter note (1)", "", true, {}, true},
      {"Manually...", "", true, {}, true},
  };
  for (const Case& c : cases) {
    PickerFixture f;
    f.choose(QString::fromLatin1(c.choice));
    f.queue.recent = QString::fromLatin1(c.recent);
    if (!c.moviesPlay)
      for (auto& layer : f.host.layers) layer.playsMovie = false;
    f.picker.trigger();
    EXPECT_EQ(f.queue.calls, c.calls) << c.choice << " " << c.moviesPlay;
    EXPECT_EQ(f.picker.triggerArmed(), c.armed) << c.choice << " " << c.moviesPlay;
  }
}

TEST(MBQuantizePicker, MovieEndsFireOnThePostingThread) {
  struct Case {
    const char* choice;
    bool armed;
    const char* ends;  // "A" or "C"
    QStringList calls;
  };
  const Case cases[] = {
      {"Any Movie Ends", true, "A", {"trigger"}},
      {"Any Movie Ends", false, "A", {}},
      {"Target Layer's Movie Ends", false, "C", {"layer C"}},
      {"C", false, "C", {"trigger"}},
      {"C", true, "A", {}},
      {"quarter note (1)", true, "A", {}},
  };
  for (const Case& c : cases) {
    PickerFixture f;
    f.choose(QString::fromLatin1(c.choice));
    if (c.armed) {
      f.queue.recent = QStringLiteral("A");
      f.picker.trigger();
    }
    f.movieEnds(QString::fromLatin1(c.ends) == "A" ? &f.movieA : &f.movieC);
    EXPECT_EQ(f.queue.calls, c.calls) << c.choice << " " << c.ends;
  }
}

TEST(MBQuantizePicker, ChoiceIsRememberedByTitleAndShowsTheManualButton) {
  PickerFixture f;
  f.choose(QStringLiteral("Manually..."));
  EXPECT_FALSE(f.button.isHidden());
  EXPECT_EQ(f.picker.granularity(), -2.0);
  f.choose(QStringLiteral("C"));
  EXPECT_TRUE(f.button.isHidden());
  EXPECT_EQ(f.picker.granularity(), -5.0);
  // C stops: the rebuilt menu cannot select it, and the value stays.
  f.host.layers[2].playsMovie = false;
  f.picker.populateAllMenus();
  EXPECT_EQ(f.picker.titleOfSelectedItem(), QString());
  EXPECT_EQ(f.picker.granularity(), -5.0);
  EXPECT_EQ(f.picker.lastSelectedItemName(), QStringLiteral("C"));
  // A snapshot's title takes effect at the next build.
  f.picker.loadSnapshot({{"menu title", "half note (2)"}});
  EXPECT_EQ(f.picker.granularity(), -5.0);
  f.picker.populateAllMenus();
  EXPECT_EQ(f.picker.titleOfSelectedItem(), QStringLiteral("half note (2)"));
  EXPECT_EQ(f.picker.granularity(), 0.5);
}

TEST(MBQuantizePicker, RestoreSuspendsMovieEndsAndRebuildsAtTheEnd) {
  PickerFixture f;
  f.choose(QStringLiteral("Any Movie Ends"));
  f.picker.trigger();
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreStartNotification"));
  f.movieEnds(&f.movieA);
  EXPECT_TRUE(f.queue.calls.isEmpty());
  f.host.layers[1].playsMovie = true;
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreEndNotification"));
  EXPECT_TRUE(f.picker.menuTitles().contains("B"));
  f.movieEnds(&f.movieA);
  EXPECT_EQ(f.queue.calls, QStringList{"trigger"});
}

TEST(MBQuantizePicker, ADeletedLayersItemGoes) {
  PickerFixture f;
  f.picker.layerDeleted(QStringLiteral("A"));
  EXPECT_FALSE(f.picker.menuTitles().contains("A"));
  EXPECT_TRUE(f.picker.menuTitles().contains("C"));
}

// Through the queue: a file triggered with "quarter note (1)" is loaded at
// the next quarter boundary of the clock, not before.
TEST(MBQuantizePicker, QueuedFileLoadsAtTheNextQuarterBoundary) {
  PickerFixture f;
  MBLayerController controller(&f.host, 1);
  controller.setQuantizePicker(&f.picker);
  f.picker.setQueue(&controller);
  controller.awakeFromNib();
  f.choose(QStringLiteral("quarter note (1)"));
  const long file = f.host.addFile(QStringLiteral("clip"));
  f.run(1.2);  // 0.3 of a 4 s measure
  controller.triggerThisFile(file);
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_TRUE(f.host.loadsSoFar().empty());
  double firedAt = -1.0;
  for (int i = 0; i < 200 && firedAt < 0.0; ++i) {
    f.run(0.03);
    MainThread::processUntil([&] { return !f.host.loadsSoFar().empty(); }, 0.02);
    if (!f.host.loadsSoFar().empty()) firedAt = f.clock.measurePositionExact();
  }
  ASSERT_EQ(f.host.loadsSoFar().size(), 1u);
  EXPECT_GE(firedAt, 0.5 - 1e-9);
  EXPECT_LT(firedAt, 0.5 + 0.0076 + 0.0076);
  EXPECT_EQ(f.host.loadsSoFar()[0].layer, QStringLiteral("C"));
  controller.prepareToBeDeleted();
}

}  // namespace
