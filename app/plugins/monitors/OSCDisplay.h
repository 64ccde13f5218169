#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/ObserverSwitch.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

struct OSCDisplayInbox;

// The "OSCDisplay" plug-in: while its box is checked, the last 16 OSC values
// that hardware learn would see ("<name> - <value>"), newest on top.
//
// The lines are kept under the inbox's lock by the OSC input thread, which
// asks for one coalesced main-thread refresh; the refresh writes the text.
// Nothing is saved but the window: a new or restored monitor starts off.
class OSCDisplay : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "OSCDisplay"
  static constexpr int kMaxLines = 16;

  OSCDisplay(const QString& type, const QString& name, std::int32_t uniqueID);
  ~OSCDisplay() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // Reads the check box: checked observes, unchecked stops.
  void checkBoxUsed();
  QCheckBox* checkBox() const { return checkBox_; }
  QString text() const;
  // The lines held now, oldest first.
  QStringList lines() const;
  // How often the text was written (tests).
  int refreshCount() const { return refreshCount_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void oscReceivedNotification(const struct Notification& notification);
  void refresh();

  std::shared_ptr<OSCDisplayInbox> inbox_;
  QPointer<QLabel> textField_;
  QPointer<QCheckBox> checkBox_;
  int refreshCount_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // Last: switched off before the rest goes.
  ObserverSwitch detect_;
};
