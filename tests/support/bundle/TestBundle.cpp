// A plug-in bundle as a third party would build one: the plug-in manager's
// tests copy it into a "plugins" folder (ZAPH ships none).
#include "app/plugins/manager/PluginBundleABI.h"
#include "framework/toolkit/QKPlugin.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#define ZAPH_BUNDLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class TestBundlePlugin : public QKPlugin {
 public:
  using QKPlugin::QKPlugin;
};

}  // namespace

ZAPH_BUNDLE_EXPORT const int zaph_plugin_abi_version = kZaphPluginAbiVersion;

ZAPH_BUNDLE_EXPORT QKPlugin* zaph_plugin_create(const QString* type, const QString* name,
                                                std::int32_t uniqueID) {
  return new TestBundlePlugin(*type, *name, uniqueID);
}

ZAPH_BUNDLE_EXPORT QWidget* zaph_plugin_window(QObject*) {
  auto* window = new QKWindow(QRectF(200, 300, 220, 120));
  window->setContentView(new QKWindowContentView);
  return window;
}
