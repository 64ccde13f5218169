#include "framework/params/QCFormElementSlot.h"

#include "framework/params/QCPanelElement.h"

#include <QLayout>

namespace {
const QString kGenericClass = QStringLiteral("QCFormElementSlot");
}  // namespace

QCFormElementSlot::QCFormElementSlot(const QString& elementClass, QWidget* parent)
    : QWidget(parent), elementClass_(elementClass == kGenericClass ? QString() : elementClass) {}

QStringList QCFormElementSlot::classNames() {
  return {QStringLiteral("CIColorElement"),     QStringLiteral("CIPositionElement"),
          QStringLiteral("CIRectangleElement"), QStringLiteral("CIPopUpElement"),
          QStringLiteral("QCTapElement"),       kGenericClass};
}

QString QCFormElementSlot::elementClassFor(QCElementFactories::Kind kind) {
  using Kind = QCElementFactories::Kind;
  switch (kind) {
    case Kind::Color:
      return QStringLiteral("CIColorElement");
    case Kind::Position:
      return QStringLiteral("CIPositionElement");
    case Kind::Rectangle:
      return QStringLiteral("CIRectangleElement");
    case Kind::IndexMenu:
    case Kind::FontMenu:
      return QStringLiteral("CIPopUpElement");
    case Kind::Tap:
      return QStringLiteral("QCTapElement");
    default:
      return {};
  }
}

std::shared_ptr<QCPanelElement> QCFormElementSlot::adopt(
    QWidget* found, const QCElementFactories::Request& request) {
  auto* slot = qobject_cast<QCFormElementSlot*>(found);
  if (!slot) return nullptr;
  const QString wanted = elementClassFor(request.kind);
  if (wanted.isEmpty() || (!slot->elementClass().isEmpty() && slot->elementClass() != wanted))
    return nullptr;
  QWidget* parent = slot->parentWidget();
  QCElementFactories::Request inSlot = request;
  inSlot.parent = parent;
  inSlot.panelWidth = slot->width();
  std::shared_ptr<QCPanelElement> element = QCElementFactories::create(inSlot);
  QWidget* box = element ? element->view() : nullptr;
  if (!box) return nullptr;
  box->setGeometry(slot->geometry());
  box->setObjectName(slot->objectName());
  box->setProperty("key", request.key);
  if (parent && parent->layout()) delete parent->layout()->replaceWidget(slot, box);
  slot->setProperty("key", QVariant());
  slot->hide();
  slot->deleteLater();
  return element;
}
