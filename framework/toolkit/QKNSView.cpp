#include "framework/toolkit/QKNSView.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/ControllerFinder.h"

QKNSView::QKNSView(QWidget* parent) : QWidget(parent) { findController(); }

void QKNSView::focusInEvent(QFocusEvent* event) {
  if (!controller_) findController();
  if (controller_) controller_->deselectEverything();
  QWidget::focusInEvent(event);
}

void QKNSView::findController() { findDataSourceController(this); }
