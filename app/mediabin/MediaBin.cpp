#include "app/mediabin/MediaBin.h"

#include "app/mediabin/MBFileGridView.h"
#include "framework/datasource/AppControllerInterface.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MBLayerQueueHost.h"
#include "app/mediabin/MBPageTabsView.h"
#include "app/mediabin/MBQuantizePicker.h"
#include "app/mediabin/MBTOCController.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "app/mediabin/MBViewsController.h"
#include "app/mediabin/MediaBinWindowBuilder.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/media/QKMediaBinHost.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/VariantNumbers.h"

#include <QCheckBox>

const QString MediaBin::kTypeName = QStringLiteral("MediaBin");
const QSizeF MediaBin::kMinimumSize(120, 120);
const QString MediaBin::kGridViewKey = QStringLiteral("gridView");
const QString MediaBin::kAutoClosePagesKey = QStringLiteral("autoClosePagesButton");
const QString MediaBin::kTriggerListenersKey = QStringLiteral("triggerListenersController");
const QString MediaBin::kLayerControllerKey = QStringLiteral("layerController");
const QString MediaBin::kPageTabsKey = QStringLiteral("pageTabsView");
const QString MediaBin::kViewsControllerKey = QStringLiteral("viewsController");
const QString MediaBin::kTOCKey = QStringLiteral("tocController");
const QString MediaBin::kPageSettingsKey = QStringLiteral("pageSettingsDict");
const QString MediaBin::kCurrentPageIdKey = QStringLiteral("currentPageId");
const QString MediaBin::kComponentArrayKey = QStringLiteral("componentArray");
const QStringList MediaBin::kOctaveStrings = {"A",  "A#", "B", "C",  "C#", "D",
                                              "D#", "E",  "F", "F#", "G",  "G#"};

namespace {

const QString kVisiblePagesChanged = QStringLiteral("QKMBVisiblePagesChangedNotification");

QString visibleKey(long id) { return QStringLiteral("PageVisible-%1").arg(id); }
QString expandedKey(long id) { return QStringLiteral("PageExpanded-%1").arg(id); }

// A stored page setting: its truth value whatever its type; absent is YES.
bool settingOf(const QVariantMap& settings, const QString& key) {
  const QVariant value = settings.value(key);
  if (!value.isValid()) return true;
  if (VariantNumbers::isNumber(value, true)) return value.toDouble() != 0.0;
  if (value.typeId() == QMetaType::QString) {
    const QString text = value.toString().trimmed().toLower();
    return text == QLatin1String("yes") || text == QLatin1String("true") || text.toDouble() != 0;
  }
  return value.toBool();
}

}  // namespace

MediaBin::MediaBin(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID) {
  host_ = dynamic_cast<QKMediaBinHost*>(appController());
  pages_ = host_ ? host_->pageController() : nullptr;
  folderIconImage_ = MediaBinWindowBuilder::folderIcon();
  textFileIconImage_ = MediaBinWindowBuilder::textFileIcon();
  urlFileIconImage_ = MediaBinWindowBuilder::urlFileIcon();
  missingFileImage_ = MediaBinWindowBuilder::missingFileImage();
}

MediaBin::~MediaBin() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass MediaBin::pluginClass() {
  PluginClass bin;
  bin.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<MediaBin>(type, name, uniqueID);
  };
  bin.layout = &MediaBin::buildWindow;
  return bin;
}

std::unique_ptr<QWidget> MediaBin::buildWindow(QObject* owner) {
  return MediaBinWindowBuilder::build(qobject_cast<MediaBin*>(owner));
}

void MediaBin::awakeFromNib() {
  QKPlugin::awakeFromNib();
  // The palette's own awakening took its first frame as the smallest.
  if (QKWindow* w = window(); w && w->contentView()) w->contentView()->setMinSize(kMinimumSize);
  MediaBinWindowBuilder::wake(*this);
  if (!pages_) return;
  long first = -1;
  {
    RWTryLock::ReadGuard guard(pages_->pagesLock());
    if (!pages_->pages().empty()) first = pages_->pages().front()->uniqueFileId();
  }
  if (first < 0) return;
  pageSettings_.insert(visibleKey(first), true);
  pageSettings_.insert(expandedKey(first), true);
  setCurrentPageId(first);
  postExpanded(first);
}

void MediaBin::postExpanded(long pageId) {
  NotificationCenter::defaultCenter().post(
      kVisiblePagesChanged, this,
      {{QStringLiteral("BinId"), qint64(uniqueID())},
       {QStringLiteral("PageId"), qint64(pageId)},
       {QStringLiteral("Reason"), QStringLiteral("ExpandedStateChanged")}});
}

// --- Page settings and selection --------------------------------------------------------------

QKFileLoaderInterface* MediaBin::fileLoader() const {
  return host_ ? host_->fileLoader() : nullptr;
}

CompositorInterface* MediaBin::compositor() const { return host_ ? host_->compositor() : nullptr; }

bool MediaBin::willFullscreenHideAModal() const {
  return host_ && host_->willFullscreenHideAModal();
}

bool MediaBin::pageExpanded(long pageId) const {
  return settingOf(pageSettings_, expandedKey(pageId));
}

void MediaBin::setPageExpanded(long pageId, bool expanded) {
  pageSettings_.insert(expandedKey(pageId), expanded);
}

bool MediaBin::pageVisible(long pageId) const {
  return settingOf(pageSettings_, visibleKey(pageId));
}

void MediaBin::setPageVisible(long pageId, bool visible) {
  pageSettings_.insert(visibleKey(pageId), visible);
}

std::vector<long> MediaBin::visiblePageIds() const {
  std::vector<long> ids;
  if (!pages_) return ids;
  for (const auto& page : pages_->pages())
    if (pageVisible(page->uniqueFileId())) ids.push_back(page->uniqueFileId());
  return ids;
}

std::vector<long> MediaBin::selectedIds() const {
  return {selectedFiles_.begin(), selectedFiles_.end()};
}

void MediaBin::setSelected(long fileId, bool selected) {
  if (selected)
    selectedFiles_.insert(fileId);
  else
    selectedFiles_.remove(fileId);
}

QString MediaBin::stringForMIDINoteValue(int note) {
  const QStringList& names = kOctaveStrings;
  const int name = ((note + 3) % 12 + 12) % 12;
  const int offset = note - 33;
  const int octave = offset >= 0 ? offset / 12 : -((-offset + 11) / 12);
  return QStringLiteral("%1%2").arg(names[name]).arg(octave);
}

// --- Listeners, for the grid ------------------------------------------------------------------

int MediaBin::listenerCount() const { return listeners_ ? listeners_->count() : 0; }

int MediaBin::transpose() const { return listeners_ ? listeners_->transpose() : 0; }

void MediaBin::justSetTranspose(int transpose) {
  if (listeners_) listeners_->justSetTranspose(transpose);
}

bool MediaBin::listenersHardwareLearnMode() const {
  return listeners_ && listeners_->hardwareLearnMode();
}

QString MediaBin::listenerName(int index) const {
  return listeners_ ? listeners_->listenerName(index) : QString();
}

void MediaBin::gridMouseDown() {
  DataSourceController* dsc = dataSourceController();
  if (dsc) dsc->deselectEverything();
  if (!listeners_ || !listeners_->hardwareLearnMode() || listeners_->selected()) return;
  if (dsc)
    dsc->selectThisAltUIItem(listeners_.get());
  else
    listeners_->select();
}

// --- Snapshots --------------------------------------------------------------------------------

QVariantMap MediaBin::createSnapshot() const {
  QVariantMap snapshot{
      {kSuperSnap, QKPlugin::createSnapshot()},
      {kPageSettingsKey, pageSettings_},
      {kCurrentPageIdKey, qint64(currentPageId())},
      {kAutoClosePagesKey, autoClosePagesButton_ && autoClosePagesButton_->isChecked() ? 1 : 0}};
  snapshot.insert(kGridViewKey, gridView_ ? gridView_->createSnapshot() : QVariantMap());
  snapshot.insert(kTriggerListenersKey, listeners_ ? listeners_->createSnapshot() : QVariantMap());
  snapshot.insert(kLayerControllerKey,
                  layerController_ ? layerController_->createSnapshot() : QVariantMap());
  snapshot.insert(kPageTabsKey, pageTabsView_ ? pageTabsView_->createSnapshot() : QVariantMap());
  snapshot.insert(kTOCKey, tocController_ ? tocController_->createSnapshot() : QVariantMap());
  snapshot.insert(kViewsControllerKey,
                  viewsController_ ? viewsController_->createSnapshot() : QVariantMap());
  return snapshot;
}

void MediaBin::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant super = snapshot.value(kSuperSnap);
  if (super.typeId() == QMetaType::QVariantMap) QKPlugin::loadSnapshot(super.toMap());
  if (snapshot.contains(kComponentArrayKey)) return loadOldMediaBinSnapshot(snapshot);
  const QVariant settings = snapshot.value(kPageSettingsKey);
  if (settings.typeId() == QMetaType::QVariantMap) pageSettings_ = settings.toMap();
  const QVariant autoClose = snapshot.value(kAutoClosePagesKey);
  if (VariantNumbers::isNumber(autoClose, true) && autoClosePagesButton_)
    autoClosePagesButton_->setChecked(autoClose.toInt() != 0);
  const QVariant current = snapshot.value(kCurrentPageIdKey);
  if (VariantNumbers::isNumber(current)) setCurrentPageId(long(current.toLongLong()));
  auto part = [&](const QString& key, const std::function<void(const QVariantMap&)>& load) {
    const QVariant value = snapshot.value(key);
    if (value.typeId() == QMetaType::QVariantMap) load(value.toMap());
  };
  part(kTriggerListenersKey, [&](const QVariantMap& s) {
    if (listeners_) listeners_->loadSnapshot(s);
  });
  part(kLayerControllerKey, [&](const QVariantMap& s) {
    if (layerController_) layerController_->loadSnapshot(s);
  });
  part(kPageTabsKey, [&](const QVariantMap& s) {
    if (pageTabsView_) pageTabsView_->loadSnapshot(s);
  });
  part(kTOCKey, [&](const QVariantMap& s) {
    if (tocController_) tocController_->loadSnapshot(s);
  });
  part(kViewsControllerKey, [&](const QVariantMap& s) {
    if (viewsController_) viewsController_->loadSnapshot(s);
  });
  part(kGridViewKey, [&](const QVariantMap& s) {
    if (gridView_) gridView_->loadSnapshot(s);
  });
}

void MediaBin::loadOldMediaBinSnapshot(const QVariantMap& snapshot) {
  QVariantMap expanded;
  for (const QVariant& entry : snapshot.value(kComponentArrayKey).toList()) {
    const QVariantMap component = entry.toMap();
    const QString name = component.value(QStringLiteral("componentName")).toString();
    if (name == QLatin1String("trigger zone")) {
      if (listeners_) listeners_->loadOldSnapshot(component);
    } else if (name == QLatin1String("trigger queue")) {
      if (layerController_) layerController_->loadOldSnapshot(component);
    } else if (name == QLatin1String("trigger quantization")) {
      if (quantizePicker_) quantizePicker_->loadSnapshot(component);
    } else if (name == QLatin1String("current folder")) {
      const QVariant id = component.value(QStringLiteral("currentlyDisplayedFileID"));
      if (!VariantNumbers::isNumber(id)) continue;
      const long pageId = long(id.toLongLong());
      setPageExpanded(pageId, true);
      setCurrentPageId(pageId);
      expanded = {{QStringLiteral("PageId"), qint64(pageId)}};
    }
  }
  if (!expanded.isEmpty())
    postExpanded(long(expanded.value(QStringLiteral("PageId")).toLongLong()));
}

void MediaBin::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  if (gridView_) gridView_->prepareToBeDeleted();
  if (listeners_) listeners_->prepareToBeDeleted();
  if (pageTabsView_) pageTabsView_->prepareToBeDeleted();
  if (layerController_) layerController_->prepareToBeDeleted();
  if (quantizePicker_) quantizePicker_->prepareToBeDeleted();
  if (viewsController_) viewsController_->prepareToBeDeleted();
  if (menuController_) menuController_->prepareToBeDeleted();
  if (tocController_) tocController_->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}
