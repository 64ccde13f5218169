#include "app/compositor/FullscreenDisplaysUIController.h"

#include "app/compositor/FullscreenTarget.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/UserDefaults.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

const QString FullscreenDisplaysUIController::kDefaultsKey =
    QStringLiteral("fullscreenDisplaysArray");

FullscreenDisplaysUIController::FullscreenDisplaysUIController(QWidget* matrix,
                                                               FlagsHandler handFlags,
                                                               QWidget* parent)
    : QWidget(parent), matrix_(matrix), handFlags_(std::move(handFlags)) {
  if (!matrix_->layout()) new QVBoxLayout(matrix_);
  screens_ = ScreenList::frames();
  readStoredFlags();
  localRects_ = fitScreens(screens_, size());
}

FullscreenDisplaysUIController::~FullscreenDisplaysUIController() = default;

QList<bool> FullscreenDisplaysUIController::firstStartFlags(qsizetype screens) {
  QList<bool> flags;
  for (qsizetype i = 0; i < screens; ++i) flags << (i != 0);
  return flags;
}

// A stored array that is not a list of booleans counts as absent. One
// shorter than the screen list is padded here, as a screen change would,
// so that every toggle has its entry.
void FullscreenDisplaysUIController::readStoredFlags() {
  UserDefaults& defaults = UserDefaults::standard();
  if (!FullscreenTarget::flagsFromVariant(defaults.value(kDefaultsKey), &flags_)) {
    flags_ = firstStartFlags(screens_.size());
    QVariantList stored;
    for (bool flag : flags_) stored << flag;
    defaults.registerDefaults({{kDefaultsKey, stored}});
    defaults.setValue(kDefaultsKey, stored);
    defaults.synchronize();
  }
  while (flags_.size() < screens_.size()) flags_ << true;
}

void FullscreenDisplaysUIController::storeFlags() {
  QVariantList stored;
  for (bool flag : flags_) stored << flag;
  UserDefaults::standard().setValue(kDefaultsKey, stored);
  UserDefaults::standard().synchronize();
}

void FullscreenDisplaysUIController::awake() {
  auto changed = [this] { screensChangedNotification(); };
  connect(qGuiApp, &QGuiApplication::screenAdded, this, changed);
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, changed);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, changed);
  for (QScreen* screen : QGuiApplication::screens())
    connect(screen, &QScreen::geometryChanged, this, changed);
  updateToggleMatrix();
  if (handFlags_) handFlags_(flags_);
}

void FullscreenDisplaysUIController::screensChangedNotification() {
  screens_ = ScreenList::frames();
  localRects_ = fitScreens(screens_, size());
  updateFullscreenFlagArray();
  updateToggleMatrix();
  update();
}

void FullscreenDisplaysUIController::updateFullscreenFlagArray() {
  if (flags_.size() >= screens_.size()) return;
  while (flags_.size() < screens_.size()) flags_ << true;
  if (handFlags_) handFlags_(flags_);
}

void FullscreenDisplaysUIController::updateToggleMatrix() {
  while (toggles_.size() < screens_.size()) {
    auto* toggle = new QCheckBox(matrix_);
    connect(toggle, &QCheckBox::clicked, this, [this] { toggleMatrixUsed(); });
    matrix_->layout()->addWidget(toggle);
    toggles_ << toggle;
  }
  while (toggles_.size() > screens_.size()) delete toggles_.takeFirst();
  for (qsizetype i = 0; i < toggles_.size(); ++i) {
    toggles_[i]->setText(QStringLiteral("Screen %1").arg(i));
    toggles_[i]->setChecked(i < flags_.size() && flags_[i]);
    toggles_[i]->show();
  }
}

void FullscreenDisplaysUIController::toggleMatrixUsed() {
  while (flags_.size() < toggles_.size()) flags_ << true;
  for (qsizetype i = 0; i < toggles_.size(); ++i) flags_[i] = toggles_[i]->isChecked();
  storeFlags();
  if (handFlags_) handFlags_(flags_);
}

QList<QRectF> FullscreenDisplaysUIController::fitScreens(const QList<QRect>& screens,
                                                         QSizeF bounds) {
  QList<QRectF> local;
  if (screens.isEmpty() || bounds.isEmpty()) return local;
  QRectF all;
  double mx = 0.0, my = 0.0;
  for (const QRect& frame : screens) {
    all = all.united(QRectF(frame));
    mx = std::min(mx, double(frame.x()));
    my = std::min(my, double(frame.y()));
  }
  const bool taller = all.width() / all.height() < bounds.width() / bounds.height();
  const double scale =
      (taller ? bounds.height() / all.height() : bounds.width() / all.width()) * 0.9;
  QRectF localUnion;
  for (const QRect& frame : screens) {
    local << QRectF((frame.x() - mx) * scale, (frame.y() - my) * scale, frame.width() * scale,
                    frame.height() * scale);
    localUnion = localUnion.united(local.last());
  }
  const QPointF shift((bounds.width() - localUnion.width()) * 0.5,
                      (bounds.height() - localUnion.height()) * 0.5);
  for (QRectF& rect : local) rect.translate(shift);
  return local;
}

void FullscreenDisplaysUIController::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  localRects_ = fitScreens(screens_, size());
}

void FullscreenDisplaysUIController::mousePressEvent(QMouseEvent* event) { event->accept(); }

void FullscreenDisplaysUIController::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(10);
  painter.setFont(font);
  for (qsizetype i = 0; i < localRects_.size(); ++i) {
    const QRectF& r = localRects_[i];
    painter.setPen(Qt::black);
    painter.setBrush(QColor(Qt::lightGray));
    painter.drawRect(r);
    if (i == 0) {  // the menu bar along the top of screen 0
      painter.setBrush(Qt::white);
      painter.drawRect(QRectF(r.x(), r.y(), r.width(), 5.0));
    }
    painter.drawText(QPointF(r.x() + 5.0, r.bottom() - 5.0), QString::number(i));
  }
}
