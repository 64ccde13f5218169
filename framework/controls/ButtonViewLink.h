#pragma once

#include "framework/controls/QKButtonCellView.h"
#include "framework/toolkit/RepaintRequest.h"

#include <QPointer>

#include <atomic>
#include <memory>

class QKButton;
class QKButtonCell;

// The part of a QKButton that its cell calls, from any thread. The cell holds
// it by shared_ptr, so a call under way on the tick, MIDI or OSC thread never
// meets a destroyed widget: the widget itself is reached only on the main
// thread, through a QPointer checked there.
//
// A redraw is one RepaintRequest; a trigger of a momentary button toggles the
// cell on the calling thread and asks the main thread for the pressed-look
// flash, one pending request at a time (a trigger while one is pending adds
// nothing). Neither ever waits for the main thread.
//
// Construct on the main thread, with the widget.
class ButtonViewLink : public QKButtonCellView,
                       public std::enable_shared_from_this<ButtonViewLink> {
 public:
  ButtonViewLink(QKButton* view, std::weak_ptr<QKButtonCell> cell);

  // Set once by the widget's prepareToBeDeleted; afterwards triggers and
  // redraws do nothing.
  void markDeleted() { deleted_.store(true); }
  bool deleted() const { return deleted_.load(); }

  // QKButtonCellView (any thread).
  void setNeedsDisplay() override;
  bool respondsToToggle() const override { return true; }
  void toggle() override;
  // QKButtonCellView (main thread).
  QRectF bounds() const override;
  void addSubButton(const std::shared_ptr<QKButtonCell>& cell, const QRectF& frame) override;
  void removeSubButton(const std::shared_ptr<QKButtonCell>& cell) override;

  bool flashPending() const { return flashPending_.load(); }
  bool repaintPending() const { return repaint_.pending(); }
  // Main thread: the widget, or null once it has gone.
  QKButton* view() const { return view_; }

 private:
  void requestFlash();

  const QPointer<QKButton> view_;
  const std::weak_ptr<QKButtonCell> cell_;
  RepaintRequest repaint_;
  std::atomic<bool> deleted_{false};
  std::atomic<bool> flashPending_{false};
};
