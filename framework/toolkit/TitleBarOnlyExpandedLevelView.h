#pragma once

#include "framework/toolkit/TitleBarLevelView.h"

#include <QPointer>

class QKWindowContentView;

// A title-bar meter shown only while its palette is expanded (the collapsed
// variant overrides wantsActive). It starts active, takes its palette's
// state when shown and follows the collapse of the palette window it sits in
// (each resize of that window); while inactive it shows exactly the
// title-bar colour. Uses the "simpleLevelView"
// colours and grows from the bottom. Main thread, but for setVal.
class TitleBarOnlyExpandedLevelView : public TitleBarLevelView {
  Q_OBJECT
 public:
  explicit TitleBarOnlyExpandedLevelView(QWidget* parent = nullptr);

  bool active() const { return active_; }
  // Only a change redraws.
  void setActive(bool active);
  // The palette's content view resized: follow its collapsed state.
  void windowDidResize(const QKWindowContentView* contentView);

 protected:
  virtual bool wantsActive(bool collapsed) const { return !collapsed; }
  QString colorStyle() const override { return kSimpleStyle; }
  bool growsFromTop() const override { return false; }
  bool showsLevel() const override { return active_; }
  QColor inactiveColor() const override;

  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void watchWindow();
  QKWindowContentView* contentView() const;

  bool active_ = true;
  QPointer<QWidget> watchedWindow_;
};
