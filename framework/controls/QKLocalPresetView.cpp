#include "framework/controls/QKLocalPresetView.h"

#include "framework/controls/LocalPresetOwner.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLocalPresetButton.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/ModifierKeys.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
const QString kReadWriteButton = QStringLiteral("readWriteButton");
const QString kItemArray = QStringLiteral("itemArray");
constexpr double kMinButtonWidth = 12;
constexpr double kMaxButtonWidth = 500;
}  // namespace

QKLocalPresetView::QKLocalPresetView(QWidget* parent) : QWidget(parent) { makeReadWriteButton(); }

QKLocalPresetView::~QKLocalPresetView() { prepareToBeDeleted(); }

void QKLocalPresetView::makeReadWriteButton() {
  readWriteButton_ = new QKButton(this);
  readWriteButton_->setFrame(QRectF(0, 0, kToggleWidth, height()));
  readWriteButton_->setTitle(QStringLiteral("R"));
  readWriteButton_->setTitle2(QStringLiteral("W"));
  readWriteButton_->setButtonType(1);
  readWriteButton_->setTarget(alive_);
  readWriteButton_->setAction([this](QKButtonCell& sender) { buttonUsed(sender); });
  readWriteButton_->awakeFromNib();
}

void QKLocalPresetView::prepareToBeDeleted() {
  removePresets(0);
  if (readWriteButton_) readWriteButton_->prepareToBeDeleted();
}

// --- Presets ---------------------------------------------------------------------------

void QKLocalPresetView::setCapacityTo(int count) {
  const auto wanted = static_cast<size_t>(std::clamp(count, 0, kMaxPresets));
  while (itemArray_.size() < wanted) addButtonWithSnapshot(std::nullopt);
  removePresets(wanted);
  resizeButtons();
}

QKLocalPresetButton* QKLocalPresetView::appendButton() {
  auto* button = QKLocalPresetButton::createWithFrame(QRectF(10, 10, width() - 25, 30), this);
  button->setTriggerOnMain(true);
  itemArray_.emplace_back(button);
  button->setButtonType(1);
  button->setTriggerMode(1);
  const QString number = QString::number(itemArray_.size());
  button->setTitle(number);
  button->setTitle2(number);
  button->setTarget(alive_);
  button->setAction([this](QKButtonCell& sender) { buttonUsed(sender); });
  button->show();
  button->awakeFromNib();
  return button;
}

QKLocalPresetButton* QKLocalPresetView::addButtonWithSnapshot(std::optional<QVariantMap> state) {
  QKLocalPresetButton* button = appendButton();
  button->setStoredSnapshot(std::move(state));
  return button;
}

QKLocalPresetButton* QKLocalPresetView::addButtonFromSnapshot(const QVariantMap& snapshot) {
  QKLocalPresetButton* button = appendButton();
  if (!snapshot.isEmpty()) button->loadSnapshot(snapshot, false);
  return button;
}

void QKLocalPresetView::removePresets(size_t from) {
  for (size_t index = from; index < itemArray_.size(); ++index) {
    if (QKLocalPresetButton* button = itemArray_[index]) button->retire();
  }
  if (from < itemArray_.size()) itemArray_.resize(from);
  update();
}

// --- Recall and store ---------------------------------------------------------------------

void QKLocalPresetView::buttonUsed(QKButtonCell& sender) {
  if (readWriteButton_ && readWriteButton_->cell().get() == &sender) return;
  const int index = QKButton::indexOfCell(itemArray_, sender);
  if (index < 0) return;
  QKLocalPresetButton* button = itemArray_[static_cast<size_t>(index)];
  const bool command = ModifierKeys::fromFlags(sender.modifiersOnClick()).command();
  const bool writing = readWriteButton_ && readWriteButton_->intValue() == 1;
  if (!command && !writing) {
    const auto stored = button->storedSnapshot();
    if (stored && target_) {
      target_->loadLocalSnapshot(*stored);
      indexOfCurrentPreset_ = index;
    }
  } else if (target_) {
    button->setStoredSnapshot(target_->createLocalSnapshot());
    indexOfCurrentPreset_ = index;
  }
  updateButtonStates();
}

void QKLocalPresetView::updateButtonStates() {
  QKButton::lightOnly(itemArray_, indexOfCurrentPreset_);
}

// --- Layout and drawing -------------------------------------------------------------------

void QKLocalPresetView::resizeButtons() {
  double x = readWriteButton_ ? readWriteButton_->geometry().right() + 1 : 0;
  if (itemArray_.empty()) return;
  const double each = std::clamp((width() - x) / static_cast<double>(itemArray_.size()),
                                 kMinButtonWidth, kMaxButtonWidth);
  for (const auto& button : itemArray_) {
    const int left = static_cast<int>(std::lround(x));
    const int right = static_cast<int>(std::lround(x + each));
    if (button) button->setFrame(QRectF(left, 0, right - left, height()));
    x += each;
  }
}

void QKLocalPresetView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (readWriteButton_) readWriteButton_->setFrame(QRectF(0, 0, kToggleWidth, height()));
  resizeButtons();
  update();
}

QColor QKLocalPresetView::backgroundColor() const {
  for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget())
    if (auto* content = qobject_cast<QKWindowContentView*>(ancestor))
      return content->backgroundColor();
  return QColor::fromRgbF(0.17f, 0.17f, 0.17f);
}

void QKLocalPresetView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(rect(), backgroundColor());
  if (!itemArray_.empty()) return;
  const QVariantMap label = ThemeDict::labelColors();
  painter.setFont(ThemeDict::font(label, InterfaceColorScheme::kFontAttribute, font()));
  painter.setPen(ThemeDict::color(label, InterfaceColorScheme::kForegroundColorAttribute,
                                  palette().color(QPalette::WindowText)));
  // Right of the toggle, which would hide the start of the text.
  const QRect area = event->rect().adjusted(kToggleWidth + 2, 0, 0, 0);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("No Local Presets"));
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap QKLocalPresetView::createSnapshot() const {
  QVariantMap snapshot;
  if (readWriteButton_) {
    const QVariantMap toggle = readWriteButton_->createSnapshot();
    if (!toggle.isEmpty()) snapshot.insert(kReadWriteButton, toggle);
  }
  if (itemArray_.empty()) return snapshot;
  QVariantList items;
  for (const auto& button : itemArray_)
    if (button) items.append(button->createSnapshot());
  snapshot.insert(kItemArray, items);
  return snapshot;
}

void QKLocalPresetView::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant toggle = snapshot.value(kReadWriteButton);
  if (readWriteButton_ && toggle.typeId() == QMetaType::QVariantMap)
    readWriteButton_->loadSnapshot(toggle.toMap());
  const QVariant items = snapshot.value(kItemArray);
  if (!items.isValid()) {
    Log::line("\t\terr: itemArray was nil");
  } else if (items.typeId() != QMetaType::QVariantList) {
    Log::line("\t\terr: itemArray is not an array; the presets stay as they are");
  } else {
    removePresets(0);
    for (const QVariant& item : items.toList()) {
      if (item.typeId() != QMetaType::QVariantMap) {
        Log::line("\t\terr: skipped a preset that is not a dictionary");
      } else if (itemArray_.size() >= static_cast<size_t>(kMaxPresets)) {
        Log::line(QStringLiteral("\t\terr: a strip holds %1 presets at most; the rest skipped")
                      .arg(kMaxPresets));
        break;
      } else {
        addButtonFromSnapshot(item.toMap());
      }
    }
  }
  resizeButtons();
  update();
}
