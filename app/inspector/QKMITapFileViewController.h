#pragma once

#include "app/inspector/MIPane.h"
#include "framework/taps/QKRTapMenuController.h"

#include <QPointer>

class MediaInspector;
class QWidget;

// The inspector's pane for tap entries: a pop-up of every source tap
// ("<none>" first) showing the tap the selected entries show. Choosing in
// the pop-up changes nothing until the inspector applies; then every
// inspected tap entry is named after the chosen tap. Entries are renamed
// only when the user chose in the pop-up since the selection was shown:
// a selection nobody touched keeps its names, even when its tap is gone
// from the list. Entries showing different taps show no item (mixed).
// Main thread only.
class QKMITapFileViewController : public QKRTapMenuController, public MIPane {
 public:
  explicit QKMITapFileViewController(MediaInspector* inspector);
  ~QKMITapFileViewController() override;

  // The pane's view, owned by whoever places it.
  QWidget* view() const { return view_; }

  void updateSelection() override;
  void storeParamsForSelectedFiles() override;

  // Whether the selected entries show different taps and nothing was chosen.
  bool mixed() const { return mixed_ && !chosen_; }
  // Whether the user chose in the pop-up since the selection was shown.
  bool chosen() const { return chosen_; }

 private:
  void buildView();
  // Runs after every reload of the list: a mixed selection shows no item.
  void showMixedState();

  MediaInspector* inspector_;
  QPointer<QWidget> view_;
  bool chosen_ = false;
  bool mixed_ = false;
};
