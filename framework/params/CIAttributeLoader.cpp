#include "framework/params/CIAttributeLoader.h"

#include "framework/datasource/MasterClockInterface.h"
#include "framework/params/CIColorElement.h"
#include "framework/params/CIPositionElement.h"
#include "framework/params/CIRectangleElement.h"
#include "framework/params/CITapElement.h"
#include "framework/params/QCButtonElement.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCElementHandOff.h"
#include "framework/params/QCPanelStack.h"
#include "framework/params/QCSliderElement.h"
#include "framework/taps/QKRTapMenuController.h"
#include "platform/foundation/Log.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/Image.h"

#include <QPointF>
#include <QVector2D>

#include <algorithm>

namespace {

using Kind = CIAttributeLoader::ElementKind;

bool isNumberType(const QString& type) {
  return type == FilterKeys::kTypeTime || type == FilterKeys::kTypeScalar ||
         type == FilterKeys::kTypeDistance || type == FilterKeys::kTypeAngle;
}

// A dictionary as the console shows one: {key = value; …}.
QString describe(const QVariantMap& map) {
  QStringList parts;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    QString value = it.value().toString();
    if (value.isEmpty() && it.value().canConvert<QStringList>())
      value = it.value().toStringList().join(QStringLiteral(", "));
    if (value.isEmpty()) value = QString::fromLatin1(it.value().typeName());
    parts << QStringLiteral("%1 = %2").arg(it.key(), value);
  }
  return QStringLiteral("{%1}").arg(parts.join(QStringLiteral("; ")));
}

}  // namespace

CIAttributeLoader::ElementKind CIAttributeLoader::classify(const QVariantMap& attribute) {
  const QString type = attribute.value(FilterKeys::kType).toString();
  if (isNumberType(type))
    return attribute.contains(FilterKeys::kUIParameterSet) ? Kind::Slider : Kind::None;
  if (type == FilterKeys::kTypeBoolean) return Kind::Button;
  if (type == FilterKeys::kTypePosition) return Kind::Position;
  if (type == FilterKeys::kTypeRectangle) return Kind::Rectangle;
  if (type == FilterKeys::kTypeOpaqueColor) return Kind::Color;
  const QString attributeClass = attribute.value(FilterKeys::kClass).toString();
  if (attributeClass == FilterKeys::kClassColor) return Kind::Color;
  if (attributeClass == FilterKeys::kClassImage) return Kind::Tap;
  return Kind::Unrecognized;
}

QPointF CIAttributeLoader::startingPoint(const QVariantMap& attribute) {
  const QVariant fallback = attribute.value(FilterKeys::kDefault);
  if (fallback.typeId() == QMetaType::QPointF) return fallback.toPointF();
  if (fallback.typeId() == QMetaType::QVector2D) return fallback.value<QVector2D>().toPointF();
  const QVariantList pair = fallback.toList();
  if (fallback.typeId() == QMetaType::QVariantList && pair.size() >= 2)
    return QPointF(pair[0].toDouble(), pair[1].toDouble());
  return QPointF(80, 60);
}

CIAttributeLoader::CIAttributeLoader(QWidget* parent)
    : QWidget(parent),
      feed_(std::make_shared<CIFilterFeed>()),
      accepting_(std::make_shared<std::atomic<bool>>(false)) {
  setAutoFillBackground(true);
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) { presetsAreLoading_ = true; });
  observers_.observe(QKRTapMenuController::kRestoreEndNotification, nullptr,
                     [this](const Notification&) { presetsAreLoading_ = false; });
}

CIAttributeLoader::~CIAttributeLoader() {
  observers_.clear();
  if (!deleted_.load()) prepareToBeDeleted();
}

void CIAttributeLoader::awakeFromNib() {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(MasterClockInterface::kFinderNotification),
      static_cast<MasterClockClient*>(this));
}

// --- Loading -------------------------------------------------------------------

void CIAttributeLoader::loadAttributesForFilter(std::shared_ptr<image::Filter> filter) {
  removeAllExistingElements();
  if (parentScrollView_) parentScrollView_->setBackgroundRole(QPalette::Window);
  filter_ = std::move(filter);
  if (!filter_) {
    Log::line("err:filter was nil on loadAttributesForFiter");
    return;
  }
  accepting_->store(!deleted_.load());
  generateGenericInterfaceForFilter();
}

void CIAttributeLoader::generateGenericInterfaceForFilter() {
  if (deleted_.load()) return;
  const QVariantMap attributes = filter_->attributes();
  for (const QString& key : filter_->inputKeys()) {
    const QVariant entry = attributes.value(key);
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    const QVariantMap attribute = entry.toMap();
    const ElementKind kind = classify(attribute);
    if (kind == ElementKind::None) continue;
    if (kind == ElementKind::Unrecognized) {
      Log::line(QStringLiteral("\t\terr: unrecognized ci attr type: %1").arg(describe(attribute)));
      continue;
    }
    std::shared_ptr<QCPanelElement> element;
    if (kind == ElementKind::Tap) {
      element = createTapElementForKey(key);
      if (!element) continue;
    } else {
      element = makeElement(kind, key, attribute);
    }
    if (!element) {
      Log::line(
          QStringLiteral("\t\terr: no element for the filter attribute %1, skipped").arg(key));
      continue;
    }
    bindElement(element, kind);
  }
  feed_->publish(filter_, tapArray_);
  resizeAndReposition();
  if (parentScrollView_) parentScrollView_->ensureVisible(0, 0, 0, 0);
  update();
}

std::shared_ptr<QCPanelElement> CIAttributeLoader::makeElement(ElementKind kind, const QString& key,
                                                               const QVariantMap& attribute) {
  using Factories = QCElementFactories;
  const double panelWidth = width();
  switch (kind) {
    case ElementKind::Slider: {
      QVariantMap description;
      const QVariant min =
          attribute.value(FilterKeys::kSliderMin, attribute.value(FilterKeys::kMin));
      const QVariant max =
          attribute.value(FilterKeys::kSliderMax, attribute.value(FilterKeys::kMax));
      if (min.isValid()) description.insert(QStringLiteral("inputMin"), min);
      if (max.isValid()) description.insert(QStringLiteral("inputMax"), max);
      description.insert(QStringLiteral("defaultVal"), attribute.value(FilterKeys::kDefault));
      return QCSliderElement::create({Factories::Kind::Slider, key, description, panelWidth, this},
                                     false);
    }
    case ElementKind::Button: {
      const QVariantMap description{
          {QStringLiteral("defaultVal"), attribute.value(FilterKeys::kDefault).toBool() ? 1 : 0}};
      return QCButtonElement::create({Factories::Kind::Button, key, description, panelWidth, this});
    }
    default:
      return makeOtherElement(kind, key, attribute);
  }
}

void CIAttributeLoader::bindElement(const std::shared_ptr<QCPanelElement>& element,
                                    ElementKind kind) {
  element->setAction(QCPanelStack::queueingAction(element, feed_->handOffPtr(), accepting_));
  element->setCanvasSize(canvasSize_);
  elementArray_.push_back(element);
  if (QWidget* view = element->view()) view->show();
  if (kind == ElementKind::Tap) tapArray_.push_back(element);
}

std::shared_ptr<QCPanelElement> CIAttributeLoader::makeOtherElement(ElementKind kind,
                                                                    const QString& key,
                                                                    const QVariantMap& attribute) {
  auto frame = [this](QCPanelElement::Row row) { return QCPanelElement::rowFrame(row, width()); };
  switch (kind) {
    case ElementKind::Color: {
      auto element = CIColorElement::create(frame(QCPanelElement::Row::Color), this);
      element->setTitleAndKey(key);
      const QVariant current = filter_->value(key);
      if (current.typeId() == QMetaType::QColor)
        element->setColorFromCIColor(current.value<QColor>());
      return element;
    }
    case ElementKind::Position: {
      auto element =
          CIPositionElement::create(frame(QCPanelElement::Row::Position), this, canvasSize_);
      element->setTitleAndKey(key);
      element->setPointValue(startingPoint(attribute));
      return element;
    }
    case ElementKind::Rectangle: {
      auto element =
          CIRectangleElement::create(frame(QCPanelElement::Row::Rectangle), this, canvasSize_);
      element->setTitleAndKey(key);
      return element;
    }
    default:
      return nullptr;
  }
}

std::shared_ptr<QCPanelElement> CIAttributeLoader::createTapElementForKey(const QString& key) {
  auto element =
      CITapElement::create(QCPanelElement::rowFrame(QCPanelElement::Row::Tap, width()), this);
  element->setTitleAndKey(key);
  return element;
}

// --- Layout --------------------------------------------------------------------

void CIAttributeLoader::setCanvasSize(QSizeF size) {
  canvasSize_ = size;
  for (const auto& element : elementArray_) element->setCanvasSize(size);
}

void CIAttributeLoader::resizeAndReposition() {
  if (deleted_.load()) {
    Log::line("err: attribute loader called resize and position after being deleted");
    return;
  }
  const int panelWidth = parentScrollView_ ? parentScrollView_->viewport()->width() : width();
  QCPanelStack::layOut(elementArray_, panelWidth, *this);
}

// --- Hand-off ------------------------------------------------------------------

void CIAttributeLoader::uiElementUsed(const std::shared_ptr<QCPanelElement>& element) {
  if (!element || !accepting_->load()) return;
  feed_->handOff().queue(element);
}

// --- Elements --------------------------------------------------------------------

std::shared_ptr<QCPanelElement> CIAttributeLoader::findElementWithKey(const QString& key) const {
  return deleted_.load() ? nullptr : QCPanelStack::find(elementArray_, key);
}

void CIAttributeLoader::removeAllExistingElements() {
  accepting_->store(false);
  QCPanelStack::retire(elementArray_);
  tapArray_.clear();
  feed_->handOff().clear();
  filter_.reset();
  feed_->publish(filter_, tapArray_);
}

void CIAttributeLoader::prepareToBeDeleted() {
  deleted_.store(true);
  feed_->setDeleted();
  observers_.clear();
  removeAllExistingElements();
}

// --- Snapshots -------------------------------------------------------------------

QVariantMap CIAttributeLoader::createSnapshot() const {
  QVariantMap snapshot;
  for (const auto& element : elementArray_) {
    const QString key = element->key();
    if (key.isEmpty()) continue;
    const QVariantMap elementSnapshot = element->createSnapshot();
    if (!elementSnapshot.isEmpty()) snapshot.insert(key, elementSnapshot);
  }
  return snapshot;
}

void CIAttributeLoader::loadSnapshot(const QVariantMap& snapshot) {
  if (snapshot.isEmpty() || elementArray_.empty()) return;
  for (const QVariant& entry : snapshot) {
    const QVariantMap elementSnapshot = entry.toMap();
    for (const auto& element : elementArray_) {
      const auto name = elementSnapshot.constFind(element->legacyNameKey());
      if (name == elementSnapshot.constEnd() || name->toString() != element->legacyName()) continue;
      element->loadSnapshot(elementSnapshot);
      if (element->isTap() && !presetsAreLoading_) element->reloadAvailableTaps();
      break;
    }
  }
}

void CIAttributeLoader::deprecatedLoadSnapshot(const QVariantMap& snapshot) {
  for (const auto& element : elementArray_) {
    const QString key = element->key();
    const auto entry = snapshot.constFind(key);
    if (key.isEmpty() || entry == snapshot.constEnd()) continue;
    element->loadSnapshot(entry->toMap());
    if (element->isTap() && !presetsAreLoading_) element->reloadAvailableTaps();
  }
}
