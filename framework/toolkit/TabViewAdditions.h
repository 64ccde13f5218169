#pragma once

class QTabWidget;

namespace TabViewAdditions {

// The index of the selected tab; −1 when there is none.
int indexOfSelectedTabViewItem(const QTabWidget* tabView);

}  // namespace TabViewAdditions
