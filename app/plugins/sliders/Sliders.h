#pragma once

#include "app/plugins/manager/BankPlugin.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/datasource/KeyPath.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <vector>

class QCheckBox;
class QKSliderControl;
class QSlider;
class SliderListController;

// The "Sliders" plug-in: a bank of sliders the user adds, deletes and names
// ("1", "2", … by default), lying stacked or standing side by side, each
// publishing its value at [plug-in name, slider name] as a float source that
// pulls the slider's value every data-source tick and passes on a change
// only. Each slider is a full slider control: it can follow a source, learn
// it and run behaviours. An options sheet sets the thickness, the
// orientation and lists the names (edited in place).
//
// Main thread only, but for the sources' set calls on the tick: each holds
// its slider's cell through the data-source layer's liveness token (a weak
// reference locked for the call), so a tick under way finishes with a
// slider that has just been deleted.
class Sliders : public BankPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "Sliders"
  static constexpr int kDefaultSliderHeight = 20;
  static constexpr int kSliderSpacing = 3;

  Sliders(const QString& type, const QString& name, std::int32_t uniqueID);
  ~Sliders() override;

  // The type for the plug-in manager: its constructor and window layout.
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  // Moves the sources under the new name first.
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Bank ---
  QKSliderControl* createSlider();
  // The sliders of the rows selected in the list.
  void deleteSlider();
  void deleteSliders(const QList<int>& rows);
  void deleteAllSliders();
  QList<QKSliderControl*> sliderArray() const;
  QString getUniqueNameForArray() const;
  bool isThereASliderNamed(const QString& name) const;
  // False, nothing changed, for "", a name with "/", its own name or
  // another slider's.
  bool renameSlider(int row, const QString& name);

  // --- Layout and options ---
  void resetSliderPositions();
  void sliderHeightSliderUsed(int value);
  // 0 lying; 1 or -1 (mixed) upright.
  void vertButtonUsed(int value);
  int sliderHeight() const { return sliderHeight_; }
  bool vertical() const { return vertical_; }
  SliderListController* listController() const { return listController_.get(); }

 protected:
  void buildSheetRows(QVBoxLayout* column) override;
  QAbstractItemModel* listModel() const override;
  void reloadList() override;
  void resetPositions() override { resetSliderPositions(); }
  void addFromSheet() override { createSlider(); }
  void deleteRows(const QList<int>& rows) override { deleteSliders(rows); }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  KeyPath sourcePath(const QString& sliderName) const;
  QKSliderControl* addSlider();
  void publish(QKSliderControl* slider);
  void unpublish(QKSliderControl* slider);
  // Out of the tree and gone once the events in hand are done.
  void retire(QKSliderControl* slider);
  void applyScrollers();
  void setVertical(bool upright);

  std::vector<QPointer<QKSliderControl>> sliderArray_;
  int sliderHeight_ = kDefaultSliderHeight;
  bool vertical_ = false;
  // The sheet's (its layout fills them in).
  QSlider* sliderHeightSlider_ = nullptr;
  QCheckBox* vertButton_ = nullptr;
  std::unique_ptr<SliderListController> listController_;
};
