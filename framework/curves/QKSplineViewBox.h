#pragma once

#include "framework/curves/QKSingleSplineView.h"

#include <QPointer>
#include <QRectF>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class QKButton;
class QKSingleSpline;
class QKWaveformPopUpButton;
class QLabel;
class QLineEdit;

// The boxed curve editor of behaviour panels: the curve view, and above it
// a "load:" pop-up of the named curves and a "save" button. The first press
// of "save" puts a name field in the pop-up's place ("name:"); the second
// press (or Return in the field) saves the curve under the typed name and
// brings the pop-up back. An empty name is refused with a message and the
// field stays open. The box keeps no snapshot of its own: owners save and
// load the curve through `splineView`. Main thread only.
class QKSplineViewBox : public QWidget {
  Q_OBJECT
 public:
  static const QString kLoadLabel;  // "load:"
  static const QString kNameLabel;  // "name:"

  explicit QKSplineViewBox(QWidget* parent = nullptr);
  ~QKSplineViewBox() override;

  // Moves and resizes the box and lays its contents out at once (also when
  // hidden).
  void setFrame(const QRectF& frame);
  void prepareToBeDeleted();
  void clearTrackingRects();
  void resetTrackingRects();
  // Nothing of its own: empty, and ignored.
  QVariantMap createSnapshot() const { return {}; }
  void loadSnapshot(const QVariantMap&) {}

  // Edits `spline` from now on (a behaviour's curve, which it evaluates on
  // other threads): the curve view is replaced by one of that curve.
  void showSpline(std::shared_ptr<QKSingleSpline> spline);

  void saveButtonUsed();
  void fileNameTextFieldUsed();

  QKSingleSplineView* splineView() const { return splineView_; }
  QKWaveformPopUpButton* loadWaveMenu() const { return loadWaveMenu_; }
  QKButton* saveToDiskButton() const { return saveToDiskButton_; }
  QLineEdit* fileNameTextField() const { return fileNameTextField_; }
  QLabel* loadTextField() const { return loadTextField_; }

  // The frames of the contents for a box of that size, in the box's own Qt
  // coordinates: label, save button, pop-up and name field, curve view.
  struct Layout {
    QRectF label, saveButton, popUp, curveView;
  };
  static Layout layoutFor(double width, double height);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void applyLayout();
  void addSplineView(QKSingleSplineView* view);
  void showNameField(bool show);

  QPointer<QKSingleSplineView> splineView_;
  QLabel* loadTextField_ = nullptr;
  QKWaveformPopUpButton* loadWaveMenu_ = nullptr;
  QLineEdit* fileNameTextField_ = nullptr;
  QKButton* saveToDiskButton_ = nullptr;
  // The save button's target: alive as long as the box.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
