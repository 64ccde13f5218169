#include "app/plugins/sticky/Sticky.h"

#include "app/plugins/manager/PluginComponents.h"
#include "app/plugins/sticky/StickyTextView.h"
#include "app/plugins/sticky/StickyWindowContentView.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/VariantNumbers.h"

#include <QFontDatabase>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

const QString Sticky::kTypeName = QStringLiteral("Sticky");
const QString Sticky::kComponentName = QStringLiteral("stickyText");
const QString Sticky::kStickyStringKey = QStringLiteral("stickyString");
const QString Sticky::kFontNameKey = QStringLiteral("fontName");
const QString Sticky::kFontSizeKey = QStringLiteral("fontSize");
const QString Sticky::kRedrawPluginsNotification = QStringLiteral("QKRedrawPluginsNotification");

namespace {
const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentNameKey = QStringLiteral("componentName");
}  // namespace

Sticky::Sticky(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID) {
  observers_.observe(kRedrawPluginsNotification, nullptr,
                     [this](const Notification&) { forceRedrawNotification(); });
}

Sticky::~Sticky() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass Sticky::pluginClass() {
  PluginClass sticky;
  sticky.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<Sticky>(type, name, uniqueID);
  };
  sticky.layout = &Sticky::buildWindow;
  return sticky;
}

std::unique_ptr<QWidget> Sticky::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(420, 360, 200, 160));
  auto* self = qobject_cast<Sticky*>(owner);
  auto* content = new StickyWindowContentView(self);
  window->setContentView(content);
  content->setAllowResize(true);
  if (!self) return window;
  auto* column = new QVBoxLayout(content->body());
  column->setContentsMargins(2, 2, 2, 2);
  self->stickyText_ = new StickyTextView(self, content->body());
  self->stickyText_->setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
  column->addWidget(self->stickyText_);
  window->setDelegate(self);
  return window;
}

void Sticky::awakeFromNib() { QKPlugin::awakeFromNib(); }

void Sticky::redisplayMethod() {
  if (stickyText_) stickyText_->viewport()->update();
}

void Sticky::forceRedrawNotification() {
  QKWindow* w = stickyText_ ? window() : nullptr;
  auto* content = w ? qobject_cast<StickyWindowContentView*>(w->contentView()) : nullptr;
  if (!content) return;
  content->setColorsFromWindowProps();
  content->setNeedsDisplay();
}

void Sticky::QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) {
  if (auto* content = qobject_cast<StickyWindowContentView*>(view))
    content->setColorsFromWindowProps();
}

QVariantMap Sticky::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  QVariantList components;
  if (stickyText_) {
    const QString text = stickyText_->toPlainText();
    QVariantMap component{{kComponentNameKey, kComponentName}, {kStickyStringKey, text}};
    if (!text.isEmpty()) {
      const QFont font = stickyText_->font();
      component.insert(kFontNameKey, font.family());
      component.insert(kFontSizeKey, font.pointSizeF());
    }
    components.append(component);
  }
  snapshot.insert(kComponentArray, components);
  return snapshot;
}

void Sticky::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant superSnap = snapshot.value(kSuperSnap);
  QKPlugin::loadSnapshot(superSnap.typeId() == QMetaType::QVariantMap ? superSnap.toMap()
                                                                      : QVariantMap());
  for (const QVariant& entry : snapshot.value(kComponentArray).toList()) {
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    const QVariantMap component = entry.toMap();
    // The plug-in manager marks the components it stored for restoring.
    if (component.value(kComponentNameKey).toString() != kComponentName ||
        !PluginComponents::restorable(component))
      continue;
    loadComponent(component);
  }
  const QPointer<Sticky> self(this);
  MainThread::runLater(this, 0.1, [self] {
    if (self) self->redisplayMethod();
  });
}

void Sticky::loadComponent(const QVariantMap& component) {
  if (!stickyText_) return;
  if (component.contains(kStickyStringKey)) {
    const QVariant text = component.value(kStickyStringKey);
    if (text.typeId() == QMetaType::QString)
      stickyText_->setPlainText(text.toString());
    else
      Log::line(QStringLiteral("\t\terr: %1: the stored note is not text").arg(windowTitle()));
  }
  const QVariant name = component.value(kFontNameKey);
  const QVariant size = component.value(kFontSizeKey);
  if (!component.contains(kFontNameKey) || !component.contains(kFontSizeKey)) return;
  if (name.typeId() != QMetaType::QString || !VariantNumbers::isNumber(size) ||
      !std::isfinite(size.toDouble())) {
    Log::line(QStringLiteral("\t\terr: %1: the stored font is unreadable").arg(windowTitle()));
    return;
  }
  // Qt substitutes any family it lacks, so the family is looked up first.
  if (!QFontDatabase::families().contains(name.toString(), Qt::CaseInsensitive)) return;
  QFont font(name.toString());
  font.setPointSizeF(std::clamp(size.toDouble(), kMinFontSize, kMaxFontSize));
  stickyText_->setFont(font);
}

void Sticky::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  MainThread::cancel(this);
  if (QKWindow* w = stickyText_ ? window() : nullptr; w && w->delegate() == this)
    w->setDelegate(nullptr);
  QKPlugin::prepareToBeDeleted();
}
