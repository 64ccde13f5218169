#include "platform/composition/PortType.h"

#include <array>
#include <utility>

namespace composition {

namespace {

constexpr std::array<std::pair<PortType, const char*>, 7> kPortClasses{{
    {PortType::Number, "QCNumberPort"},
    {PortType::Boolean, "QCBooleanPort"},
    {PortType::String, "QCStringPort"},
    {PortType::Color, "QCColorPort"},
    {PortType::Index, "QCIndexPort"},
    {PortType::Structure, "QCStructurePort"},
    {PortType::Image, "QCGLImagePort"},
}};

}  // namespace

std::optional<PortType> portTypeFromClass(const QString& portClass) {
  for (const auto& [type, name] : kPortClasses)
    if (portClass == QLatin1String(name)) return type;
  return std::nullopt;
}

QString portClassName(PortType type) {
  for (const auto& [candidate, name] : kPortClasses)
    if (candidate == type) return QString::fromLatin1(name);
  return {};
}

}  // namespace composition
