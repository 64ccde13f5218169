#include "framework/params/QCElementFactories.h"

#include "framework/params/QCButtonElement.h"
#include "framework/params/QCSliderElement.h"
#include "framework/params/QCTabViewElement.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKSliderControl.h"

namespace {

template <class Widget>
QCElementFactories::FormWidgetMaker makerOf() {
  return [](QWidget* parent) -> QWidget* { return new Widget(parent); };
}

}  // namespace

QCElementFactories::QCElementFactories() {
  factories_[Kind::Slider] = [](const Request& request) {
    return QCSliderElement::create(request, false);
  };
  factories_[Kind::LogSlider] = [](const Request& request) {
    return QCSliderElement::create(request, true);
  };
  factories_[Kind::Button] = [](const Request& request) {
    return QCButtonElement::create(request);
  };
  adopters_.push_back([](QWidget* found, const Request& request) {
    return QCSliderElement::adopt(found, request);
  });
  adopters_.push_back([](QWidget* found, const Request& request) {
    return QCButtonElement::adopt(found, request);
  });
  adopters_.push_back([](QWidget* found, const Request& request) {
    return QCTabViewElement::adopt(found, request.key, true);
  });
  formWidgets_[QStringLiteral("QKSliderControl")] = makerOf<QKSliderControl>();
  formWidgets_[QStringLiteral("QKLogSliderControl")] = makerOf<QKLogSliderControl>();
  formWidgets_[QStringLiteral("QKButton")] = makerOf<QKButton>();
  formWidgets_[QStringLiteral("QKNSTabView")] = makerOf<QKNSTabView>();
  installPanelElementKinds();
}

QCElementFactories& QCElementFactories::shared() {
  static QCElementFactories factories;
  return factories;
}

void QCElementFactories::registerFactory(Kind kind, Factory factory) {
  QCElementFactories& self = shared();
  std::lock_guard lock(self.mutex_);
  self.factories_[kind] = std::move(factory);
}

bool QCElementFactories::hasFactory(Kind kind) {
  QCElementFactories& self = shared();
  std::lock_guard lock(self.mutex_);
  auto found = self.factories_.find(kind);
  return found != self.factories_.end() && found->second;
}

std::shared_ptr<QCPanelElement> QCElementFactories::create(const Request& request) {
  Factory factory;
  {
    QCElementFactories& self = shared();
    std::lock_guard lock(self.mutex_);
    auto found = self.factories_.find(request.kind);
    if (found == self.factories_.end()) return nullptr;
    factory = found->second;
  }
  return factory ? factory(request) : nullptr;
}

void QCElementFactories::registerAdopter(Adopter adopter) {
  QCElementFactories& self = shared();
  std::lock_guard lock(self.mutex_);
  self.adopters_.push_back(std::move(adopter));
}

std::shared_ptr<QCPanelElement> QCElementFactories::adopt(QWidget* found, const Request& request) {
  if (!found) return nullptr;
  std::vector<Adopter> adopters;
  {
    QCElementFactories& self = shared();
    std::lock_guard lock(self.mutex_);
    adopters = self.adopters_;
  }
  for (const Adopter& adopter : adopters)
    if (auto element = adopter ? adopter(found, request) : nullptr) return element;
  return nullptr;
}

void QCElementFactories::registerFormWidget(const QString& className, FormWidgetMaker maker) {
  QCElementFactories& self = shared();
  std::lock_guard lock(self.mutex_);
  self.formWidgets_[className] = std::move(maker);
}

QWidget* QCElementFactories::createFormWidget(const QString& className, QWidget* parent) {
  FormWidgetMaker maker;
  {
    QCElementFactories& self = shared();
    std::lock_guard lock(self.mutex_);
    maker = self.formWidgets_.value(className);
  }
  return maker ? maker(parent) : nullptr;
}

QString QCElementFactories::kindName(Kind kind) {
  switch (kind) {
    case Kind::Slider:
      return QStringLiteral("slider");
    case Kind::LogSlider:
      return QStringLiteral("log slider");
    case Kind::Button:
      return QStringLiteral("button");
    case Kind::String:
      return QStringLiteral("string");
    case Kind::Text:
      return QStringLiteral("text");
    case Kind::FontMenu:
      return QStringLiteral("font menu");
    case Kind::Color:
      return QStringLiteral("colour");
    case Kind::Position:
      return QStringLiteral("position");
    case Kind::Rectangle:
      return QStringLiteral("rectangle");
    case Kind::Tap:
      return QStringLiteral("tap");
    case Kind::IndexMenu:
      return QStringLiteral("index menu");
  }
  return QString();
}
