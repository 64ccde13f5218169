#pragma once

#include "framework/params/QCComponentSliders.h"
#include "framework/params/QCBoxedElement.h"
#include "framework/params/QCElementFactories.h"
#include "platform/foundation/NotificationObservers.h"

#include <QColor>
#include <QPointer>

#include <atomic>
#include <memory>

class QKButton;
class QKColorUI;
class QKSliderCell;
struct Notification;

// A colour input: one slider per component ("R Slider", "G Slider",
// "B Slider", 0..1), a swatch that binds all three at once to a colour
// source (a click opens the colour-source menu), and the "Sample" toggle:
// while it is on, every colour clicked on the output or a preview window
// ("QKPrevWinClickColorNotification", the colour under "color" in its
// user info) becomes the element's colour.
//
// Slider moves may come on a data source's thread: the element then
// updates its swatch and tells its panel on the main thread, without
// waiting. The colour is read from the slider cells, so any thread may
// read it. Snapshot: "title", "rSlider", "gSlider", "bSlider",
// "sampleButton", "key".
class CIColorElement : public QCBoxedElement, public std::enable_shared_from_this<CIColorElement> {
 public:
  static const QString kClickColorNotification;  // "QKPrevWinClickColorNotification"
  static const QString kColorKey;                // "color"

  // The element of a request (90 high), its colour from "defaultVal" (a
  // colour, or a dictionary of "red", "green", "blue") when present.
  static std::shared_ptr<CIColorElement> create(const QCElementFactories::Request& request);
  // An element in `parent`, awake.
  static std::shared_ptr<CIColorElement> create(const QRectF& frame, QWidget* parent);
  ~CIColorElement() override;

  // Without output: the panel is not told.
  void setColorWithRed(float red, float green, float blue);
  void setColorFromCIColor(const QColor& colour);
  // Opaque; black while the sliders are missing. Any thread.
  QColor returnCIColor() const;
  void pushColorToTarget();
  void sliderUsed(int index, QKSliderCell& sender);
  void sampleButtonUsed();
  void clickedOnAColorNotification(const Notification& notification);
  void contextualColorHolderChosen(const KeyPath& path);

  QKSliderControl* slider(int index) const { return sliders_.slider(index); }
  QKButton* sampleButton() const { return sampleButton_; }
  QKColorUI* colorView() const { return colorView_; }
  bool sampling() const;

  Row row() const override { return Row::Color; }
  std::optional<composition::PortValue> value() const override;
  bool snapshotAfterDelivery(bool) const override { return false; }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

 private:
  CIColorElement(const QRectF& frame, QWidget* parent);
  void awakeFromNib();
  void layOut(const QRect& content);
  void paramSnapUpdated();

  QCComponentSliders sliders_;
  QKColorUI* colorView_ = nullptr;
  QKButton* sampleButton_ = nullptr;
  std::shared_ptr<class QKButtonCell> sampleCell_;
  std::atomic<bool> deleted_{false};
  // Last: removed first when the element goes.
  NotificationObservers sampling_;
};
