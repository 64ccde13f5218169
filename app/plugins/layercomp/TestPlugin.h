#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/toolkit/QKPlugin.h"

#include <QPointer>

// A plug-in window of one tab view whose tabs are learnable buttons, kept
// with its snapshot; its two actions do nothing. For trying the tab view
// out: the plug-in manager does not offer it. Main thread only.
class TestPlugin : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "TestPlugin"

  TestPlugin(const QString& type, const QString& name, std::int32_t uniqueID);
  ~TestPlugin() override;
  static PluginClass pluginClass();

  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  void buttonPressed() {}
  void sliderUsed() {}
  QKNSTabView* tabView() const { return tabView_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);

  QPointer<QKNSTabView> tabView_;
};
