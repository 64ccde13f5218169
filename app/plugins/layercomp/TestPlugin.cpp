#include "app/plugins/layercomp/TestPlugin.h"

#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <QVBoxLayout>

const QString TestPlugin::kTypeName = QStringLiteral("TestPlugin");

namespace {
const QString kTabSnap = QStringLiteral("tabSnap");
}

TestPlugin::TestPlugin(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID) {}

TestPlugin::~TestPlugin() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass TestPlugin::pluginClass() {
  PluginClass test;
  test.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<TestPlugin>(type, name, uniqueID);
  };
  test.layout = &TestPlugin::buildWindow;
  return test;
}

std::unique_ptr<QWidget> TestPlugin::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(400, 300, 220, 140));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<TestPlugin*>(owner);
  if (!self) return window;
  auto* column = new QVBoxLayout(content->body());
  column->setContentsMargins(2, 2, 2, 2);
  self->tabView_ = new QKNSTabView(content->body());
  for (const char* title : {"one", "two", "three"}) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(title));
    self->tabView_->addTab(page, QString::fromLatin1(title));
  }
  self->tabView_->createButtonsForTabs();
  column->addWidget(self->tabView_);
  return window;
}

QVariantMap TestPlugin::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  if (tabView_) {
    const QVariantMap tabs = tabView_->createSnapshot();
    if (!tabs.isEmpty()) snapshot.insert(kTabSnap, tabs);
  }
  return snapshot;
}

void TestPlugin::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant base = snapshot.value(kSuperSnap);
  QKPlugin::loadSnapshot(base.typeId() == QMetaType::QVariantMap ? base.toMap() : QVariantMap());
  const QVariant tabs = snapshot.value(kTabSnap);
  if (tabView_ && tabs.typeId() == QMetaType::QVariantMap) tabView_->loadSnapshot(tabs.toMap());
}

void TestPlugin::prepareToBeDeleted() {
  if (deleted()) return;
  if (tabView_) tabView_->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}
