#include "app/sources/LayerWinRTapMenuController.h"

#include "app/compositor/Layer.h"
#include "app/compositor/LayerWindowController.h"

#include <QAction>
#include <QMenu>

LayerWinRTapMenuController::LayerWinRTapMenuController(LayerWindowController* window,
                                                       QObject* parent)
    : QKRTapMenuController(parent), window_(window) {
  setMyAction([this] { sendChosenTap(); });
}

bool LayerWinRTapMenuController::useTapNamed(LayerWindowController* window, const QString& name) {
  if (name.isEmpty() || !window) return false;
  Layer* layer = window->currentlyDisplayedLayer();
  return layer && layer->useTapNamed(name);
}

void LayerWinRTapMenuController::sendChosenTap() { useTapNamed(window_, lastSelectedName()); }

void LayerWinRTapMenuController::show() {
  if (button()) button()->show();
}

void LayerWinRTapMenuController::hide() {
  if (button()) button()->hide();
}

void LayerWinRTapMenuController::passivelySelectTapNamed(const QString& name) {
  QKNSPopUpButton* popUp = button();
  if (!popUp || !popUp->menu()) {
    setLastSelectedName(QString());
    return;
  }
  QAction* found = nullptr;
  for (QAction* item : popUp->menu()->actions())
    if (!name.isEmpty() && item->data().toString() == name) found = item;
  if (!found && !popUp->menu()->actions().isEmpty()) found = popUp->menu()->actions().first();
  popUp->selectItem(found);
  setLastSelectedName(found ? found->data().toString() : QString());
}
