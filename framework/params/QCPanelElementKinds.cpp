#include "framework/params/QCElementFactories.h"

#include "framework/params/CIColorElement.h"
#include "framework/params/CIPopUpElement.h"
#include "framework/params/CIPositionElement.h"
#include "framework/params/CIRectangleElement.h"
#include "framework/params/CIStringElement.h"
#include "framework/params/CITapElement.h"
#include "framework/params/QCFormElementSlot.h"
#include "framework/params/QKTextUI.h"

void QCElementFactories::installPanelElementKinds() {
  factories_[Kind::String] = [](const Request& request) {
    return CIStringElement::create(request);
  };
  factories_[Kind::Text] = [](const Request& request) { return QKTextUI::create(request); };
  factories_[Kind::FontMenu] = [](const Request& request) {
    return CIPopUpElement::create(request);
  };
  factories_[Kind::IndexMenu] = [](const Request& request) {
    return CIPopUpElement::create(request);
  };
  factories_[Kind::Color] = [](const Request& request) { return CIColorElement::create(request); };
  factories_[Kind::Position] = [](const Request& request) {
    return CIPositionElement::create(request);
  };
  factories_[Kind::Rectangle] = [](const Request& request) {
    return CIRectangleElement::create(request);
  };
  factories_[Kind::Tap] = [](const Request& request) { return QCTapElement::create(request); };
  adopters_.push_back([](QWidget* found, const Request& request) {
    return QCFormElementSlot::adopt(found, request);
  });
  for (const QString& className : QCFormElementSlot::classNames())
    formWidgets_[className] = [className](QWidget* parent) -> QWidget* {
      return new QCFormElementSlot(className, parent);
    };
}
