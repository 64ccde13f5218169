#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <vector>

class BehaviorChainInterface;
class DataSourceController;
class QKSliderCell;

// What a slider cell needs of the slider manager that registered it. The
// manager answers "QKSMNewSliderNotification" by giving the new cell its
// unique ID and itself (`setUniqueID`, `setSliderManager`).
class SliderManagerInterface {
 public:
  virtual ~SliderManagerInterface() = default;

  virtual DataSourceController* dataSourceController() const = 0;
  virtual bool hardwareLearnMode() const = 0;
  // The slider appearance dictionary ("selected"/"unselected", then
  // "sync"/"unsync", then "HLM"/"non-HLM"); empty when the manager has none.
  virtual QVariantMap sliderColorDict() const = 0;
  virtual std::shared_ptr<BehaviorChainInterface> findBehaviorChainNamed(
      const QString& name) const = 0;
  // Sent by a cell at the end of its `prepareToBeDeleted`.
  virtual void deleteThisSlider(QKSliderCell* slider) = 0;

  // Whether the marks are locked against dragging.
  virtual bool lockInterestingPoints() const { return true; }
  // The selected sliders, in selection order (a drag on one moves them all).
  virtual std::vector<std::shared_ptr<QKSliderCell>> selectedSliders() const { return {}; }
  // The picture drawn over a slider whose interface lock is set (20 x 20).
  virtual QImage padlockImage() const { return {}; }

  // Inspector refreshes for a selected slider; they may come from any
  // thread and must not wait for the main thread.
  virtual void updateValueRelatedOnly() = 0;
  virtual void updateWithLockedStatus(bool locked) = 0;
};
