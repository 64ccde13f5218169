#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class ColorInterfaceManager;
class CompositorPrefsController;
class CustomPathsPrefsController;
class EasterEggTableView;
class FXPrefsController;
class MIDIPrefsController;
class OSCPrefsController;
class FileLoadingPrefsController;
class MovieSourcePrefsController;
class SliderPrefsController;
class PrefsHost;
class PrefsListController;
class QVBoxLayout;

// The preferences window: the list of panes on the left, the chosen pane
// on the right. Each row holds one pane view, set by its owner (the window
// takes it over), with what runs when the program starts (`awake`: write
// the absent defaults, apply the stored ones) and when the window closes.
// "Colors" holds two views: the full editor shows when the row was clicked
// with the Option (Alt) key held, the theme chooser otherwise.
//
// Made at start-up; `awakePanes` is the one start-up call that wakes every
// pane, in list order. Showing, hiding and closing change no setting.
// Main thread.
class PrefsController : public QWidget {
  Q_OBJECT
 public:
  enum Row {
    kFileLoadingRow = 0,
    kFXSettingsRow,
    kMIDIRow,
    kOSCRow,
    kOutputRow,
    kSlidersRow,
    kUserPathsRow,
    kColorsRow,
    kMoviePlaybackRow,
    kRowCount
  };
  struct PaneHooks {
    std::function<void()> awake;
    std::function<void()> windowClosing;
  };

  explicit PrefsController(PrefsHost* host, QWidget* parent = nullptr);
  ~PrefsController() override;

  PrefsHost* host() const { return host_; }

  // The pane of a row; a view set before is deleted. Rows out of range are
  // ignored.
  void setPane(int row, QWidget* view, PaneHooks hooks = {});
  // The view "Colors" shows on an Option-click (the other is its pane).
  void setAlternatePaneView(int row, QWidget* view);
  QWidget* paneView(int row) const;
  QWidget* alternatePaneView(int row) const;

  // Every pane's `awake`, in list order.
  void awakePanes();
  // Shows the window on the pane of `row` (selected in the list).
  void showPane(int row);

  // Empties the container and shows the row's pane there; a row out of
  // range or without a view leaves it empty.
  void displayPrefsForIndex(int row);
  // Always true; first every pane's `windowClosing`, in list order (MIDI
  // and OSC end their detection).
  bool windowShouldClose();

  // The panes ZAPH builds itself (null once their row was given another).
  FileLoadingPrefsController* fileLoadingPrefs() const;
  FXPrefsController* fxPrefs() const;
  MIDIPrefsController* midiPrefs() const;
  OSCPrefsController* oscPrefs() const;
  CompositorPrefsController* compositorPrefs() const;
  SliderPrefsController* sliderPrefs() const;
  CustomPathsPrefsController* customPathsPrefs() const;
  MovieSourcePrefsController* movieSourcePrefs() const;
  ColorInterfaceManager* colorInterfaceManager() const;

  EasterEggTableView* tableView() const { return tableView_; }
  PrefsListController* listController() const { return listController_; }
  QWidget* containerView() const { return containerView_; }
  // The pane in the container, or null.
  QWidget* shownPane() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Pane {
    QPointer<QWidget> view;
    QPointer<QWidget> alternateView;
    PaneHooks hooks;
  };
  void adopt(QWidget* view);
  void emptyContainer();
  QWidget* viewForRow(int row) const;
  void buildPanes();

  PrefsHost* host_;
  EasterEggTableView* tableView_ = nullptr;
  PrefsListController* listController_ = nullptr;
  QWidget* containerView_ = nullptr;
  QVBoxLayout* containerLayout_ = nullptr;
  // Holds the panes not shown, hidden.
  QWidget* shelf_ = nullptr;
  std::array<Pane, kRowCount> panes_;
  QPointer<FileLoadingPrefsController> fileLoading_;
  QPointer<FXPrefsController> fx_;
  QPointer<MIDIPrefsController> midi_;
  QPointer<OSCPrefsController> osc_;
  QPointer<CompositorPrefsController> compositor_;
  QPointer<SliderPrefsController> sliders_;
  QPointer<CustomPathsPrefsController> customPaths_;
  QPointer<MovieSourcePrefsController> movieSource_;
  QPointer<ColorInterfaceManager> colors_;
  int shownRow_ = -1;
};
