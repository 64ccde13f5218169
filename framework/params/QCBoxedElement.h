#pragma once

#include "framework/params/QCElementCallbacks.h"
#include "framework/params/QCPanelElement.h"
#include "framework/params/QKElementBox.h"

#include <QPointer>

#include <mutex>

class QKNSPopUpButton;

// What the titled panel elements share: their box (the view), the input's
// key (readable from any thread), the title (the box's), and the two
// callbacks the panel gives them. Older snapshots name such an element by
// its "title".
class QCBoxedElement : public QCPanelElement {
 public:
  ~QCBoxedElement() override;

  QString key() const override;
  void setKey(const QString& key);
  QWidget* view() const override { return box_.data(); }
  QKElementBox* box() const { return box_.data(); }
  // Main thread.
  void setTitle(const QString& title);
  // Titled with the input's key, and given it.
  void setTitleAndKey(const QString& key);
  QString title() const;
  QString legacyName() const override { return title(); }
  void setAction(Callback action) override { callbacks_.setAction(std::move(action)); }
  void setSnapshotNotice(Callback notice) override {
    callbacks_.setSnapshotNotice(std::move(notice));
  }

 protected:
  QCBoxedElement(const QRectF& frame, QWidget* parent);
  // "title" always, "key" when there is one.
  void addTitleAndKey(QVariantMap& snapshot) const;
  // The title from "title", when present.
  void loadTitle(const QVariantMap& snapshot);
  // A pop-up in the box, in the title's font, the box's whole content (10
  // short of its right edge) and centred in it; the box lays it out.
  QKNSPopUpButton* addPopUpButton();

  QPointer<QKElementBox> box_;
  QCElementCallbacks callbacks_;

 private:
  mutable std::mutex keyMutex_;
  QString key_;  // under keyMutex_
};
