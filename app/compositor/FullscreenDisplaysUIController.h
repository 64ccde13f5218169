#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QWidget>

#include <functional>

class QCheckBox;

// The fullscreen display chooser: a map of the connected screens (screen 0
// with its menu-bar strip) and one toggle per screen, "Screen %ld", whose
// choice is kept in the user default "fullscreenDisplaysArray" (made on the
// first start: NO for screen 0, YES for the others) and handed to the output
// view. Follows screens being added, removed or moved. Main thread only.
class FullscreenDisplaysUIController : public QWidget {
  Q_OBJECT
 public:
  static const QString kDefaultsKey;  // "fullscreenDisplaysArray"
  using FlagsHandler = std::function<void(const QList<bool>&)>;

  // `matrix` receives the toggles (one column); `handFlags` is the output
  // view's setFullscreenFlagArray.
  FullscreenDisplaysUIController(QWidget* matrix, FlagsHandler handFlags,
                                 QWidget* parent = nullptr);
  ~FullscreenDisplaysUIController() override;

  // Fills the toggles, hands the flags on, follows screen changes.
  void awake();
  void screensChangedNotification();
  void toggleMatrixUsed();

  QList<bool> fullscreenFlagArray() const { return flags_; }
  QList<QRect> screenFrames() const { return screens_; }
  QList<QRectF> localRects() const { return localRects_; }
  QList<QCheckBox*> toggles() const { return toggles_; }

  // The screens fitted into a view of `bounds`: 90 % of its limiting side,
  // centred, proportions kept.
  static QList<QRectF> fitScreens(const QList<QRect>& screens, QSizeF bounds);
  // The first-start array: NO for screen 0, YES for every other.
  static QList<bool> firstStartFlags(qsizetype screens);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void readStoredFlags();
  void storeFlags();
  void updateFullscreenFlagArray();
  void updateToggleMatrix();

  QWidget* matrix_;
  FlagsHandler handFlags_;
  QList<QRect> screens_;
  QList<QRectF> localRects_;
  QList<bool> flags_;
  QList<QCheckBox*> toggles_;
};
