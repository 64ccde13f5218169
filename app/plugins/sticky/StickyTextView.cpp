#include "app/plugins/sticky/StickyTextView.h"

#include "app/plugins/sticky/Sticky.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>

StickyTextView::StickyTextView(Sticky* sticky, QWidget* parent)
    : QPlainTextEdit(parent), sticky_(sticky) {
  setFrameShape(QFrame::NoFrame);
}

bool StickyTextView::locked() const {
  const QKWindowContentView* content = QKWindowContentView::enclosing(this);
  return content && content->locked();
}

bool StickyTextView::acceptsFirstResponder() const { return !locked(); }

void StickyTextView::lockChanged() {
  const bool refuse = locked();
  setFocusPolicy(refuse ? Qt::NoFocus : Qt::StrongFocus);
  setTextInteractionFlags(refuse ? Qt::NoTextInteraction : Qt::TextEditorInteraction);
  if (refuse && hasFocus()) clearFocus();
}

void StickyTextView::setBackgroundColor(const QColor& color) {
  QPalette colors = palette();
  colors.setColor(QPalette::Base, color);
  setPalette(colors);
}

void StickyTextView::setTextColor(const QColor& color) {
  QPalette colors = palette();
  colors.setColor(QPalette::Text,
                  color.isValid() ? color : QApplication::palette().color(QPalette::Text));
  setPalette(colors);
}

QColor StickyTextView::backgroundColor() const { return palette().color(QPalette::Base); }

QColor StickyTextView::textColor() const { return palette().color(QPalette::Text); }

void StickyTextView::focusInEvent(QFocusEvent* event) {
  if (!acceptsFirstResponder()) {
    clearFocus();
    return;
  }
  QPlainTextEdit::focusInEvent(event);
}

void StickyTextView::mousePressEvent(QMouseEvent* event) {
  if (!acceptsFirstResponder()) {
    event->ignore();
    return;
  }
  if (QWidget* top = window()) top->activateWindow();
  QPlainTextEdit::mousePressEvent(event);
}
