#include "framework/params/QCElementFactories.h"

#include "framework/params/QCButtonElement.h"
#include "framework/params/QCSliderElement.h"

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
