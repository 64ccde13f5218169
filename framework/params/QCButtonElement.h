#pragma once

#include "framework/controls/QKButtonCellDelegate.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCElementCallbacks.h"
#include "framework/params/QCPanelElement.h"

#include <QPointer>

#include <memory>
#include <mutex>

class QKButton;
class QKButtonCell;

// A boolean input's toggle button (edge-triggered), titled with the key in
// both states. Its value is true while the cell's value is 1, which any
// thread may read.
class QCButtonElement : public QCPanelElement,
                        public QKButtonCellDelegate,
                        public std::enable_shared_from_this<QCButtonElement> {
 public:
  // The button of the request, set to "defaultVal" (0 when absent).
  static std::shared_ptr<QCButtonElement> create(const QCElementFactories::Request& request);
  // A form's button found under the request's key (it keeps the form's
  // titles and modes); null for another control.
  static std::shared_ptr<QCButtonElement> adopt(QWidget* found,
                                                const QCElementFactories::Request& request);
  ~QCButtonElement() override;

  QKButton* button() const;

  QString key() const override { return key_; }
  QWidget* view() const override;
  Row row() const override { return Row::Button; }
  void setFrame(const QRectF& frame) override;
  std::optional<composition::PortValue> value() const override;
  bool snapshotAfterDelivery(bool) const override { return true; }
  void setAction(Callback action) override;
  void setSnapshotNotice(Callback notice) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  QString legacyName() const override;
  void prepareToBeDeleted() override;

  // --- QKButtonCellDelegate ---
  void QKButtonSyncFlagChanged(QKButtonCell&) override { fire(true); }
  void QKButtonUIStateChanged(QKButtonCell&) override { fire(true); }
  void QKButtonThreshValChanged(QKButtonCell&) override { fire(true); }

 private:
  QCButtonElement(QKButton* button, QString key);
  void wire();
  void fire(bool snapshotNotice) const;

  QPointer<QKButton> button_;
  std::shared_ptr<QKButtonCell> cell_;
  const QString key_;
  QCElementCallbacks callbacks_;
};
