#pragma once

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/plugins/mixer/TwoChannelMixer.h"
#include "app/sources/MovieSource.h"
#include "app/sources/SourceFactories.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/taps/QKRTapMenuController.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/support/PluginHost.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

// A plug-in snapshot as the plug-in manager stores it: every component
// marked for restoring.
inline QVariantMap markedForRestore(QVariantMap snapshot) {
  QVariantList components;
  for (const QVariant& entry : snapshot.value(QStringLiteral("componentArray")).toList()) {
    QVariantMap component = entry.toMap();
    component.insert(QStringLiteral("restore"), 1);
    components.append(component);
  }
  snapshot.insert(QStringLiteral("componentArray"), components);
  return snapshot;
}

// A mouse event sent straight to a widget at a point of its own.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons,
                      Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

inline void dragIn(QWidget* widget, QPointF from, QPointF to) {
  sendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  sendMouse(widget, QEvent::MouseMove, to, Qt::LeftButton);
  sendMouse(widget, QEvent::MouseButtonRelease, to, Qt::NoButton, Qt::LeftButton);
}

// The plug-ins' world with a compositor whose layers a mixer drives (real
// layers; the movie kind is the real movie source).
class MixerTest : public PluginHost {
 protected:
  MixerTest() {
    world.compositor->registerSourceFactory(VidSourceObject::kMovieSource,
                                            SourceFactories::make<MovieSource>());
  }
  // The plug-ins go while the layers they drive are still there.
  ~MixerTest() override { manager.reset(); }

  TwoChannelMixer* makeMixer() {
    auto* mixer = make<TwoChannelMixer>();
    mixer->setCompositor(world.compositor.get());
    mixer->setTimeSource([this] { return now; });
    return mixer;
  }
  // Chooses the sides' layers by name, as the pop-ups do.
  static void chooseSides(TwoChannelMixer& mixer, const QString& left, const QString& right) {
    mixer.leftMenuController()->setLastSelectedName(left);
    mixer.leftMenuUsed();
    mixer.rightMenuController()->setLastSelectedName(right);
    mixer.rightMenuUsed();
  }
  static float opacity(const std::shared_ptr<Layer>& layer) {
    return layer->alphaSlider()->value();
  }

  LayerWorld world;
  double now = 100.0;
};
