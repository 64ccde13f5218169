#include "app/plugins/sticky/StickyWindowContentView.h"

#include "app/plugins/sticky/Sticky.h"
#include "app/plugins/sticky/StickyTextView.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/ThemeDict.h"

const QString StickyWindowContentView::kRedrawLabelsNotification =
    QStringLiteral("QKRedrawLabelsNotification");

StickyWindowContentView::StickyWindowContentView(Sticky* sticky, QWidget* parent)
    : QKWindowContentView(parent), sticky_(sticky) {}

StickyWindowContentView::~StickyWindowContentView() { labelObservers_.clear(); }

void StickyWindowContentView::awakeFromNib() {
  QKWindowContentView::awakeFromNib();
  labelObservers_.observe(kRedrawLabelsNotification, nullptr,
                          [this](const Notification&) { setColorsFromWindowProps(); });
  setColorsFromWindowProps();
}

void StickyWindowContentView::prepareToBeDeleted() {
  labelObservers_.clear();
  QKWindowContentView::prepareToBeDeleted();
}

void StickyWindowContentView::windowLockedNotification(const Notification& notification) {
  QKWindowContentView::windowLockedNotification(notification);
  setColorsFromWindowProps();
  if (sticky_ && sticky_->stickyText()) sticky_->stickyText()->lockChanged();
  setFocus(Qt::OtherFocusReason);
}

void StickyWindowContentView::setColorsFromWindowProps() {
  StickyTextView* text = sticky_ ? sticky_->stickyText() : nullptr;
  if (!text) return;
  if (locked()) {
    const QVariantMap attributes =
        ThemeDict::map(ThemeDict::map(ThemeDict::pluginColors(), Sticky::kTypeName),
                       QStringLiteral("textAttribsDict"));
    text->setBackgroundColor(backgroundColor());
    text->setTextColor(
        ThemeDict::color(attributes, InterfaceColorScheme::kForegroundColorAttribute));
  } else {
    text->setBackgroundColor(Qt::white);
    text->setTextColor(Qt::black);
  }
  text->viewport()->update();
  setNeedsDisplay();
}
