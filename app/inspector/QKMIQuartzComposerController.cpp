#include "app/inspector/QKMIQuartzComposerController.h"

#include "app/compositor/Compositor.h"
#include "app/inspector/MIPropValues.h"
#include "app/inspector/MIStyleChoice.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/MediaInspectorHost.h"
#include "app/inspector/QKQCView.h"
#include "app/sources/QKQCSrcGLAttrPubBuffContext.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/params/QKTextUI.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>
#include <thread>

const QString QKMIQuartzComposerController::kPreviewDefaultKey =
    QStringLiteral("qcInspectorPreviewDefault");

namespace {

const QString kAttributeSnapshot = QStringLiteral("QCAttributeSnapshot");
const QString kStyleName = QStringLiteral("styleName");
const QString kUseCustomRes = QStringLiteral("useCustomResForQtz");
const QString kHorRes = QStringLiteral("qtzHorRes");
const QString kVertRes = QStringLiteral("qtzVertRes");
const QSizeF kFirstContextSize(160, 120);
// Fits the palette's column beside the preview button.
const QSize kPreviewSize(176, 132);

bool isNumber(const QVariant& value) { return VariantNumbers::isNumber(value, true); }

std::optional<QString> stringProp(const QVariantMap& props, const QString& key) {
  const QVariant value = props.value(key);
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  return value.toString();
}

// A side the preview can render at: whole, positive, finite, within the
// texture limit.
bool usableSide(double side) {
  const double limit = std::max(1, gl::TexturePool::shared().maxTextureSize());
  return std::isfinite(side) && side >= 1 && side <= limit;
}

}  // namespace

QKMIQuartzComposerController::QKMIQuartzComposerController(MediaInspector* inspector,
                                                           QComboBox* stylePopUp,
                                                           QWidget* optionsView)
    : inspector_(inspector), stylePopUpButton_(stylePopUp) {
  buildView(optionsView);
}

QKMIQuartzComposerController::~QKMIQuartzComposerController() {
  if (!deleted_.load()) prepareToBeDeleted();
}

// --- View ------------------------------------------------------------------------------------

void QKMIQuartzComposerController::buildView(QWidget* optionsView) {
  view_ = new QWidget;
  auto* column = new QVBoxLayout(view_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  auto* top = new QHBoxLayout;
  quartzComposerView_ = new QKQCView;
  quartzComposerView_->setFixedSize(kPreviewSize);
  renderOnOffButton_ = new QKButton;
  renderOnOffButton_->setButtonType(1);
  renderOnOffButton_->setTitle(QStringLiteral("Preview"));
  renderOnOffButton_->setTitle2(QStringLiteral("Preview"));
  renderOnOffButton_->setToolTip(QStringLiteral("Show the live preview"));
  renderOnOffButton_->setFixedSize(52, 16);
  renderOnOffButton_->setTriggerOnMain(true);
  renderOnOffButton_->setTarget(std::weak_ptr<const void>(alive_));
  renderOnOffButton_->setAction([this, alive = std::weak_ptr<int>(alive_)](QKButtonCell&) {
    if (alive.lock()) renderOnOffButtonUsed();
  });
  top->addWidget(quartzComposerView_);
  top->addWidget(renderOnOffButton_, 0, Qt::AlignTop);
  top->addStretch(1);
  column->addLayout(top);
  // Size and style stay in sight; the panel takes the rest and scrolls.
  if (optionsView) column->addWidget(optionsView);
  scrollView_ = new QKQCScrollView;
  scrollView_->setMinimumHeight(120);
  column->addWidget(scrollView_, 1);
}

void QKMIQuartzComposerController::awakeFromNib() {
  renderCount_ = 0;
  MediaInspectorHost* host = inspector_ ? inspector_->host() : nullptr;
  compositor_ = host ? host->compositor() : nullptr;
  currentFile_.reset();
  const QStringList styles = compositor_ ? compositor_->fontSynthNames() : QStringList();
  if (stylePopUpButton_) {
    stylePopUpButton_->clear();
    stylePopUpButton_->addItems(styles);
    stylePopUpButton_->setToolTip(
        styles.isEmpty()
            ? QStringLiteral("There are no valid QTZ text sources in the fontsynths folder")
            : QString());
  }
  UserDefaults& defaults = UserDefaults::standard();
  const QVariant stored = defaults.value(kPreviewDefaultKey);
  int on = 1;
  if (isNumber(stored))
    on = stored.toInt() != 0 ? 1 : 0;
  else
    defaults.setValue(kPreviewDefaultKey, 1);
  renderOnOffButton_->setIntValue(on, false);
  previewOn_.store(on == 1);
}

void QKMIQuartzComposerController::renderOnOffButtonUsed() {
  const int on = renderOnOffButton_->intValue() == 1 ? 1 : 0;
  previewOn_.store(on == 1);
  UserDefaults::standard().setValue(kPreviewDefaultKey, on);
}

// --- Reading -----------------------------------------------------------------------------------

void QKMIQuartzComposerController::spinLock() {
  while (!threadLock_.try_lock()) std::this_thread::yield();
}

void QKMIQuartzComposerController::ensureContext() {
  if (contextHolder_ || deleted_.load()) return;
  auto context =
      QKQCSrcGLAttrPubBuffContext::create(QString(), gl::RenderThread::instance().mainContext(),
                                          &gl::TexturePool::shared(), kFirstContextSize);
  if (!context) {
    Log::limited(QStringLiteral("QKMIQuartzComposerController.context"),
                 QStringLiteral("\t\terr: the inspector's composition context could not be made"));
    return;
  }
  context->setLiveUpdating(false);
  context->setParentScrollView(scrollView_);
  scrollView_->setDocumentView(context->attributeLoader());
  spinLock();
  contextHolder_ = std::move(context);
  threadLock_.unlock();
}

void QKMIQuartzComposerController::readFile(const std::shared_ptr<QKFile>& file) {
  if (!file) {
    eject();
    return;
  }
  ensureContext();
  if (!quartzComposerView_->compositor()) quartzComposerView_->setCompositor(compositor_);
  quartzComposerView_->reshape();
  switch (file->qkFileType()) {
    case QKFile::kCompositionKind:
      readQCFile(file);
      break;
    case QKFile::kTextKind:
      readTextFile(file);
      break;
    case QKFile::kImageKind:
      readImageFile(file);
      break;
    default:
      return;
  }
  sizeContext(*file);
  scrollView_->updateContents();
}

// The properties the file is shown with: its pending edits, else (logged
// for a text or image) its stored ones.
QVariantMap QKMIQuartzComposerController::propsOf(const QKFile& file, const char* kindName) {
  if (const QVariantMap* pending = inspector_ ? inspector_->pendingPropsFor(file) : nullptr)
    return *pending;
  if (kindName)
    Log::line(QStringLiteral("\t\terr: couldn't load movieProps for %1 file")
                  .arg(QString::fromLatin1(kindName)));
  return file.movieProps();
}

void QKMIQuartzComposerController::readQCFile(const std::shared_ptr<QKFile>& file) {
  if (!contextHolder_) return;
  spinLock();
  unlockedUnload();
  currentFile_ = file;
  if (file->validFile()) {
    contextHolder_->useFile(file->fullPath(), true);
    const QVariantMap props = propsOf(*file, nullptr);
    if (const auto values = MIProps::map(props, kAttributeSnapshot))
      contextHolder_->loadSnapshot(*values);
    else if (props.contains(kAttributeSnapshot))
      Log::line(QStringLiteral("\t\terr: the stored values of %1 are not a dictionary, ignored")
                    .arg(file->name()));
  }
  threadLock_.unlock();
}

void QKMIQuartzComposerController::readTextFile(const std::shared_ptr<QKFile>& file) {
  readStyled(file, true);
}

void QKMIQuartzComposerController::readImageFile(const std::shared_ptr<QKFile>& file) {
  if (!readStyled(file, false)) return;
  auto image = std::dynamic_pointer_cast<QKImageFile>(file);
  if (!image) return;
  QKImageFile::Bitmap bitmap = image->imageRep();
  if (!bitmap) {
    QString error;
    bitmap = QKImageFile::imageRepAtPath(image->fullPath(), &error);
    if (!bitmap)
      Log::line(QStringLiteral("\t\terr: image rep was nil, %1: %2").arg(image->fullPath(), error));
  }
  spinLock();
  if (contextHolder_ && bitmap) contextHolder_->setImageFileBitmapImageRep(bitmap, true);
  threadLock_.unlock();
}

// The style composition of a text or image file, its values and (texts)
// the text; false when nothing was loaded.
bool QKMIQuartzComposerController::readStyled(const std::shared_ptr<QKFile>& file, bool text) {
  if (!contextHolder_) return false;
  spinLock();
  unlockedUnload();
  const QVariantMap props = propsOf(*file, text ? "text" : "image");
  currentFile_ = file;
  if (!file->validFile()) {
    threadLock_.unlock();
    return false;
  }
  const MIStyleChoice choice = MIStyleChoice::choose(
      text ? MIStyleChoice::Kind::Text : MIStyleChoice::Kind::Image, stringProp(props, kStyleName),
      !compositor_ ? QMap<QString, QString>()
      : text       ? compositor_->fontSynthPathsDict()
                   : compositor_->imageSourcesPathsDict(),
      text ? QString()
           : Paths::resourcePath(QStringLiteral("BuiltInPlayer"), QStringLiteral("qtz")),
      file->name());
  for (const QString& message : choice.messages) Log::line(message);
  if (choice.path.isEmpty()) {
    currentFile_.reset();
    threadLock_.unlock();
    return false;
  }
  contextHolder_->useFile(choice.path, true);
  loadedStyle_ = choice.style;
  if (stylePopUpButton_) {
    const int index = stylePopUpButton_->findText(loadedStyle_);
    if (index >= 0) stylePopUpButton_->setCurrentIndex(index);
  }
  loadStyleValues(*file);
  if (auto* textFile = dynamic_cast<const QKTextFile*>(file.get())) {
    QCAttributeLoader* panel = contextHolder_->attributeLoader();
    if (auto* input = panel ? dynamic_cast<QKTextUI*>(panel->defaultFileInput().get()) : nullptr)
      input->loadFile(textFile);
  }
  threadLock_.unlock();
  return true;
}

// The loaded style's values from the pending per-style dictionary; a style
// without values there gets the composition's own.
void QKMIQuartzComposerController::loadStyleValues(const QKFile& file) {
  QVariantMap* pending = inspector_ ? inspector_->pendingPropsFor(file) : nullptr;
  if (!pending || loadedStyle_.isEmpty()) return;
  auto perStyle = MIProps::map(*pending, kAttributeSnapshot);
  if (!perStyle) return;
  if (const auto values = MIProps::map(*perStyle, loadedStyle_)) {
    contextHolder_->loadSnapshot(*values);
    return;
  }
  const QVariantMap fresh = contextHolder_->createSnapshot();
  if (fresh.isEmpty()) return;
  perStyle->insert(loadedStyle_, fresh);
  pending->insert(kAttributeSnapshot, *perStyle);
}

QSizeF QKMIQuartzComposerController::canvasSize() const {
  return compositor_ ? compositor_->canvasSize() : QSizeF();
}

void QKMIQuartzComposerController::sizeContext(const QKFile& file) {
  if (!contextHolder_) return;
  const QVariantMap props = propsOf(file, nullptr);
  QSizeF size = canvasSize();
  const QVariant custom = props.value(kUseCustomRes);
  if (isNumber(custom) && custom.toInt() == 1) {
    const QVariant width = props.value(kHorRes);
    const QVariant height = props.value(kVertRes);
    if (isNumber(width) && isNumber(height) && usableSide(width.toDouble()) &&
        usableSide(height.toDouble()))
      size = QSizeF(width.toDouble(), height.toDouble());
    else
      Log::line(QStringLiteral("\t\terr: the custom size of %1 is not usable, the canvas size is "
                               "used")
                    .arg(file.name()));
  }
  if (size.isEmpty()) return;
  spinLock();
  contextHolder_->setSize(size);
  threadLock_.unlock();
}

// --- Unloading --------------------------------------------------------------------------------

void QKMIQuartzComposerController::eject() {
  spinLock();
  unlockedUnload();
  threadLock_.unlock();
}

void QKMIQuartzComposerController::unlockedUnload() {
  currentFile_.reset();
  loadedStyle_.clear();
  if (!contextHolder_) return;
  // An image's bitmap goes with it (also when the file itself has gone).
  if (contextHolder_->imageFeed().held()) contextHolder_->setImageFileBitmapImageRep(nullptr, true);
  if (!contextHolder_->rendererPath().isEmpty()) contextHolder_->useFile(QString(), true);
}

// --- Applying ---------------------------------------------------------------------------------

void QKMIQuartzComposerController::storeParamsForSelectedFiles() {
  if (!inspector_) return;
  spinLock();
  std::shared_ptr<QKFile> current = currentFile_.lock();
  if (!current || !contextHolder_) {
    threadLock_.unlock();
    return;
  }
  std::optional<QVariantMap> values;
  if (contextHolder_->hasAttributes()) values = contextHolder_->createSnapshot();
  if (values && values->isEmpty()) values.reset();
  const std::vector<std::shared_ptr<QKFile>> files = inspector_->inspectedFiles();
  const bool single = inspector_->currentlyInspectedArray().size() == 1;
  QCAttributeLoader* panel = contextHolder_->attributeLoader();
  auto* textInput = panel ? dynamic_cast<QKTextUI*>(panel->defaultFileInput().get()) : nullptr;
  for (const std::shared_ptr<QKFile>& file : files) {
    QVariantMap* pending = inspector_->pendingPropsFor(*file);
    const int kind = file->qkFileType();
    if (kind == QKFile::kCompositionKind) {
      if (values && pending) pending->insert(kAttributeSnapshot, *values);
    } else if (kind == QKFile::kTextKind || kind == QKFile::kImageKind) {
      if (!values) continue;
      // Each style keeps its own values: those now in the panel belong to
      // the style it was loaded with, and the other styles' pending values
      // stay as they are.
      if (pending) {
        QVariantMap perStyle = MIProps::map(*pending, kAttributeSnapshot).value_or(QVariantMap());
        if (!loadedStyle_.isEmpty()) perStyle.insert(loadedStyle_, *values);
        pending->insert(kAttributeSnapshot, perStyle);
      }
      auto* textFile = dynamic_cast<QKTextFile*>(file.get());
      if (textFile && textInput && single && !textFile->readOnlyFlag())
        textFile->setMyString(textInput->currentString());
    }
  }
  threadLock_.unlock();
}

// --- Preview (render thread) ------------------------------------------------------------------

void QKMIQuartzComposerController::draw() {
  if (!previewOn_.load(std::memory_order_relaxed) || !quartzComposerView_->showing()) return;
  std::unique_lock<std::mutex> lock(threadLock_, std::try_to_lock);
  if (!lock.owns_lock() || !contextHolder_) return;
  if (renderCount_ > 1) {
    renderCount_ = -1;
    contextHolder_->render();
    contextHolder_->draw();
    quartzComposerView_->drawTexture(contextHolder_->textureRef());
  }
  ++renderCount_;
}

// --- Deletion ---------------------------------------------------------------------------------

void QKMIQuartzComposerController::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  renderOnOffButton_->prepareToBeDeleted();
  readFile(nullptr);
  spinLock();
  std::shared_ptr<QKQCSrcGLAttrPubBuffContext> context = std::move(contextHolder_);
  contextHolder_.reset();
  threadLock_.unlock();
  scrollView_->setDocumentView(nullptr);
  if (context) context->prepareToBeDeleted();
}
