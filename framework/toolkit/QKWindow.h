#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

class QKWindowContentView;
class QKWindowDelegate;

// A palette's window: a frameless tool window (Qt::Tool |
// Qt::FramelessWindowHint) whose content view draws its own frame and title
// bar. A press activates it; keys it receives go to the content view. Frames
// are given in bottom-left screen coordinates (the design's), converted here
// against the primary screen ("the main screen").
//
// prepareToBeDeleted announces the window's removal (so the Window menu drops
// it) and stops its content view; a window destroyed without it announces its
// removal all the same. Main thread only.
class QKWindow : public QWidget {
  Q_OBJECT
 public:
  explicit QKWindow(const QRectF& frame = {}, QWidget* parent = nullptr);
  ~QKWindow() override;

  // The window owns the view and sizes it to fill itself.
  void setContentView(QKWindowContentView* view);
  QKWindowContentView* contentView() const { return contentView_; }
  // Wakes the content view (once the frame, title and view are set).
  virtual void awakeFromNib();

  // Passes the title to the content view too.
  void setTitle(const QString& title);
  QString title() const { return windowTitle(); }
  void setDelegate(QKWindowDelegate* delegate) { delegate_ = delegate; }
  QKWindowDelegate* delegate() const { return delegate_; }

  virtual void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // Brings the palette onto the main screen and to the front.
  virtual void selectedInWindowMenu();
  void makeKeyAndOrderFront();

  // The frame in bottom-left screen coordinates.
  QRectF frame() const;
  void setFrame(const QRectF& frame);
  // The primary screen in bottom-left coordinates: {0, 0, width, height}.
  static QRectF mainScreenFrame();

  // The "fill" colour of the unlocked window colours; invalid without them.
  static QColor windowFillColor();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void announceRemoval();

  QKWindowContentView* contentView_ = nullptr;
  QKWindowDelegate* delegate_ = nullptr;
  bool deleted_ = false;
  bool removalAnnounced_ = false;
};
