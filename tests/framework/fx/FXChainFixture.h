#pragma once

#include "framework/fx/FXChain.h"
#include "framework/fx/FXChainManager.h"
#include "framework/fx/FXObject.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

// An element that records the passes it sees and keeps one setting, "value".
class RecordingElement : public FXObject {
 public:
  explicit RecordingElement(const QString& name) : FXObject(name) {}

  void processPassedPtr(void* passed) override {
    if (bypass()) return;
    if (deleted()) deletedPassCount.fetch_add(1);
    if (passed) static_cast<QStringList*>(passed)->append(myName());
  }
  std::optional<QVariantMap> createSnapshot() const override {
    if (snapshotFails) return std::nullopt;
    std::optional<QVariantMap> snapshot = FXObject::createSnapshot();
    if (snapshot) snapshot->insert(QStringLiteral("value"), value);
    return snapshot;
  }
  void loadSnapshot(const QVariantMap& snapshot) override {
    FXObject::loadSnapshot(snapshot);
    value = snapshot.value(QStringLiteral("value"), value).toInt();
    ++loadCount;
  }

  int value = 0;
  int loadCount = 0;
  bool snapshotFails = false;
  static inline std::atomic<int> deletedPassCount{0};
};

// A manager that makes RecordingElements under the given names.
class RecordingManager : public FXChainManager {
 public:
  explicit RecordingManager(const QStringList& names = {QStringLiteral("A"), QStringLiteral("B"),
                                                        QStringLiteral("Blur"),
                                                        QStringLiteral("Glow")}) {
    setFXFolder(QStringLiteral("testFX"));
    for (const QString& name : names)
      addClass([](const QString& n) { return FXObject::make<RecordingElement>(n); }, name);
  }
};

inline QStringList namesOf(const FXChain& chain) {
  QStringList names;
  for (const auto& element : chain.fxArray()) names.append(element->myName());
  return names;
}

inline RecordingElement* recording(const std::shared_ptr<FXObject>& element) {
  return static_cast<RecordingElement*>(element.get());
}
