#include "framework/params/QCPanelStack.h"

#include "framework/params/QCElementHandOff.h"

#include <QWidget>

#include <algorithm>

void QCPanelStack::layOut(const Elements& elements, int width, QWidget& panel) {
  int height = 0;
  for (const auto& element : elements)
    if (const int rowHeight = QCPanelElement::rowHeight(element->row()))
      height += rowHeight + QCPanelElement::kRowGap;
  panel.setGeometry(0, 0, width, std::max(0, height - QCPanelElement::kRowGap));
  int y = 0;
  for (const auto& element : elements) {
    const int rowHeight = QCPanelElement::rowHeight(element->row());
    if (!rowHeight) continue;
    const int inset = QCPanelElement::rowInset(element->row());
    element->setFrame(QRectF(inset, y, width - 2 * inset, rowHeight));
    y += rowHeight + QCPanelElement::kRowGap;
  }
}

QCPanelElement::Callback QCPanelStack::queueingAction(
    const std::shared_ptr<QCPanelElement>& element,
    const std::shared_ptr<QCElementHandOff>& handOff,
    std::shared_ptr<std::atomic<bool>> accepting) {
  std::weak_ptr<QCPanelElement> weakElement = element;
  std::weak_ptr<QCElementHandOff> weakHandOff = handOff;
  return [weakElement, weakHandOff, accepting] {
    if (!accepting->load()) return;
    auto queue = weakHandOff.lock();
    auto used = weakElement.lock();
    if (queue && used) queue->queue(used);
  };
}

std::shared_ptr<QCPanelElement> QCPanelStack::find(const Elements& elements, const QString& key) {
  if (key.isEmpty()) return nullptr;
  for (const auto& element : elements)
    if (element->key() == key) return element;
  return nullptr;
}

void QCPanelStack::retire(Elements& elements) {
  for (const auto& element : elements) {
    element->setAction(nullptr);
    element->setSnapshotNotice(nullptr);
    element->prepareToBeDeleted();
    if (QWidget* view = element->view()) {
      view->hide();
      view->deleteLater();
    }
  }
  elements.clear();
}
