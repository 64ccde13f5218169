#pragma once

#include "framework/controls/QKNSTabViewDelegate.h"
#include "framework/params/QCElementCallbacks.h"
#include "framework/params/QCPanelElement.h"

#include <QPointer>

#include <atomic>
#include <memory>
#include <mutex>

class QKNSTabView;

// A learnable tab view (QKNSTabView) of a Designer-form panel. Bound to an
// index input it hands the selected tab's index to the renderer; a tab view
// bound to no input only keeps its tabs' buttons in the panel's snapshots.
// The index is kept beside the view when the tab changes (on the main
// thread), so the render thread reads it without touching the view.
class QCTabViewElement : public QCPanelElement,
                         public QKNSTabViewDelegate,
                         public std::enable_shared_from_this<QCTabViewElement> {
 public:
  // The element of a form's tab view, known by `key` (set on the view when
  // not empty); gives the tabs their buttons when they have none. Null for
  // another control.
  static std::shared_ptr<QCTabViewElement> adopt(QWidget* found, const QString& key, bool bound);
  ~QCTabViewElement() override;

  QKNSTabView* tabView() const;
  bool bound() const { return bound_; }

  QString key() const override { return key_; }
  QWidget* view() const override;
  // The form places it.
  Row row() const override { return Row::None; }
  void setFrame(const QRectF&) override {}
  std::optional<composition::PortValue> value() const override;
  bool snapshotAfterDelivery(bool) const override { return true; }
  void setAction(Callback action) override;
  void setSnapshotNotice(Callback notice) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  QString legacyName() const override { return key_; }
  void prepareToBeDeleted() override;

  // --- QKNSTabViewDelegate ---
  void tabViewElementChanged(QKNSTabView&) override { fire(true); }

 private:
  QCTabViewElement(QKNSTabView* tabView, QString key, bool bound);
  void wire();
  void fire(bool snapshotNotice) const;

  QPointer<QKNSTabView> tabView_;
  const QString key_;
  const bool bound_;
  std::atomic<int> index_{-1};
  QCElementCallbacks callbacks_;
};
