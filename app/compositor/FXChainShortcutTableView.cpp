#include "app/compositor/FXChainShortcutTableView.h"

#include <QEvent>

FXChainShortcutTableView::FXChainShortcutTableView(QWidget* parent)
    : ActiveDeleteTableView(parent) {
  applyHighlight();
}

// The theme sets the table's palette again on every redraw notification.
void FXChainShortcutTableView::changeEvent(QEvent* event) {
  ActiveDeleteTableView::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) applyHighlight();
}

void FXChainShortcutTableView::applyHighlight() {
  QPalette colours = palette();
  bool changed = false;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    if (colours.color(group, QPalette::Highlight) == highlightColor()) continue;
    colours.setColor(group, QPalette::Highlight, highlightColor());
    changed = true;
  }
  if (changed) setPalette(colours);
}
