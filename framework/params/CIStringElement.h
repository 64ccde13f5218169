#pragma once

#include "framework/params/QCElementCallbacks.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCPanelElement.h"

#include <QLineEdit>
#include <QPointer>

#include <memory>
#include <mutex>

// The text field of a composition's string input: its text is handed on
// when the performer ends an edit (Return or leaving the field), and on a
// snapshot load. The text is kept for any thread to read. Snapshot:
// "stringValue", "title", "key".
class CIStringElement : public QCPanelElement,
                        public std::enable_shared_from_this<CIStringElement> {
 public:
  // The field of a request: frame (0, 0, panel width, 60), "defaultVal" as
  // its text when present.
  static std::shared_ptr<CIStringElement> create(const QCElementFactories::Request& request);
  static std::shared_ptr<CIStringElement> create(const QRectF& frame, QWidget* parent);

  QLineEdit* field() const { return field_.data(); }
  void setStringValue(const QString& text);
  QString stringValue() const;
  void setTitle(const QString& title);
  QString title() const;
  void setKey(const QString& key);

  QString key() const override;
  QWidget* view() const override { return field_.data(); }
  Row row() const override { return Row::String; }
  std::optional<composition::PortValue> value() const override;
  bool snapshotAfterDelivery(bool) const override { return true; }
  void setAction(Callback action) override { callbacks_.setAction(std::move(action)); }
  void setSnapshotNotice(Callback notice) override {
    callbacks_.setSnapshotNotice(std::move(notice));
  }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  QString legacyName() const override { return title(); }
  void prepareToBeDeleted() override { callbacks_.clear(); }

 private:
  CIStringElement(const QRectF& frame, QWidget* parent);
  void wire();
  void editingFinished();

  QPointer<QLineEdit> field_;
  mutable std::mutex mutex_;
  QString text_;   // under mutex_
  QString title_;  // under mutex_
  QString key_;    // under mutex_
  QCElementCallbacks callbacks_;
};
