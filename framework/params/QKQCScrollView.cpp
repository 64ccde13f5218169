#include "framework/params/QKQCScrollView.h"

#include "framework/params/QCAttributeLoader.h"

#include <QScrollBar>

#include <algorithm>

QKQCScrollView::QKQCScrollView(QWidget* parent) : QKScrollView(parent) {
  setWidgetResizable(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QKQCScrollView::~QKQCScrollView() {
  if (documentView()) takeWidget();
}

void QKQCScrollView::setDocumentView(QCAttributeLoader* loader) {
  if (documentView() && documentView() != loader) takeWidget();
  if (!loader) return;
  setWidget(loader);
  loader->setParentScrollView(this);
  updateContents();
}

QCAttributeLoader* QKQCScrollView::documentView() const {
  return qobject_cast<QCAttributeLoader*>(widget());
}

void QKQCScrollView::setFrame(const QRect& frame) {
  setGeometry(frame);
  updateContents();
}

void QKQCScrollView::updateContents() {
  QCAttributeLoader* loader = documentView();
  if (!loader || updating_ || loader->deleted()) return;
  updating_ = true;
  if (QWidget* form = loader->topNibView()) {
    const QSizeF native = loader->topNibViewNativeSize();
    setHorizontalScrollBarPolicy(native.width() > width() ? Qt::ScrollBarAlwaysOn
                                                          : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(native.height() > height() ? Qt::ScrollBarAlwaysOn
                                                          : Qt::ScrollBarAlwaysOff);
    const QSize visible = viewport()->size();
    const QRect frame(0, 0, std::max(visible.width(), int(native.width())),
                      std::max(visible.height(), int(native.height())));
    form->setGeometry(frame);
    loader->setGeometry(frame);
  } else {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    loader->resizeAndReposition();
  }
  updating_ = false;
}

void QKQCScrollView::resizeEvent(QResizeEvent* event) {
  QKScrollView::resizeEvent(event);
  updateContents();
}
