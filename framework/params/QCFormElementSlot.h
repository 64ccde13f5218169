#pragma once

#include "framework/params/QCElementFactories.h"

#include <QString>
#include <QWidget>

#include <memory>

class QCPanelElement;

// The place of a boxed panel element (colour, position, rectangle, pop-up,
// tap) in a Designer form. The form names one of the element classes
// ("CIColorElement", "CIPositionElement", "CIRectangleElement",
// "CIPopUpElement", "QCTapElement") or "QCFormElementSlot" for any of them,
// with the input's "key"; the panel makes the element its input asks for
// and puts the element's box where the slot was, with the slot's geometry,
// name and place in its layout. Main thread.
class QCFormElementSlot : public QWidget {
  Q_OBJECT
 public:
  // The class named in the form; empty for the generic slot.
  explicit QCFormElementSlot(const QString& elementClass, QWidget* parent = nullptr);

  const QString& elementClass() const { return elementClass_; }

  // The element class names a form may use, the generic slot's last.
  static QStringList classNames();
  // The element class that shows inputs of that kind; empty for kinds
  // without a boxed element.
  static QString elementClassFor(QCElementFactories::Kind kind);
  // The adopter: null when `found` is not a slot or names another element
  // class than the input's kind asks for.
  static std::shared_ptr<QCPanelElement> adopt(QWidget* found,
                                               const QCElementFactories::Request& request);

 private:
  QString elementClass_;
};
