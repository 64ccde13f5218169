#pragma once

#include "app/compositor/FrameDrawer.h"
#include "app/inspector/MIPaneChoice.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QMap>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class MIPane;
class MediaInspectorHost;
class QKButton;
class QKFile;
class QKFolder;
class QKMIMoviePropertiesController;
class QKMIQuartzComposerController;
class QKMIRangeSelectorController;
class QKMITapFileViewController;
class QKMITimeWarpView;
class QKMIURLFileViewController;
class QKPaletteWindow;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTabWidget;
class QWidget;
struct Notification;

// One inspected entry: a media file or a folder.
struct MIEntry {
  std::shared_ptr<QKFile> file;
  std::shared_ptr<QKFolder> folder;
  const void* identity() const;
  bool operator==(const MIEntry& other) const {
    return file == other.file && folder == other.folder;
  }
};

// The media inspector palette: it follows the media bin's selection, shows
// the container for the kinds selected, keeps every inspected file's edits
// in a pending dictionary (a copy of its stored properties) and stores them
// on Apply or when the selection changes; Cancel drops them, and so does
// the deletion of an inspected entry.
//
// Threads: everything on the main thread except `draw`, which the compositor
// calls on the render thread after every frame. `draw` tries the apply lock
// once and skips the frame when an apply holds it; an apply spins on the
// same lock, so the render thread never waits for the inspector.
class MediaInspector : public QKWindowDelegate, public FrameDrawer {
 public:
  using Box = MIPaneChoice::Box;
  static const QString kPaletteTitle;  // "Media Inspector"
  static constexpr int kPaletteStackOrder = 5;

  // The panes the inspector talks to; any may be null.
  struct Panes {
    MIPane* composition = nullptr;
    MIPane* tap = nullptr;
    MIPane* web = nullptr;
    MIPane* movieProperties = nullptr;
    MIPane* rangeSelector = nullptr;
    MIPane* timeWarp = nullptr;
  };

  explicit MediaInspector(MediaInspectorHost* host);
  ~MediaInspector() override;
  MediaInspector(const MediaInspector&) = delete;
  MediaInspector& operator=(const MediaInspector&) = delete;

  // Shows the window, announces it to the Window menu and starts following
  // the media bin.
  void awakeFromNib();
  // Replaces the panes (tests hand in fakes).
  void setPanes(const Panes& panes) { panes_ = panes; }

  void selectTheseFiles(const std::vector<MIEntry>& entries);
  void applyChanges();
  void cancelAndReload();
  void draw() override;

  void QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) override;
  std::optional<int> paletteStackOrder() const override { return kPaletteStackOrder; }

  MediaInspectorHost* host() const { return host_; }
  bool hasSelection() const { return selection_.has_value(); }
  const std::vector<MIEntry>& currentlyInspectedArray() const;
  // The inspected media files, in selection order.
  std::vector<std::shared_ptr<QKFile>> inspectedFiles() const;
  // Pending edits, keyed by the file's ID printed with "%d".
  QMap<QString, QVariantMap>& currentlyInspectedMoviePropsDict() { return pending_; }
  // The pending entry of a file; null when it has none.
  QVariantMap* pendingPropsFor(const QKFile& file);
  static QString pendingKey(const QKFile& file);
  const MIKindCounts& counts() const { return counts_; }

  // What the window shows.
  Box shownBox() const { return shownBox_.load(); }
  QString nameText() const;
  bool nameEditable() const;
  bool applyButtonsVisible() const;

  QKPaletteWindow* window() const { return window_.get(); }
  QLineEdit* editableTextField() const { return editableTextField_; }
  QKButton* applyButton() const { return applyButton_; }
  QKButton* cancelButton() const { return cancelButton_; }
  QKMIMoviePropertiesController* moviePropertiesController() const { return movieProps_; }
  QKMIQuartzComposerController* quartzComposerController() const { return qcController_; }
  QKMIRangeSelectorController* rangeSelector() const { return rangeSelector_.get(); }
  QKMITimeWarpView* timeWarpView() const { return timeWarpView_; }
  QKMITapFileViewController* tapFileController() const { return tapFileController_.get(); }
  QKMIURLFileViewController* urlFileController() const { return urlFileController_.get(); }
  QTabWidget* movieOptionsTabView() const { return movieOptionsTabView_; }

  // The selection posted by the media bin's file grid (IDs in its order).
  void selectFileIds(const std::vector<long>& ids);

 private:
  void buildPalette();
  void countEntry(const MIEntry& entry);
  void showChoice(const MIPaneChoice& choice);
  void setNameFields(const QString& text);
  void showBox(Box box);
  void updateApplyButtons();
  bool collapsed() const;
  void readMovie(const std::shared_ptr<QKFile>& file);
  void pageSelectionChanged(const Notification& notification);
  void fileFolderDeleted(const void* object);

  MediaInspectorHost* host_;
  Panes panes_;
  // Goes after the window, whose widgets its view lent.
  std::unique_ptr<QKMIRangeSelectorController> rangeSelector_;
  std::unique_ptr<QKPaletteWindow> window_;
  QStackedWidget* mediaTypeBox_ = nullptr;
  QLabel* fileNameTextField_ = nullptr;
  QLineEdit* editableTextField_ = nullptr;
  QKButton* cancelButton_ = nullptr;
  QKButton* applyButton_ = nullptr;
  QTabWidget* movieOptionsTabView_ = nullptr;
  QKMIMoviePropertiesController* movieProps_ = nullptr;
  QKMIQuartzComposerController* qcController_ = nullptr;
  QKMITimeWarpView* timeWarpView_ = nullptr;
  std::unique_ptr<QKMITapFileViewController> tapFileController_;
  std::unique_ptr<QKMIURLFileViewController> urlFileController_;
  QMap<Box, QWidget*> containers_;

  std::optional<std::vector<MIEntry>> selection_;
  QMap<QString, QVariantMap> pending_;
  MIKindCounts counts_;
  std::atomic<Box> shownBox_{Box::Empty};
  std::mutex threadLock_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
