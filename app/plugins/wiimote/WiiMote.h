#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/wiimote/WiiOrientation.h"
#include "framework/controls/SliderManagerClient.h"
#include "framework/datasource/KeyPath.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/wiiremote/WiiRemoteBackend.h"
#include "platform/wiiremote/WiiRemoteDelegate.h"

#include <QPointF>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class ColorChangePanel;
class DataSource;
class DelayedCalls;
class DSPointHolder;
class PointerControl;
class QCheckBox;
class QFrame;
class QKButton;
class QKSliderCell;
class QKSliderManager;
class QLabel;
class WiiRemote;
class WiimoteOptionsController;
struct WiiPointSource;

// The "WiiMote" plug-in: one Nintendo Wii remote (with a nunchuk or a
// classic controller) whose buttons, IR pointer, sticks, accelerations and
// the orientation derived from them are data sources under the instance's
// own root [T]: [T, "WiiMote", …] always, [T, "NunChuk", …] and
// [T, "Classic", …] while that expansion is plugged in. Mouse mode (1 + 2)
// moves the system pointer with the IR point and edits the slider under it.
//
// Main thread: the remote calls back there, and the sources it sets push at
// once on it. The point holders are read on the data-source tick from
// atomics.
class WiiMote : public QKPlugin, public WiiRemoteDelegate, public SliderManagerClient {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "WiiMote"
  using SliderFinder = std::function<std::shared_ptr<QKSliderCell>(QPointF bottomLeftPoint)>;

  WiiMote(const QString& type, const QString& name, std::int32_t uniqueID);
  ~WiiMote() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Interface actions ---
  void detectButtonUsed();
  void ledButtonUsed();
  void openOptionsPanel();
  void closeOptionsPanel();
  bool optionsPanelOpen() const;

  // --- The remote's callbacks ---
  void wiiRemoteConnected() override;
  void wiiRemoteDiscoveryError(const QString& text) override;
  void wiiRemoteConnectionError(const QString& text) override;
  void wiiRemoteDisconnected() override;
  void batteryLevelChanged(float level) override;
  void buttonChanged(int code, bool pressed, WiiRemote* remote) override;
  void irPointMovedX(float x, float y, WiiRemote* remote) override;
  void joyStickChanged(int code, float x, float y, WiiRemote* remote) override;
  void accelerationChanged(int code, float x, float y, float z, WiiRemote* remote) override;
  void wiiRemoteExpansionPortChanged() override;
  void wiiRemoteDiscoveredMainThread();

  // --- Sets of sources ---
  void subscribeBaseSet();
  void unsubscribeBaseSet();
  void subscribeNunchukSet();
  void unsubscribeNunchukSet();
  void subscribeClassicSet();
  void unsubscribeClassicSet();

  // --- Mouse mode ---
  void setMouseMode(bool on);
  void setEditSliderMode(bool on) { editSliderMode_ = on; }
  void clearMouseMode();
  void turnOffForceFeedback();
  bool mouseMode() const { return mouseMode_; }
  bool editSliderMode() const { return editSliderMode_; }
  bool dragValFlag() const { return dragValFlag_; }
  bool dragMinEnvFlag() const { return dragMinEnvFlag_; }
  bool dragMaxEnvFlag() const { return dragMaxEnvFlag_; }
  bool forceFeedbackToggle() const { return forceFeedbackToggle_; }
  const QKSliderCell* lastMouseoverSlider() const { return lastMouseoverSlider_.lock().get(); }

  // --- Options (the options sheet edits them) ---
  const WiiOrientation::Options& wiiOptions() const { return wiiOptions_; }
  const WiiOrientation::Options& nunOptions() const { return nunOptions_; }
  void setWiiOption(WiiOrientation::Axis axis, const WiiOrientation::AxisOptions& options) {
    wiiOptions_[axis] = options;
  }
  void setNunOption(WiiOrientation::Axis axis, const WiiOrientation::AxisOptions& options) {
    nunOptions_[axis] = options;
  }

  void setSliderManager(QKSliderManager* manager) override { sliderManager_ = manager; }
  // Tests: the backend of detected remotes, the pointer, the slider under
  // the pointer and the clock of the follow-up and rumble.
  void setBackend(std::shared_ptr<WiiRemoteBackend> backend) { backend_ = std::move(backend); }
  void setPointerControl(std::unique_ptr<PointerControl> pointer);
  void setSliderFinder(SliderFinder finder) { sliderFinder_ = std::move(finder); }
  void setDelayedCalls(DelayedCalls* calls) { delayedCalls_ = calls; }

  WiiRemote* mote() const { return mote_.get(); }
  int currentExpPort() const { return currentExpPort_; }
  QString statusText() const;
  QCheckBox* led(int index) const { return leds_[index]; }
  QCheckBox* enableMouseModeToggle() const { return enableMouseModeToggle_; }
  ColorChangePanel* batteryIndicator() const { return batteryIndicator_; }
  QKButton* detectButton() const { return detectButton_; }
  WiimoteOptionsController* optionsController() const { return optionsController_; }
  QPointF irPoint() const;

 private:
  struct Sources;
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void buildOptionsPanel(QWidget* body);
  void setStatus(const QString& text);
  void dropMote(bool disconnect);
  void installLeaf(const KeyPath& path, const QString& name, int type,
                   std::shared_ptr<DataSource>* field);
  void installHolder(const KeyPath& path, int type);
  std::shared_ptr<DSPointHolder> installPoint(const KeyPath& path);
  void setSource(const std::shared_ptr<DataSource>& source, float value);
  void removeSet(const QString& top);
  void irMouseStep();
  DelayedCalls& delayedCalls();

  std::shared_ptr<WiiRemoteBackend> backend_;
  std::unique_ptr<WiiRemote> mote_;
  int currentExpPort_ = 0;
  QKSliderManager* sliderManager_ = nullptr;
  WiiOrientation::Options wiiOptions_{}, nunOptions_{};
  std::array<WiiOrientation::Smoother, 3> wiiSmoothers_{};

  std::unique_ptr<Sources> sources_;
  std::shared_ptr<WiiPointSource> points_;
  float xIR_ = 0, yIR_ = 0;
  std::array<float, 3> acc_{}, chukAcc_{};
  bool oneButton_ = false, twoButton_ = false, aButton_ = false, bButton_ = false;
  bool mouseMode_ = false, editSliderMode_ = false;
  bool dragValFlag_ = false, dragMinEnvFlag_ = false, dragMaxEnvFlag_ = false;
  std::weak_ptr<QKSliderCell> lastMouseoverSlider_;
  bool forceFeedbackToggle_ = false;
  bool pointerRefusedShown_ = false;

  std::unique_ptr<PointerControl> pointer_;
  SliderFinder sliderFinder_;
  DelayedCalls* delayedCalls_ = nullptr;

  QLabel* textView_ = nullptr;
  ColorChangePanel* batteryIndicator_ = nullptr;
  QKButton* detectButton_ = nullptr;
  QKButton* openOptionsButton_ = nullptr;
  QKButton* closeOptionsButton_ = nullptr;
  QCheckBox* enableMouseModeToggle_ = nullptr;
  std::array<QCheckBox*, 4> leds_{};
  QFrame* optionsPanel_ = nullptr;
  WiimoteOptionsController* optionsController_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
