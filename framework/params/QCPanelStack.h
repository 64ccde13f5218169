#pragma once

#include "framework/params/QCPanelElement.h"

#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class QCElementHandOff;
class QWidget;

// What the composition and filter panels do alike with their stack of
// elements: lay it out, queue an element's changes for the render thread,
// find an element, let the elements go. Main thread, except the action.
class QCPanelStack {
 public:
  using Elements = std::vector<std::shared_ptr<QCPanelElement>>;

  // The panel becomes (0, 0, width, the rows' heights with their gaps) and
  // the elements are stacked top to bottom in its coordinates.
  static void layOut(const Elements& elements, int width, QWidget& panel);
  // The action of a panel's element (any thread): queues it in the hand-off
  // while `accepting` is set; the element and the hand-off are held weakly.
  static QCPanelElement::Callback queueingAction(const std::shared_ptr<QCPanelElement>& element,
                                                 const std::shared_ptr<QCElementHandOff>& handOff,
                                                 std::shared_ptr<std::atomic<bool>> accepting);
  // The first element of that key; null for an empty key.
  static std::shared_ptr<QCPanelElement> find(const Elements& elements, const QString& key);
  // Every element loses its callbacks and is prepared for deletion; its view
  // hides and goes at the next event-loop pass. The list is emptied.
  static void retire(Elements& elements);
};
