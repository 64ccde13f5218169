#pragma once

#include "framework/params/QCElementFactories.h"
#include "framework/params/QCElementCallbacks.h"
#include "framework/params/QCPanelElement.h"

#include <QPointer>

#include <memory>
#include <mutex>

class QKSliderCell;
class QKSliderControl;

// A number input's slider (QKSliderControl, or QKLogSliderControl for keys
// naming a log slider). Its value is the cell's ranged value, which any
// thread may read.
class QCSliderElement : public QCPanelElement,
                        public std::enable_shared_from_this<QCSliderElement> {
 public:
  // The slider of the request, its range and starting value from
  // "inputMin", "inputMax" and "defaultVal" (0 when absent).
  static std::shared_ptr<QCSliderElement> create(const QCElementFactories::Request& request,
                                                 bool logarithmic);
  // A form's slider (either kind) found under the request's key, set up the
  // same way; null for another control.
  static std::shared_ptr<QCSliderElement> adopt(QWidget* found,
                                                const QCElementFactories::Request& request);
  ~QCSliderElement() override;

  QKSliderControl* slider() const;

  QString key() const override { return key_; }
  QWidget* view() const override;
  Row row() const override { return Row::Slider; }
  void setFrame(const QRectF& frame) override;
  std::optional<composition::PortValue> value() const override;
  // Unless the slider follows a data source.
  bool snapshotAfterDelivery(bool keyListed) const override;
  void setAction(Callback action) override;
  void setSnapshotNotice(Callback notice) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  QString legacyNameKey() const override { return QStringLiteral("sliderName"); }
  QString legacyName() const override;
  void prepareToBeDeleted() override;

 private:
  class Notices;
  QCSliderElement(QKSliderControl* slider, QString key);
  void wire();
  void fire(bool snapshotNotice) const;

  QPointer<QKSliderControl> slider_;
  std::shared_ptr<QKSliderCell> cell_;
  const QString key_;
  std::shared_ptr<Notices> notices_;
  QCElementCallbacks callbacks_;
};
