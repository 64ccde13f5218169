#pragma once

class QAction;

// The on (1), off (0) or mixed (-1) state of a menu item, as the inspectors'
// contextual menus show a flag over several controls. The state is kept on
// the action (where code and tests read it); on shows a check mark, mixed a
// dash, off nothing. Main thread only.
namespace MenuItemState {

void set(QAction* item, int state);
// 0 for an item whose state was never set.
int get(const QAction* item);

}  // namespace MenuItemState
