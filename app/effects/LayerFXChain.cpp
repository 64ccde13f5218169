#include "app/effects/LayerFXChain.h"

#include "app/effects/CIFXLoader.h"
#include "app/effects/LayerFXHost.h"
#include "app/effects/MissingFXObject.h"
#include "app/effects/QCFXLoader.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

#include <QFileInfo>

const QString LayerFXChain::kFilterTypeKey = QStringLiteral("filterType");
const QString LayerFXChain::kFilterNameKey = QStringLiteral("filterName");
const QString LayerFXChain::kFilterSnapKey = QStringLiteral("filterSnap");
const QString LayerFXChain::kTypeComposition = QStringLiteral("QTZ");
const QString LayerFXChain::kTypeFilter = QStringLiteral("CIFilter");

namespace {
QString lastPathComponent(const QString& name) { return QFileInfo(name).fileName(); }
}  // namespace

LayerFXChain::LayerFXChain(FXChainManager* manager, QAbstractScrollArea* scrollView)
    : FXChain(manager, scrollView) {}

LayerFXChain::~LayerFXChain() = default;

bool LayerFXChain::isCompositionName(const QString& name) {
  return name.endsWith(QLatin1String("qtz")) || name.endsWith(QLatin1String("QTZ"));
}

QRectF LayerFXChain::layerRect() const {
  return QRectF(QPointF(0, 0), host_ ? host_->layerSize() : QSizeF(320, 240));
}

QString LayerFXChain::snapshotNameOf(const FXObject& element) const {
  const auto* effect = dynamic_cast<const LayerFXObject*>(&element);
  return effect ? effect->filterName() : element.myName();
}

QString LayerFXChain::matchKey(const QString& name) const {
  return isCompositionName(name) ? lastPathComponent(name) : name;
}

void LayerFXChain::notifyModified() {
  if (host_) host_->fxChainModified();
}

void LayerFXChain::effectWillBeInserted(FXObject& element) {
  auto* effect = dynamic_cast<LayerFXObject*>(&element);
  if (!effect) return;
  effect->setActiveRect(layerRect());
  if (auto* composition = dynamic_cast<QCFXLoader*>(effect)) {
    const QString path = host_ ? host_->currentSourcePath() : QString();
    composition->setLayerFilePath(path.isEmpty() ? QStringLiteral(" ") : path);
  }
}

// --- Edits ---------------------------------------------------------------------

void LayerFXChain::unlockedInsertEffectObject(const Element& element, unsigned index) {
  FXChain::insertEffectObject(element, index);
}

void LayerFXChain::unlockedDeleteThisEffect(FXObject* element) {
  FXChain::deleteThisEffect(element);
}

void LayerFXChain::unlockedDeleteEffectNamed(const QString& name) {
  if (Element found = findEffectNamed(name)) FXChain::deleteThisEffect(found.get());
}

FXChain::Element LayerFXChain::unlockedRemoveEffectFromChain(FXObject* element) {
  return FXChain::removeEffectFromChain(element);
}

void LayerFXChain::insertEffectObject(const Element& element, unsigned index) {
  if (!element) return;
  if (host_) host_->lockCompositorForRender();
  unlockedInsertEffectObject(element, index);
  if (host_) host_->unlockCompositorRender();
  notifyModified();
}

void LayerFXChain::deleteThisEffect(FXObject* element) {
  if (host_) host_->lockCompositorForRender();
  unlockedDeleteThisEffect(element);
  if (host_) host_->unlockCompositorRender();
  notifyModified();
}

void LayerFXChain::deleteEffectNamed(const QString& name) {
  if (host_) host_->lockCompositorForRender();
  unlockedDeleteEffectNamed(name);
  if (host_) host_->unlockCompositorRender();
  notifyModified();
}

FXChain::Element LayerFXChain::removeEffectFromChain(FXObject* element) {
  if (host_) host_->lockCompositorForRender();
  Element removed = unlockedRemoveEffectFromChain(element);
  if (host_) host_->unlockCompositorRender();
  notifyModified();
  return removed;
}

void LayerFXChain::moveEffect(FXObject* element, unsigned index) {
  FXChain::moveEffect(element, index);
  notifyModified();
}

bool LayerFXChain::addCIFXNamed(const QString& filterName) {
  Element effect = CIFXLoader::create(filterName, layerRect());
  if (!effect) return false;
  insertEffectObject(effect, static_cast<unsigned>(-1));
  return true;
}

bool LayerFXChain::addQCFXFromPath(const QString& path) {
  Element effect = QCFXLoader::createWithPath(path, layerRect(), host_);
  if (!effect) return false;
  insertEffectObject(effect, static_cast<unsigned>(-1));
  return true;
}

QByteArray LayerFXChain::dragDataFor(const LayerFXObject& element) {
  const bool composition = dynamic_cast<const QCFXLoader*>(&element) != nullptr;
  QVariantMap data{{kFilterTypeKey, composition ? kTypeComposition : kTypeFilter},
                   {kFilterNameKey, element.filterName()}};
  if (std::optional<QVariantMap> snapshot = element.createSnapshot())
    data.insert(kFilterSnapKey, *snapshot);
  return PropertyList::toXml(data);
}

bool LayerFXChain::insertEffectData(const QByteArray& data, unsigned index) {
  const PropertyList::Result parsed = PropertyList::parse(data, QStringLiteral("dragged effect"));
  const QVariantMap dict = parsed.value.toMap();
  const QVariant type = dict.value(kFilterTypeKey);
  const QVariant name = dict.value(kFilterNameKey);
  if (!parsed.ok() || parsed.value.typeId() != QMetaType::QVariantMap ||
      type.typeId() != QMetaType::QString || name.typeId() != QMetaType::QString) {
    Log::line(QStringLiteral("\t\terr: dragged effect data is not an effect: %1")
                  .arg(parsed.ok() ? QStringLiteral("wrong types") : parsed.error));
    return false;
  }
  Element effect;
  if (type.toString() == kTypeComposition)
    effect = QCFXLoader::create(lastPathComponent(name.toString()), layerRect(), host_);
  else if (type.toString() == kTypeFilter)
    effect = CIFXLoader::create(name.toString(), layerRect());
  if (!effect) {
    Log::line(QStringLiteral("\t\terr: the dragged effect %1 (%2) could not be made")
                  .arg(name.toString(), type.toString()));
    return false;
  }
  const QVariant snapshot = dict.value(kFilterSnapKey);
  if (snapshot.typeId() == QMetaType::QVariantMap) effect->loadSnapshot(snapshot.toMap());
  insertEffectObject(effect, index);
  return true;
}

// --- Queries ---------------------------------------------------------------------

bool LayerFXChain::isFirstActiveEffectQC() const {
  for (const Element& element : fxArray()) {
    auto* effect = dynamic_cast<LayerFXObject*>(element.get());
    if (effect && effect->firstActiveObjectInChain())
      return dynamic_cast<QCFXLoader*>(effect) != nullptr;
  }
  return false;
}

void LayerFXChain::setLayerFilePathForQCFX(const QString& path) {
  for (const Element& element : fxArray())
    if (auto* composition = dynamic_cast<QCFXLoader*>(element.get()))
      composition->setLayerFilePath(path.isEmpty() ? QStringLiteral(" ") : path);
}

void LayerFXChain::setActiveRect(const QRectF& rect) {
  for (const Element& element : fxArray())
    if (auto* effect = dynamic_cast<LayerFXObject*>(element.get())) effect->setActiveRect(rect);
}

// --- Restore -----------------------------------------------------------------------

FXChain::Element LayerFXChain::makeEffect(const QString& name, const QVariantMap& snapshot) {
  Element effect;
  if (isCompositionName(name)) {
    // The saved path first, then the file name in the effect folders.
    if (QFileInfo(name).isAbsolute() && QFileInfo::exists(name))
      effect = QCFXLoader::createWithPath(name, layerRect(), host_);
    if (!effect) effect = QCFXLoader::create(lastPathComponent(name), layerRect(), host_);
  } else {
    effect = CIFXLoader::create(name, layerRect());
  }
  if (!effect) {
    Log::line(QStringLiteral("\t\terr: the effect %1 is missing; its settings are kept").arg(name));
    effect = FXObject::make<MissingFXObject>(name, layerRect().size());
    if (!snapshot.isEmpty()) effect->loadSnapshot(snapshot);
  }
  return effect;
}

FXChain::Element LayerFXChain::makeEffectForSnapshotName(const QString& name) {
  return makeEffect(name);
}

void LayerFXChain::loadSnapshot(const QVariant& snapshot) {
  if (snapshot.typeId() != QMetaType::QVariantList) {
    if (snapshot.isValid()) Log::line("\t\terr: a layer's effect snapshot that is not an array");
    return;
  }
  FXChain::loadSnapshot(snapshot);
  notifyModified();
}
