#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/sticky/StickyTextView.h"
#include "framework/toolkit/QKPlugin.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QString>

class StickyTextView;

// The "Sticky" plug-in: a note of the performer's own text inside the
// project. Its text and the text's font are saved with the plug-ins'
// snapshots; its colours follow the interface lock (white paper while
// unlocked, the window's fill and the theme's text colour while locked)
// and the colour theme. It publishes nothing. Main thread only.
class Sticky : public QKPlugin, public QKWindowDelegate {
  Q_OBJECT
 public:
  static const QString kTypeName;                   // "Sticky"
  static const QString kComponentName;              // "stickyText"
  static const QString kStickyStringKey;            // "stickyString"
  static const QString kFontNameKey;                // "fontName"
  static const QString kFontSizeKey;                // "fontSize"
  static const QString kRedrawPluginsNotification;  // "QKRedrawPluginsNotification"
  static constexpr double kMinFontSize = 1.0;
  static constexpr double kMaxFontSize = 512.0;

  Sticky(const QString& type, const QString& name, std::int32_t uniqueID);
  ~Sticky() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  StickyTextView* stickyText() const { return stickyText_; }
  void redisplayMethod();
  void forceRedrawNotification();
  void QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) override;

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void loadComponent(const QVariantMap& component);

  QPointer<StickyTextView> stickyText_;
  NotificationObservers observers_;
};
