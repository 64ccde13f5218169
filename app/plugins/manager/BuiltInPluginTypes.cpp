#include "app/plugins/manager/BuiltInPluginTypes.h"

#include "app/mediabin/MediaBin.h"
#include "app/plugins/audioanalysis/AudioAnalysis.h"
#include "app/plugins/auxdisplay/AuxDisplay.h"
#include "app/plugins/buttons/Buttons.h"
#include "app/plugins/colorswatch/ColorSwatch.h"
#include "app/plugins/layercontrols/LayerControls.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/midioutput/MIDIOutput.h"
#include "app/plugins/mixer/TwoChannelMixer.h"
#include "app/plugins/monitors/MIDIDisplay.h"
#include "app/plugins/monitors/OSCDisplay.h"
#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "app/plugins/notestovalue/NotesToValue.h"
#include "app/plugins/oscillator/Oscillator.h"
#include "app/plugins/oscoutput/OSCOutput.h"
#include "app/plugins/sliders/Sliders.h"
#include "app/plugins/preview/PreviewWindow.h"
#include "app/plugins/stepsequencer/StepSequencer.h"
#include "app/plugins/sticky/Sticky.h"
#include "app/plugins/waveform/Waveform.h"
#include "app/plugins/wiimote/WiiMote.h"

#include <QHash>

std::vector<PluginRegistry::Entry> BuiltInPluginTypes::entries() {
  const QHash<QString, PluginClass> classes{
      {AudioAnalysis::kTypeName, AudioAnalysis::pluginClass()},
      {AuxDisplay::kTypeName, AuxDisplay::pluginClass()},
      {Buttons::kTypeName, Buttons::pluginClass()},
      {MediaBin::kTypeName, MediaBin::pluginClass()},
      {ColorSwatch::kTypeName, ColorSwatch::pluginClass()},
      {LayerControls::kTypeName, LayerControls::pluginClass()},
      {MIDIDisplay::kTypeName, MIDIDisplay::pluginClass()},
      {MIDIOutput::kTypeName, MIDIOutput::pluginClass()},
      {QKMultiplexerPlugin::kTypeName, QKMultiplexerPlugin::pluginClass()},
      {NotesToValue::kTypeName, NotesToValue::pluginClass()},
      {OSCDisplay::kTypeName, OSCDisplay::pluginClass()},
      {OSCOutput::kTypeName, OSCOutput::pluginClass()},
      {Oscillator::kTypeName, Oscillator::pluginClass()},
      {Sliders::kTypeName, Sliders::pluginClass()},
      {PreviewWindow::kTypeName, PreviewWindow::pluginClass()},
      {StepSequencer::kTypeName, StepSequencer::pluginClass()},
      {Sticky::kTypeName, Sticky::pluginClass()},
      {TwoChannelMixer::kTypeName, TwoChannelMixer::pluginClass()},
      {Waveform::kTypeName, Waveform::pluginClass()},
      {WiiMote::kTypeName, WiiMote::pluginClass()},
  };
  std::vector<PluginRegistry::Entry> entries;
  for (const QString& type : QKPluginManager::builtInTypeNames())
    if (classes.contains(type)) entries.emplace_back(type, classes.value(type));
  return entries;
}
