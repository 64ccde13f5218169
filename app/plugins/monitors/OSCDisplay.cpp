#include "app/plugins/monitors/OSCDisplay.h"

#include "framework/datasource/DataSource.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include <deque>
#include <mutex>

const QString OSCDisplay::kTypeName = QStringLiteral("OSCDisplay");

// The lines the OSC thread leaves for the main thread, oldest first.
struct OSCDisplayInbox {
  mutable std::mutex mutex;
  std::deque<QString> lines;  // under mutex
};

OSCDisplay::OSCDisplay(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      inbox_(std::make_shared<OSCDisplayInbox>()),
      detect_(this, QString::fromLatin1(InputNotifications::OSCDetect)) {}

OSCDisplay::~OSCDisplay() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass OSCDisplay::pluginClass() {
  PluginClass display;
  display.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<OSCDisplay>(type, name, uniqueID);
  };
  display.layout = &OSCDisplay::buildWindow;
  return display;
}

std::unique_ptr<QWidget> OSCDisplay::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(360, 300, 220, 250));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<OSCDisplay*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(6, 2, 6, 4);
  column->setSpacing(2);
  self->checkBox_ = new QCheckBox(QStringLiteral("on"), body);
  self->checkBox_->setStyleSheet(QStringLiteral("color: white; font-size: 11px"));
  column->addWidget(self->checkBox_);
  self->textField_ = new QLabel(body);
  self->textField_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  self->textField_->setStyleSheet(QStringLiteral("color: white; font-size: 10px"));
  self->textField_->setTextFormat(Qt::PlainText);
  column->addWidget(self->textField_, 1);
  return window;
}

void OSCDisplay::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (checkBox_) connect(checkBox_, &QCheckBox::toggled, this, [this] { checkBoxUsed(); });
}

void OSCDisplay::prepareToBeDeleted() {
  if (deleted()) return;
  detect_.close();
  alive_.reset();
  QKPlugin::prepareToBeDeleted();
}

void OSCDisplay::checkBoxUsed() {
  if (!checkBox_) return;
  if (checkBox_->isChecked())
    detect_.turnOn([this](const Notification& n) { oscReceivedNotification(n); });
  else
    detect_.turnOff();
}

// OSC input thread.
void OSCDisplay::oscReceivedNotification(const Notification& notification) {
  const QVariant stored =
      notification.userInfo.value(QString::fromLatin1(InputNotifications::DataSourceKey));
  if (!stored.canConvert<std::shared_ptr<DataSource>>()) return;
  const auto source = stored.value<std::shared_ptr<DataSource>>();
  if (!source) return;
  const QString line = QStringLiteral("%1 - %2").arg(
      source->sourceName(), QString::asprintf("%f", double(source->value())));
  {
    std::lock_guard<std::mutex> lock(inbox_->mutex);
    inbox_->lines.push_back(line);
    while (inbox_->lines.size() > std::size_t(kMaxLines)) inbox_->lines.pop_front();
  }
  MainThread::coalesce(inbox_.get(), [this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.lock()) refresh();
  });
}

void OSCDisplay::refresh() {
  QStringList newestFirst;
  {
    std::lock_guard<std::mutex> lock(inbox_->mutex);
    for (auto it = inbox_->lines.rbegin(); it != inbox_->lines.rend(); ++it) newestFirst << *it;
  }
  ++refreshCount_;
  if (textField_) textField_->setText(newestFirst.join(QLatin1Char('\n')));
}

QString OSCDisplay::text() const { return textField_ ? textField_->text() : QString(); }

QStringList OSCDisplay::lines() const {
  std::lock_guard<std::mutex> lock(inbox_->mutex);
  return QStringList(inbox_->lines.begin(), inbox_->lines.end());
}

QVariantMap OSCDisplay::createSnapshot() const {
  const QVariantMap super = QKPlugin::createSnapshot();
  if (super.isEmpty()) return {};
  return {{kSuperSnap, super}};
}

void OSCDisplay::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant super = snapshot.value(kSuperSnap);
  if (super.typeId() == QMetaType::QVariantMap) QKPlugin::loadSnapshot(super.toMap());
}
