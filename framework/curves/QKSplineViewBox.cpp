#include "framework/curves/QKSplineViewBox.h"

#include "framework/controls/QKButton.h"
#include "framework/curves/QKSingleSplineView.h"
#include "framework/curves/QKWaveformPopUpButton.h"
#include "framework/render/InterfaceColorScheme.h"
#include "platform/foundation/Alert.h"

#include <QLabel>
#include <QLineEdit>

const QString QKSplineViewBox::kLoadLabel = QStringLiteral("load:");
const QString QKSplineViewBox::kNameLabel = QStringLiteral("name:");

namespace {

QFont smallInterfaceFont() {
  return InterfaceColorScheme::font(InterfaceColorScheme::interfaceFontFamily(), 9);
}

}  // namespace

QKSplineViewBox::QKSplineViewBox(QWidget* parent) : QWidget(parent) {
  loadTextField_ = new QLabel(kLoadLabel, this);
  loadTextField_->setFont(smallInterfaceFont());
  loadTextField_->setTextInteractionFlags(Qt::NoTextInteraction);
  QPalette labelColors = loadTextField_->palette();
  labelColors.setColor(QPalette::WindowText, QColor::fromRgbF(0.59f, 0.59f, 0.59f, 1));
  loadTextField_->setPalette(labelColors);

  saveToDiskButton_ = new QKButton(this);
  saveToDiskButton_->awakeFromNib();
  saveToDiskButton_->setTitle(QStringLiteral("save"));
  saveToDiskButton_->setTitle2(QStringLiteral("save"));
  saveToDiskButton_->setTriggerOnMain(true);
  saveToDiskButton_->setTarget(alive_);
  saveToDiskButton_->setAction([this](QKButtonCell&) { saveButtonUsed(); });

  loadWaveMenu_ = new QKWaveformPopUpButton(this);

  fileNameTextField_ = new QLineEdit(this);
  fileNameTextField_->setFont(smallInterfaceFont());
  fileNameTextField_->setText(QStringLiteral("wave name"));
  fileNameTextField_->hide();
  connect(fileNameTextField_, &QLineEdit::returnPressed, this,
          &QKSplineViewBox::fileNameTextFieldUsed);

  connect(loadWaveMenu_, &QKNSPopUpButton::activated, this, [this](QAction* item) {
    if (splineView_) splineView_->loadFromDisk(item ? item->text() : QString());
  });
  addSplineView(new QKSingleSplineView(this));
  loadWaveMenu_->awakeFromNib();
}

void QKSplineViewBox::addSplineView(QKSingleSplineView* view) {
  splineView_ = view;
  // Stacked as the box adds them: curve view, label, pop-up, name field, button.
  splineView_->lower();
  applyLayout();
  splineView_->show();
  splineView_->awakeFromNib();
}

void QKSplineViewBox::showSpline(std::shared_ptr<QKSingleSpline> spline) {
  if (splineView_) {
    splineView_->prepareToBeDeleted();
    splineView_->hide();
    splineView_->deleteLater();
  }
  addSplineView(new QKSingleSplineView(std::move(spline), this));
}

QKSplineViewBox::~QKSplineViewBox() = default;

void QKSplineViewBox::prepareToBeDeleted() {
  saveToDiskButton_->prepareToBeDeleted();
  if (splineView_) {
    splineView_->prepareToBeDeleted();
    splineView_->hide();
  }
}

void QKSplineViewBox::clearTrackingRects() {
  if (splineView_) splineView_->clearTrackingRects();
}

void QKSplineViewBox::resetTrackingRects() {
  if (splineView_) splineView_->resetCursorRects();
}

QKSplineViewBox::Layout QKSplineViewBox::layoutFor(double w, double h) {
  // The frames are laid out with y up from the box's bottom edge; Qt's y
  // runs down from the top.
  auto fromBottomLeft = [h](double x, double y, double width, double height) {
    return QRectF(x, h - y - height, width, height);
  };
  const double popUpWidth = w > 52 ? w - 52 : 10;
  const double curveWidth = w > 4 ? w - 4 : 4;
  return {fromBottomLeft(3, h - 15, 24, 13), fromBottomLeft(w - 28, h - 16, 26, 15),
          fromBottomLeft(25, h - 16, popUpWidth, 15), fromBottomLeft(2, 2, curveWidth, h - 18)};
}

void QKSplineViewBox::applyLayout() {
  const Layout layout = layoutFor(width(), height());
  loadTextField_->setGeometry(layout.label.toRect());
  saveToDiskButton_->setFrame(layout.saveButton);
  loadWaveMenu_->setGeometry(layout.popUp.toRect());
  fileNameTextField_->setGeometry(layout.popUp.toRect());
  if (splineView_) splineView_->setGeometry(layout.curveView.toRect());
}

void QKSplineViewBox::setFrame(const QRectF& frame) {
  setGeometry(frame.toRect());
  applyLayout();
}

void QKSplineViewBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  applyLayout();
}

void QKSplineViewBox::showNameField(bool show) {
  loadWaveMenu_->setVisible(!show);
  fileNameTextField_->setVisible(show);
  loadTextField_->setText(show ? kNameLabel : kLoadLabel);
  if (show) {
    fileNameTextField_->setFocus();
    fileNameTextField_->selectAll();
  }
}

void QKSplineViewBox::saveButtonUsed() {
  if (fileNameTextField_->isHidden())
    showNameField(true);
  else
    fileNameTextFieldUsed();
}

void QKSplineViewBox::fileNameTextFieldUsed() {
  if (fileNameTextField_->isHidden() || !splineView_) return;
  const QString name = fileNameTextField_->text();
  if (name.trimmed().isEmpty()) {
    Alert::show(QStringLiteral("Warning!"),
                QStringLiteral("Type a name for the curve to save it."));
    fileNameTextField_->setFocus();
    return;
  }
  const QString error = splineView_->saveToDisk(name);
  if (!error.isEmpty()) {
    Alert::show(QStringLiteral("Warning!"),
                QStringLiteral("The curve \"%1\" could not be saved: %2").arg(name, error));
    return;
  }
  showNameField(false);
}
