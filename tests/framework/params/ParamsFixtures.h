#pragma once

#include "framework/params/QCPanelElement.h"
#include "platform/composition/QCRenderer.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

// A renderer that lists the inputs and outputs it is given, records every
// value set, and answers the outputs a test sets.
class RecordingRenderer : public composition::QCRenderer {
 public:
  using Ports = std::vector<std::pair<QString, composition::PortType>>;
  explicit RecordingRenderer(Ports inputs, Ports outputs = {})
      : inputs_(std::move(inputs)), outputs_(std::move(outputs)) {}

  QStringList inputKeys() const override { return keysOf(inputs_); }
  QStringList outputKeys() const override { return keysOf(outputs_); }
  std::optional<composition::PortType> inputType(const QString& key) const override {
    return typeOf(inputs_, key);
  }
  std::optional<composition::PortType> outputType(const QString& key) const override {
    return typeOf(outputs_, key);
  }
  bool setValue(const QString& key, const composition::PortValue& value) override;
  bool renderAtTime(double, Compositing) override { return true; }
  QVariant valueForOutputKey(const QString& key) const override;
  gl::TextureHandle imageForOutputKey(const QString& key) const override;

  // Every value set, in order.
  std::vector<std::pair<QString, QVariant>> sets() const;
  // The values set on `key`, in order.
  QVariantList setsOf(const QString& key) const;
  void clearSets();
  void setOutput(const QString& key, const QVariant& value);
  void setOutputImage(const QString& key, const gl::TextureHandle& image);

 private:
  static QStringList keysOf(const Ports& ports);
  static std::optional<composition::PortType> typeOf(const Ports& ports, const QString& key);
  Ports inputs_;
  Ports outputs_;
  mutable std::mutex mutex_;
  std::vector<std::pair<QString, QVariant>> sets_;
  std::map<QString, QVariant> outputValues_;
  std::map<QString, gl::TextureHandle> outputImages_;
};

// An element without a view: its value is a number the test moves from
// any thread, and it counts deliveries of its snapshot requests.
class FakeElement : public QCPanelElement {
 public:
  explicit FakeElement(QString key, Row row = Row::Slider) : key_(std::move(key)), row_(row) {}
  QString key() const override { return key_; }
  QWidget* view() const override { return nullptr; }
  Row row() const override { return row_; }
  std::optional<composition::PortValue> value() const override {
    return composition::PortValue::number(number.load());
  }
  bool snapshotAfterDelivery(bool) const override { return true; }
  void setAction(Callback action) override {
    std::lock_guard lock(mutex_);
    action_ = std::move(action);
  }
  void setSnapshotNotice(Callback) override {}
  QVariantMap createSnapshot() const override {
    return {{QStringLiteral("key"), key_}, {QStringLiteral("value"), number.load()}};
  }
  void loadSnapshot(const QVariantMap& snapshot) override {
    number.store(snapshot.value(QStringLiteral("value")).toDouble());
  }
  QString legacyName() const override { return key_; }
  void prepareToBeDeleted() override {}
  // Moves the value and sends the action, as a control does.
  void move(double to) {
    number.store(to);
    Callback action;
    {
      std::lock_guard lock(mutex_);
      action = action_;
    }
    if (action) action();
  }
  std::atomic<double> number{0};

 private:
  const QString key_;
  const Row row_;
  std::mutex mutex_;
  Callback action_;
};

namespace ParamsFixtures {

struct Input {
  QString key;
  QString portClass;
  // Extra splitter state ("inputMin", "inputMax", "indexLabels").
  QVariantMap state = {};
  QVariant defaultVal = {};
};
struct Output {
  QString key;
  QString portClass;
};

// Writes a composition file with these published ports into `dir`; its path.
QString writeComposition(const QString& dir, const QString& name, const std::vector<Input>& inputs,
                         const std::vector<Output>& outputs = {});

}  // namespace ParamsFixtures
