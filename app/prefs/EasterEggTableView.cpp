#include "app/prefs/EasterEggTableView.h"

#include <QMouseEvent>

EasterEggTableView::EasterEggTableView(QWidget* parent) : QTableView(parent) {}

// Recorded before the press selects, so the selection's handler reads it.
void EasterEggTableView::mousePressEvent(QMouseEvent* event) {
  modifiersOnClick_ = event->modifiers();
  QTableView::mousePressEvent(event);
}
