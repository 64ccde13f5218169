#pragma once

#include "app/prefs/PrefsHost.h"

#include <QSizeF>
#include <QStringList>

#include <optional>

// Records what the panes hand the rest of the program; the output view
// refuses sides below 1, as ZAPH's does.
class FakePrefsHost : public PrefsHost {
 public:
  bool setCanvasSize(QSizeF size) override {
    calls << QStringLiteral("setCanvasSize");
    if (size.width() < 1 || size.height() < 1) return false;
    canvasSize = size;
    return true;
  }
  bool setCPSwapInterval(long interval) override {
    calls << QStringLiteral("setCPSwapInterval");
    swapInterval = interval;
    return interval >= 0;
  }
  bool setCanvasPresentationMode(long mode) override {
    calls << QStringLiteral("setCanvasPresentationMode");
    presentationMode = mode;
    return mode >= 0 && mode <= 3;
  }
  void setConstrainOutputWindow(bool constrain) override {
    calls << QStringLiteral("setConstrainOutputWindow");
    constrained = constrain;
  }
  void setFullscreenFlagArray(const QList<bool>& flags) override { fullscreenFlags = flags; }
  QStringList fontSynthNames() override { return fontSynths; }
  QStringList imageSourcesNames() override { return imageSources; }
  void refreshQCFXLists() override { calls << QStringLiteral("refreshQCFXLists"); }
  void prepareFontSynthPathsDict() override {
    calls << QStringLiteral("prepareFontSynthPathsDict");
  }
  void prepareImageSourcePathsDict() override {
    calls << QStringLiteral("prepareImageSourcePathsDict");
  }
  void populateCompFilterTypes() override { calls << QStringLiteral("populateCompFilterTypes"); }
  void reloadPluginClasses() override { calls << QStringLiteral("reloadPluginClasses"); }
  QKSliderManager* sliderManager() override { return sliders; }

  QStringList calls;
  std::optional<QSizeF> canvasSize;
  std::optional<long> swapInterval;
  std::optional<long> presentationMode;
  std::optional<bool> constrained;
  QList<bool> fullscreenFlags;
  QStringList fontSynths;
  QStringList imageSources;
  QKSliderManager* sliders = nullptr;
};
