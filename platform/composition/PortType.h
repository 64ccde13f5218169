#pragma once

#include <QString>

#include <optional>

namespace composition {

// The type of a port's values. Files name them by port class
// ("QCNumberPort" …), which stored files carry as data.
enum class PortType { Number, Boolean, String, Color, Index, Structure, Image };

// "QCNumberPort" → Number …; nothing for an unknown class.
std::optional<PortType> portTypeFromClass(const QString& portClass);
QString portClassName(PortType type);

}  // namespace composition
