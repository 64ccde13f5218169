#include "app/prefs/CompositorPrefsController.h"

#include "app/compositor/FullscreenDisplaysUIController.h"
#include "app/prefs/PrefsController.h"
#include "app/prefs/PrefsDefaults.h"
#include "app/prefs/PrefsHost.h"
#include "app/prefs/PrefsNumberRule.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

const QString kWidthKey = QStringLiteral("renderWidth");
const QString kHeightKey = QStringLiteral("renderHeight");
const QString kSwapKey = QStringLiteral("cpSwapInterval");
const QString kPresentationKey = QStringLiteral("canvasPresentationMode");
const QString kConstrainKey = QStringLiteral("constrainOutputWindow");

qint64 storedOrWritten(const QString& key, qint64 fallback) {
  return PrefsDefaults::integerOrWritten(key, fallback);
}

}  // namespace

CompositorPrefsController::CompositorPrefsController(PrefsController* prefsController,
                                                     QWidget* parent)
    : QWidget(parent), prefsController_(prefsController) {
  setObjectName(QStringLiteral("Output"));
  buildControls();
}

CompositorPrefsController::~CompositorPrefsController() = default;

void CompositorPrefsController::buildControls() {
  auto* layout = new QVBoxLayout(this);
  auto* canvas = new QGridLayout;
  renderWidthField_ = new QLineEdit(this);
  renderHeightField_ = new QLineEdit(this);
  renderWidthField_->setObjectName(QStringLiteral("renderWidthField"));
  renderHeightField_->setObjectName(QStringLiteral("renderHeightField"));
  for (QLineEdit* field : {renderWidthField_, renderHeightField_}) {
    field->setFixedWidth(60);
    connect(field, &QLineEdit::editingFinished, this, [this, field] {
      if (field->isModified()) renderSizeFieldChanged();
      field->setModified(false);
    });
  }
  canvas->addWidget(new QLabel(QStringLiteral("Canvas"), this), 0, 0);
  canvas->addWidget(renderWidthField_, 0, 1);
  canvas->addWidget(new QLabel(QStringLiteral("x"), this), 0, 2);
  canvas->addWidget(renderHeightField_, 0, 3);
  canvas->setColumnStretch(4, 1);
  layout->addLayout(canvas);

  overdriveButton_ = new QCheckBox(QStringLiteral("Overdrive (don't wait for the display)"), this);
  connect(overdriveButton_, &QCheckBox::clicked, this, [this] { overdriveButtonUsed(); });
  layout->addWidget(overdriveButton_);
  constrainWindowButton_ = new QCheckBox(QStringLiteral("Keep the canvas's aspect"), this);
  connect(constrainWindowButton_, &QCheckBox::clicked, this,
          [this] { constrainWindowButtonUsed(); });
  layout->addWidget(constrainWindowButton_);

  auto* presentation = new QGroupBox(QStringLiteral("Canvas in the output window"), this);
  auto* rows = new QVBoxLayout(presentation);
  canvasPresentationMatrix_ = new QButtonGroup(this);
  const QStringList titles = {QStringLiteral("Fit (bars on two sides)"),
                              QStringLiteral("Fill (cropped)"), QStringLiteral("Stretch"),
                              QStringLiteral("Actual size, centred")};
  for (int row = 0; row < titles.size(); ++row) {
    auto* cell = new QRadioButton(titles.at(row), presentation);
    canvasPresentationMatrix_->addButton(cell, row);
    rows->addWidget(cell);
  }
  connect(canvasPresentationMatrix_, &QButtonGroup::idClicked, this,
          [this](int) { canvasPresentationUsed(); });
  layout->addWidget(presentation);

  auto* displays = new QGroupBox(QStringLiteral("Fullscreen displays"), this);
  auto* displaysLayout = new QHBoxLayout(displays);
  auto* matrix = new QWidget(displays);
  PrefsController* prefs = prefsController_;
  displayChooser_ = new FullscreenDisplaysUIController(
      matrix,
      [prefs](const QList<bool>& flags) {
        if (prefs && prefs->host()) prefs->host()->setFullscreenFlagArray(flags);
      },
      displays);
  displayChooser_->setFixedSize(160, 80);
  displaysLayout->addWidget(displayChooser_);
  displaysLayout->addWidget(matrix, 1);
  layout->addWidget(displays);
  layout->addStretch(1);
}

void CompositorPrefsController::selectPresentationRow(long mode) {
  if (QAbstractButton* cell = canvasPresentationMatrix_->button(int(mode))) cell->setChecked(true);
}

void CompositorPrefsController::awakeFromNib() {
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  UserDefaults& defaults = UserDefaults::standard();
  const qint64 width = storedOrWritten(kWidthKey, 640);
  const qint64 height = storedOrWritten(kHeightKey, 480);
  if (host) host->setCanvasSize(QSizeF(width, height));
  renderWidthField_->setText(QString::number(width));
  renderHeightField_->setText(QString::number(height));

  long interval = 1;
  if (!PrefsDefaults::hasNumber(kSwapKey)) {
    storedOrWritten(kSwapKey, 1);
    overdriveButton_->setChecked(false);
  } else {
    interval = long(defaults.integerValue(kSwapKey));
    if (interval == 0) overdriveButton_->setChecked(true);
    if (interval == 1) overdriveButton_->setChecked(false);
  }
  if (host) host->setCPSwapInterval(interval);

  const long mode = long(storedOrWritten(kPresentationKey, 0));
  selectPresentationRow(mode);
  if (host) host->setCanvasPresentationMode(mode);

  const qint64 constrain = storedOrWritten(kConstrainKey, 1);
  constrainWindowButton_->setChecked(constrain != 0);
  if (host) host->setConstrainOutputWindow(constrain == 1);
  defaults.synchronize();

  displayChooser_->awake();
}

void CompositorPrefsController::showStoredSize() {
  UserDefaults& defaults = UserDefaults::standard();
  renderWidthField_->setText(QString::number(defaults.integerValue(kWidthKey)));
  renderHeightField_->setText(QString::number(defaults.integerValue(kHeightKey)));
  renderWidthField_->setModified(false);
  renderHeightField_->setModified(false);
}

// Both sides are read and stored together; one that is refused changes
// nothing and the stored size shows again.
void CompositorPrefsController::renderSizeFieldChanged() {
  QString reason;
  const std::optional<double> width = PrefsNumberRule::size(QStringLiteral("Canvas width"))
                                          .read(renderWidthField_->text(), &reason);
  const std::optional<double> height = width
                                           ? PrefsNumberRule::size(QStringLiteral("Canvas height"))
                                                 .read(renderHeightField_->text(), &reason)
                                           : std::nullopt;
  if (!width || !height) {
    Log::line(QStringLiteral("\t\terr: %1").arg(reason));
    showStoredSize();
    if (isVisible())
      QToolTip::showText(renderWidthField_->mapToGlobal(QPoint(0, 24)), reason, this);
    return;
  }
  UserDefaults& defaults = UserDefaults::standard();
  defaults.setValue(kWidthKey, qint64(*width));
  defaults.setValue(kHeightKey, qint64(*height));
  defaults.synchronize();
  renderWidthField_->setText(QString::number(qint64(*width)));
  renderHeightField_->setText(QString::number(qint64(*height)));
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  if (host) host->setCanvasSize(QSizeF(*width, *height));
}

void CompositorPrefsController::overdriveButtonUsed() {
  const long interval = overdriveButton_->isChecked() ? 0 : 1;
  UserDefaults::standard().setValue(kSwapKey, qint64(interval));
  UserDefaults::standard().synchronize();
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  if (host) host->setCPSwapInterval(interval);
}

void CompositorPrefsController::canvasPresentationUsed() {
  const long mode = canvasPresentationMatrix_->checkedId();
  if (mode < 0) return;
  UserDefaults::standard().setValue(kPresentationKey, qint64(mode));
  UserDefaults::standard().synchronize();
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  if (host) host->setCanvasPresentationMode(mode);
}

void CompositorPrefsController::constrainWindowButtonUsed() {
  const qint64 value = constrainWindowButton_->isChecked() ? 1 : 0;
  UserDefaults::standard().setValue(kConstrainKey, value);
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  if (host) host->setConstrainOutputWindow(value != 0);
  UserDefaults::standard().synchronize();
}
