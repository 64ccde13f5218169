#include "framework/params/QCAttributePublisher.h"

#include "framework/datasource/DSColorHolder.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/params/QKQCSTap.h"
#include "framework/render/QKQCComposition.h"
#include "framework/taps/QKRTapStub.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/threading/RWTryLock.h"

#include <algorithm>

std::shared_ptr<QCAttributePublisher> QCAttributePublisher::create() {
  return std::shared_ptr<QCAttributePublisher>(new QCAttributePublisher());
}

QCAttributePublisher::~QCAttributePublisher() = default;

std::shared_ptr<DataSource> QCAttributePublisher::makeSource(const QString& key,
                                                             const QString& portClass) {
  if (portClass == QLatin1String("QCNumberPort"))
    return DSFloatFrequent::createWithName(
        key, weak_from_this(), [](DataSourceTarget& target, DataSource* source) {
          static_cast<QCAttributePublisher&>(target).setDataSourceWithVal(source);
        });
  if (portClass == QLatin1String("QCBooleanPort"))
    return DSFloatInfrequent::createWithName(key, DSType::ButtonFloat);
  if (portClass == QLatin1String("QCColorPort")) {
    auto holder = DSColorHolder::createWithName(key);
    holder->setDelegate(std::weak_ptr<DSColorHolderDelegate>(shared_from_this()));
    return holder;
  }
  if (portClass == QLatin1String("QCStructurePort") &&
      key.contains(QLatin1String("XY"), Qt::CaseInsensitive)) {
    auto holder = DSPointHolder::createWithName(key);
    holder->setDelegate(std::weak_ptr<DSPointHolderDelegate>(shared_from_this()));
    return holder;
  }
  return nullptr;
}

void QCAttributePublisher::publishAttributesForComposition(
    std::shared_ptr<const QKQCComposition> composition) {
  if (catName_.isEmpty()) {
    Log::line("\t\terr: bailing on publish because cat is nil");
    return;
  }
  removeAllPublishedSources();
  composition_ = std::move(composition);
  if (!composition_ || composition_->publishedOutputsDict().isEmpty() || deleted_.load()) return;
  if (controller_ && !controller_->dataSourceForKeyArray({catName_}))
    controller_->setDataSource(DataSourceHolder::createWithName(catName_), {catName_});
  const QVariantMap& outputs = composition_->publishedOutputsDict();
  QHash<QString, Published> made;
  std::vector<std::shared_ptr<QKQCSTap>> taps;
  bool booleans = false;
  for (auto it = outputs.cbegin(); it != outputs.cend(); ++it) {
    const QString portClass = it.value().toMap().value(QStringLiteral("portClass")).toString();
    if (portClass == QLatin1String("QCGLImagePort")) {
      taps.push_back(QKQCSTap::create(catName_ + QLatin1Char(':') + it.key(), it.key()));
      if (delegate_) taps.back()->setImageSize(delegate_->renderSize());
      continue;
    }
    std::shared_ptr<DataSource> source = makeSource(it.key(), portClass);
    if (!source) continue;
    booleans |= portClass == QLatin1String("QCBooleanPort");
    if (controller_) controller_->setDataSource(source, {catName_, it.key()});
    made.insert(it.key(), Published{source, {}});
  }
  {
    std::unique_ptr<RWTryLock::WriteGuard> guard;
    if (delegate_) guard = std::make_unique<RWTryLock::WriteGuard>(delegate_->renderLock());
    dataSourcesDict_ = std::move(made);
    taps_ = std::move(taps);
  }
  if (booleans && controller_) {
    controller_->addToExternalSynchArray(shared_from_this());
    synchRegistered_ = true;
  }
}

void QCAttributePublisher::removeAllPublishedSources() {
  if (synchRegistered_ && controller_) controller_->removeFromExternalSynchArray(this);
  synchRegistered_ = false;
  std::vector<std::shared_ptr<QKQCSTap>> taps;
  {
    std::unique_ptr<RWTryLock::WriteGuard> guard;
    if (delegate_) guard = std::make_unique<RWTryLock::WriteGuard>(delegate_->renderLock());
    dataSourcesDict_.clear();
    taps.swap(taps_);
  }
  if (!catName_.isEmpty() && controller_ && composition_)
    controller_->setDataSource(nullptr, {catName_});
  for (const auto& tap : taps) tap->prepareToBeDeleted();
  composition_.reset();
}

void QCAttributePublisher::prepareToBeDeleted() {
  deleted_.store(true);
  removeAllPublishedSources();
}

std::vector<std::shared_ptr<QKQCSTap>> QCAttributePublisher::tapArray() const { return taps_; }

void QCAttributePublisher::setPublisherCatName(const QString& name) {
  if (name.isEmpty()) return;
  if (!catName_.isEmpty() && name != catName_ && controller_)
    controller_->changeNameFrom({catName_}, {name});
  for (const auto& tap : taps_) tap->changeTapNameTo(name + QLatin1Char(':') + tap->key());
  catName_ = name;
}

// --- Render thread -----------------------------------------------------------------

void QCAttributePublisher::publishValsForRenderer(
    const std::shared_ptr<composition::QCRenderer>& renderer) {
  if (!renderer || !delegate_ || deleted_.load()) return;
  RWTryLock& lock = delegate_->renderLock();
  if (!lock.tryWriteLock()) return;  // the tick or the main thread has it: next frame
  pushRendererImagesToTaps(*renderer);
  pushRendererValsToStorage(*renderer);
  lock.writeUnlock();
}

void QCAttributePublisher::pushRendererImagesToTaps(composition::QCRenderer& renderer) {
  for (const auto& tap : taps_) {
    std::shared_ptr<QKRTapStub> stub = tap->stub();
    if (!stub) continue;
    gl::TextureHandle image = renderer.imageForOutputKey(tap->key());
    if (image) tap->setImageSize(QSizeF(image.size()));
    stub->setTextureRef(std::move(image));
  }
}

void QCAttributePublisher::pushRendererValsToStorage(composition::QCRenderer& renderer) {
  for (auto it = dataSourcesDict_.begin(); it != dataSourcesDict_.end(); ++it) {
    QVariant value = renderer.valueForOutputKey(it.key());
    if (!value.isValid()) continue;
    switch (it->source->sourceType()) {
      case DSType::FloatFrequent:
      case DSType::ColorHolder:
      case DSType::ButtonFloat:
        it->stored = std::move(value);
        break;
      case DSType::PointHolder:
        if (value.typeId() == QMetaType::QPointF) it->stored = std::move(value);
        break;
      default:
        break;
    }
  }
}

// --- Tick thread --------------------------------------------------------------------

QVariant QCAttributePublisher::storedValue(const DataSource* source) const {
  if (!source || deleted_.load()) return {};
  const auto found = dataSourcesDict_.constFind(source->sourceName());
  return found == dataSourcesDict_.cend() ? QVariant() : found->stored;
}

void QCAttributePublisher::setDataSourceWithVal(DataSource* source) {
  if (!delegate_ || deleted_.load()) return;
  RWTryLock::ReadGuard guard(delegate_->renderLock());
  const QVariant value = storedValue(source);
  if (value.isValid()) source->setValue(std::clamp(value.toFloat(), 0.0f, 1.0f));
}

float QCAttributePublisher::colorComponent(DSColorHolder* holder, int component) const {
  if (!delegate_ || deleted_.load()) return 0;
  RWTryLock::ReadGuard guard(delegate_->renderLock());
  const QVariant value = storedValue(holder);
  if (value.typeId() != QMetaType::QColor) return 0;
  const QColor colour = value.value<QColor>();
  return static_cast<float>(component == 0   ? colour.redF()
                            : component == 1 ? colour.greenF()
                                             : colour.blueF());
}

float QCAttributePublisher::pointComponent(DSPointHolder* holder, int component) const {
  if (!delegate_ || deleted_.load()) return 0;
  RWTryLock::ReadGuard guard(delegate_->renderLock());
  const QVariant value = storedValue(holder);
  if (value.typeId() != QMetaType::QPointF) return 0;
  const QPointF point = value.toPointF();
  return static_cast<float>(component == 0 ? point.x() : point.y());
}

float QCAttributePublisher::rValForColorHolder(DSColorHolder* holder) {
  return colorComponent(holder, 0);
}
float QCAttributePublisher::gValForColorHolder(DSColorHolder* holder) {
  return colorComponent(holder, 1);
}
float QCAttributePublisher::bValForColorHolder(DSColorHolder* holder) {
  return colorComponent(holder, 2);
}
float QCAttributePublisher::xValForPointHolder(DSPointHolder* holder) {
  return pointComponent(holder, 0);
}
float QCAttributePublisher::yValForPointHolder(DSPointHolder* holder) {
  return pointComponent(holder, 1);
}

void QCAttributePublisher::DSCProc() {
  if (!delegate_ || deleted_.load()) return;
  std::vector<std::pair<std::shared_ptr<DataSource>, float>> changed;
  {
    RWTryLock::ReadGuard guard(delegate_->renderLock());
    for (auto it = dataSourcesDict_.cbegin(); it != dataSourcesDict_.cend(); ++it) {
      if (it->source->sourceType() != DSType::ButtonFloat) continue;
      const QVariant& value = it->stored;
      if (!value.isValid()) continue;
      const float now = value.toBool() ? 1.0f : 0.0f;
      auto last = lastBooleans_.constFind(it.key());
      if (last != lastBooleans_.constEnd() && *last == now) continue;
      lastBooleans_.insert(it.key(), now);
      changed.emplace_back(it->source, now);
    }
  }
  // Pushed outside the lock: subscribers may read other published values.
  for (const auto& [source, value] : changed) source->setValue(value);
}
