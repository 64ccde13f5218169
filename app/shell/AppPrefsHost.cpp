#include "app/shell/AppPrefsHost.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorGLView.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/shell/AppController.h"
#include "framework/render/TheApplication.h"

bool AppPrefsHost::setCanvasSize(QSizeF size) {
  CompositorGLView* view = app_.outputView();
  return view && view->setCanvasSize(size);
}

bool AppPrefsHost::setCPSwapInterval(long interval) {
  CompositorGLView* view = app_.outputView();
  return view && view->setCPSwapInterval(interval);
}

bool AppPrefsHost::setCanvasPresentationMode(long mode) {
  CompositorGLView* view = app_.outputView();
  return view && view->setCanvasPresentationMode(mode);
}

void AppPrefsHost::setConstrainOutputWindow(bool constrain) {
  if (CompositorGLView* view = app_.outputView()) view->setConstrainOutputWindow(constrain);
}

void AppPrefsHost::setFullscreenFlagArray(const QList<bool>& flags) {
  if (CompositorGLView* view = app_.outputView()) view->setFullscreenFlagArray(flags);
}

Compositor* AppPrefsHost::compositor() {
  Compositor* compositor = app_.compositorObject();
  if (compositor) compositor->setUserFolder(TheApplication::pathToCustomUserFolder());
  return compositor;
}

QStringList AppPrefsHost::fontSynthNames() {
  Compositor* compositor = app_.compositorObject();
  return compositor ? compositor->fontSynthNames() : QStringList();
}

QStringList AppPrefsHost::imageSourcesNames() {
  Compositor* compositor = app_.compositorObject();
  return compositor ? compositor->imageSourcesNames() : QStringList();
}

void AppPrefsHost::refreshQCFXLists() {
  if (Compositor* found = compositor()) found->refreshQCFXLists();
}

void AppPrefsHost::prepareFontSynthPathsDict() {
  if (Compositor* found = compositor()) found->prepareFontSynthPathsDict();
}

void AppPrefsHost::prepareImageSourcePathsDict() {
  if (Compositor* found = compositor()) found->prepareImageSourcePathsDict();
}

void AppPrefsHost::populateCompFilterTypes() {
  if (Compositor* found = compositor()) found->populateCompFilterTypes();
}

void AppPrefsHost::reloadPluginClasses() {
  if (QKPluginManager* manager = app_.pluginManager()) manager->reloadPluginClasses();
}

QKSliderManager* AppPrefsHost::sliderManager() { return app_.sliderManager(); }

MIDIManager* AppPrefsHost::midiManager() { return app_.midiManagerObject(); }

QKOSCManager* AppPrefsHost::oscManager() { return app_.oscManager(); }

DataSourceController* AppPrefsHost::dataSourceController() { return app_.dataSourceController(); }
