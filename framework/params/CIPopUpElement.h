#pragma once

#include "framework/params/QCBoxedElement.h"
#include "framework/params/QCElementFactories.h"

#include <QPointer>
#include <QStringList>

#include <memory>
#include <mutex>

class QKNSPopUpButton;

// A titled pop-up of a composition panel: an index input's labels or
// numbers (key type "QCPortTypeIndex": the selected item's index is handed
// on) or a font input's font names ("QCPortTypeString": its title). A
// choice reaches the owner on the next pass of the event loop. The
// selection is kept for any thread to read. Snapshot: "keyType", "title",
// "titleOfSelectedItem", "key".
class CIPopUpElement : public QCBoxedElement, public std::enable_shared_from_this<CIPopUpElement> {
 public:
  static const QString kIndexType;   // "QCPortTypeIndex"
  static const QString kStringType;  // "QCPortTypeString"
  // A separator in a local menu.
  static const QString kSeparator;  // "-"

  // An index menu (IndexMenu) or a font menu (FontMenu) for the request.
  static std::shared_ptr<CIPopUpElement> create(const QCElementFactories::Request& request);
  // An empty element in `parent`, awake.
  static std::shared_ptr<CIPopUpElement> create(const QRectF& frame, QWidget* parent);

  // Keeps the selected title: the new menu selects it again, or its first
  // item when it lacks it.
  void setLocalMenu(const QStringList& items);
  QStringList localMenu() const { return items_; }
  void selectItemAtIndex(int index);
  void setKeyType(const QString& type);
  QString keyType() const;
  QKNSPopUpButton* button() const { return button_; }
  int indexOfSelectedItem() const;
  QString titleOfSelectedItem() const;
  // The pop-up's action: the owner is told on the next event-loop pass.
  void menuUsed();

  Row row() const override { return Row::PopUp; }
  std::optional<composition::PortValue> value() const override;
  bool snapshotAfterDelivery(bool) const override { return true; }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

 private:
  CIPopUpElement(const QRectF& frame, QWidget* parent);
  void awakeFromNib();
  // The selection into the model the render thread reads.
  void keepSelection();

  QKNSPopUpButton* button_ = nullptr;
  QStringList items_;
  mutable std::mutex mutex_;
  QString keyType_;         // under mutex_
  int selectedIndex_ = -1;  // under mutex_
  QString selectedTitle_;   // under mutex_
};
