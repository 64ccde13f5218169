#pragma once

#include <QString>

#include <cstdint>

class QKPlugin;
class QObject;
class QWidget;

// What a plug-in bundle exports. A bundle is a folder "<Name>.bundle" in a
// "plugins" folder holding the shared object "<Name>.so", which defines, with
// C linkage and default visibility:
//   const int zaph_plugin_abi_version = kZaphPluginAbiVersion;
//   QKPlugin* zaph_plugin_create(const QString* type, const QString* name,
//                                std::int32_t uniqueID);
//   QWidget* zaph_plugin_window(QObject* plugin);
// `zaph_plugin_create` constructs the plug-in (owned by the caller from then
// on; null to refuse); `zaph_plugin_window` builds its window (a QKWindow
// with its content view), as a layout does. A bundle of another ABI version
// is not loaded.
inline constexpr int kZaphPluginAbiVersion = 1;

extern "C" {
using ZaphPluginCreateFunction = QKPlugin* (*)(const QString* type, const QString* name,
                                               std::int32_t uniqueID);
using ZaphPluginWindowFunction = QWidget* (*)(QObject* plugin);
}

inline constexpr char kZaphPluginAbiVersionSymbol[] = "zaph_plugin_abi_version";
inline constexpr char kZaphPluginCreateSymbol[] = "zaph_plugin_create";
inline constexpr char kZaphPluginWindowSymbol[] = "zaph_plugin_window";
