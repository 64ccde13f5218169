#pragma once

#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceType.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/PluginHost.h"

#include <initializer_list>

// Multiplexers on a real data-source tree, with a group "Test" of sources
// that push at once when set.
class MultiplexerTest : public PluginHost {
 protected:
  MultiplexerTest() {
    dsc.setDataSource(DataSourceHolder::createWithName(QStringLiteral("Test")),
                      {QStringLiteral("Test")});
  }

  static KeyPath test(const QString& name) { return {QStringLiteral("Test"), name}; }

  std::shared_ptr<DSFloatInfrequent> addSource(const QString& name, float value = 0.0f) {
    auto source = DSFloatInfrequent::createWithName(name);
    dsc.setDataSource(source, test(name));
    source->setValue(value);
    return source;
  }

  QKMultiplexerPlugin* make() {
    QKMultiplexerPlugin* m = PluginHost::make<QKMultiplexerPlugin>();
    m->setRandomGenerator([this] { return draws.empty() ? 0L : draws[drawn++ % draws.size()]; });
    return m;
  }

  // A multiplexer whose inputs are exactly these test sources.
  QKMultiplexerPlugin* makeWith(std::initializer_list<const char*> names) {
    QKMultiplexerPlugin* m = make();
    for (const char* name : names) m->addInputWithSliderSyncArray(test(QString::fromLatin1(name)));
    m->deleteInputsAtIndicies({0, 1});
    return m;
  }

  std::shared_ptr<ValueRecorder> record(const QString& name) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(dsc.subscribeObject(recorder, &ValueRecorder::updated,
                                    {QKMultiplexerPlugin::kGroupName, name}));
    return recorder;
  }

  // The value published by one tick.
  float tick(const ValueRecorder& recorder) {
    dsc.threadProc();
    return recorder.values.empty() ? -1.0f : recorder.values.back();
  }

  static QStringList inputNames(const QKMultiplexerPlugin& m) {
    QStringList names;
    for (const auto& input : m.inputs()) {
      const auto path = input->sliderSyncArray();
      names << (path ? path->join(QLatin1Char('/')) : QStringLiteral("-"));
    }
    return names;
  }

  static void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }

  std::vector<long> draws;
  size_t drawn = 0;
};
