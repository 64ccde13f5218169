#include "framework/toolkit/TabViewAdditions.h"

#include <QTabWidget>

namespace TabViewAdditions {

int indexOfSelectedTabViewItem(const QTabWidget* tabView) {
  return tabView ? tabView->currentIndex() : -1;
}

}  // namespace TabViewAdditions
