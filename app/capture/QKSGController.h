#pragma once

#include "app/compositor/CaptureRenderer.h"
#include "framework/media/QKPageListMenu.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/capture/CaptureSettings.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class Compositor;
class QKButton;
class QKNSOutlineView;
class QKPaletteWindow;
class QKSeqGrabber;
class QKWindowContentView;
class QStandardItemModel;
class QPushButton;

// The capture controller: owns every live input ("VidIn 1", "VidIn 2", …),
// renders them once per output frame before any layer, starts and stops
// them all around each change of recording, holds the record toggle, keeps
// them with the project and shows them in its palette ("Live Input Manager",
// stack order 8): an outline of the inputs with their settings rows, add
// and delete buttons and the record toggle.
//
// Main thread, but for the frame calls. Lock order: the compositor's render
// lock, then the input list's mutex. The frame only tries the list's mutex
// and skips the capture work of that frame when it is busy; `lock` and
// `unlock` hold nothing.
class QKSGController : public QObject, public CaptureRenderer, public QKWindowDelegate {
  Q_OBJECT
 public:
  static const QString kPaletteTitle;  // "Live Input Manager"
  static constexpr int kPaletteStackOrder = 8;
  static const QString kStartRecordingNotification;  // "QKSGStartRecordingNotification"
  static const QString kStopRecordingNotification;   // "QKSGStopRecordingNotification"
  static const QString kTestSourceVariable;          // "ZAPH_CAPTURE_TEST_SOURCE"

  // What the controller asks of the media bin: the first page's ID (a new
  // input's destination) and the file loader's page-and-bin menu.
  struct MediaBinServices {
    std::function<long()> firstPageId;
    std::function<std::vector<QKPageListMenu::Item>()> destinationMenu;
  };

  // The compositor (not owned) gives the render lock and the tap manager.
  QKSGController(Compositor* compositor, MediaBinServices services);
  ~QKSGController() override;

  // Builds the palette and announces it to the Window menu.
  void awakeFromNib();

  // --- Frame (render thread) ------------------------------------------------
  void lock() override {}
  bool tryLock() override { return true; }
  void unlock() override {}
  void render(const gl::DisplayLink::Frame& frame) override;

  // --- Inputs ------------------------------------------------------------------
  // Adds an input on the first free device and starts it; null after the
  // alert when none can be opened.
  std::shared_ptr<QKSeqGrabber> addInputButtonClicked();
  std::shared_ptr<QKSeqGrabber> addInput(const CaptureSettings& settings);
  void deleteSelectedSequenceGrabber();
  void deleteAllSequenceGrabbers();
  void stopAllSeqGrabbers();
  void startAllSeqGrabbers();
  std::vector<std::shared_ptr<QKSeqGrabber>> inputs() const;

  // --- Recording ----------------------------------------------------------------
  void recordToggleUsed();
  void startRecordingFromRightClick();
  void stopRecordingFromExternalSource();
  void updateRecordButtonState();
  bool recording() const { return recording_; }
  bool recordingStartedFromMainButton() const { return recordingStartedFromMainButton_; }
  QKButton* recordToggleButton() const { return recordToggle_; }

  // --- Persistence ----------------------------------------------------------------
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void clearOutInPrepForLoad();

  // --- What the inputs ask --------------------------------------------------------
  QStringList tapNames() const;
  long firstPageId() const;
  // The folder recordings go into (the user's, else the "media" folder).
  QString recordingFolder() const;
  // The first camera no input uses; the test pattern when there is none
  // and ZAPH_CAPTURE_TEST_SOURCE is set; nullopt otherwise.
  std::optional<CaptureSettings> firstFreeDevice() const;
  // Tests: where devices are listed, and the source a new input takes.
  void setDeviceChooser(std::function<std::optional<CaptureSettings>()> chooser) {
    deviceChooser_ = std::move(chooser);
  }

  // --- The window ---------------------------------------------------------------
  QKPaletteWindow* window() const { return window_.get(); }
  QKNSOutlineView* outlineView() const { return outline_; }
  void reloadOutline();
  // Selects an input's row (tests, and after adding).
  void selectInput(const std::shared_ptr<QKSeqGrabber>& input);
  // The menu of destinations, copied from the file loader on each update.
  void updateContents();
  void folderMenuDidUpdateNotification(const QVariantMap& reason);
  // Opens the settings dialog of an input (stops and restarts it).
  void settingsButtonUsed(const std::shared_ptr<QKSeqGrabber>& input);

  std::optional<int> paletteStackOrder() const override { return kPaletteStackOrder; }

 private:
  void buildPalette();
  std::shared_ptr<QKSeqGrabber> selectedInput() const;
  void installRowWidgets();

  Compositor* const compositor_;
  const MediaBinServices services_;
  std::vector<QKPageListMenu::Item> localMenu_;
  mutable std::recursive_mutex listMutex_;
  std::vector<std::shared_ptr<QKSeqGrabber>> inputs_;  // under listMutex_
  bool recording_ = false;
  bool recordingStartedFromMainButton_ = false;
  std::function<std::optional<CaptureSettings>()> deviceChooser_;

  std::unique_ptr<QKPaletteWindow> window_;
  QKWindowContentView* content_ = nullptr;
  QKNSOutlineView* outline_ = nullptr;
  QStandardItemModel* model_ = nullptr;
  QKButton* recordToggle_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
