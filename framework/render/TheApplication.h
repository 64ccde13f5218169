#pragma once

#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/InterfaceColorScheme.h"

#include <QApplication>
#include <QSurfaceFormat>

// The process's application object. Besides being the QApplication it
// carries the interface colour scheme and activates the small pixel font
// that sliders and buttons draw their short texts with; its class methods
// give the folder paths, the default surface format of every GL surface and
// the deferred release of GPU objects (DeferredReleaseArrays).
//
// The colour dictionaries are main-thread state. The class methods may be
// called from any thread.
class TheApplication : public QApplication {
  Q_OBJECT
 public:
  // The family name under which the small pixel font is asked for.
  static const QString kSmallFontFamily;  // "04b03"

  TheApplication(int& argc, char** argv);
  ~TheApplication() override;

  // The running application object when it is a TheApplication, else null.
  static TheApplication* instance();

  // Whether a modal window is open. Controls send no actions meanwhile; safe
  // from any thread (off the main thread it answers the state the main
  // thread last saw).
  static bool modalWindowRunning();

  // A named folder ("qcFX", "plugins", "media", …) with a trailing "/": the
  // user's copy, else the shipped one, else where the user's copy would be
  // (neither tested for writing nor created). Empty for an empty name.
  static QString pathToFolderNamed(const QString& name);
  // The user default "QCUserDirectoryPath" with "~" expanded; empty when
  // it is not set.
  static QString pathToCustomUserFolder();
  // A folder inside the shipped resources (no trailing "/"); empty for an
  // empty name.
  static QString pathToSubResourcesFolderNamed(const QString& name);
  // RGBA 8 bits per channel, 16-bit depth, OpenGL 3.3 core profile: the
  // format of the render thread's contexts; a new value for every caller.
  static QSurfaceFormat defaultPixelFormat();

  // The process's two deferred-release arrays, made (and their purges
  // attached to the render thread and the main-thread fallback) when the
  // application object is. Objects the render thread may still be using are
  // handed over instead of released: the array takes over the caller's
  // reference. A renderer goes at the next renderer purge, a buffer (or an
  // uploaded bitmap) at the 30th buffer purge; null is ignored.
  static DeferredReleaseArrays& deferredReleaseArrays();
  static void addItemToQCDeleteArray(std::shared_ptr<void> renderer);
  static void purgeQCDeleteArray();
  static void addItemToBufferDeleteArray(std::shared_ptr<void> buffer);
  static void purgeBufferDeleteArray();

  // Registers the shipped pixel font with the font database under
  // kSmallFontFamily. Failures are logged and start-up goes on; calling it
  // again once the font is registered does nothing.
  void loadFonts();
  bool smallFontLoaded() const { return fontId_ >= 0; }
  // Whether a font asked for as kSmallFontFamily resolves to the shipped one.
  static bool smallFontAvailable();

  InterfaceColorScheme& colorScheme() { return colors_; }
  const InterfaceColorScheme& colorScheme() const { return colors_; }

  // The live dictionaries; the setters merge (InterfaceColorScheme).
  const QVariantMap& winColorDict() const { return colors_.dictionary(S::kWinColorDict); }
  const QVariantMap& tableColorDict() const { return colors_.dictionary(S::kTableColorDict); }
  const QVariantMap& labelColorDict() const { return colors_.dictionary(S::kLabelColorDict); }
  const QVariantMap& levelViewColorDict() const {
    return colors_.dictionary(S::kLevelViewColorDict);
  }
  const QVariantMap& popUpColorDict() const { return colors_.dictionary(S::kPopUpColorDict); }
  const QVariantMap& bezierColorDict() const { return colors_.dictionary(S::kBezierColorDict); }
  const QVariantMap& fxColorDict() const { return colors_.dictionary(S::kFxColorDict); }
  const QVariantMap& pluginColorDict() const { return colors_.dictionary(S::kPluginColorDict); }
  const QVariantMap& buttonColorDict() const { return colors_.dictionary(S::kButtonColorDict); }
  const QVariantMap& sliderColorDict() const { return colors_.dictionary(S::kSliderColorDict); }
  void setWinColorDict(const QVariantMap& d) { colors_.setDictionary(S::kWinColorDict, d); }
  void setTableColorDict(const QVariantMap& d) { colors_.setDictionary(S::kTableColorDict, d); }
  void setLabelColorDict(const QVariantMap& d) { colors_.setDictionary(S::kLabelColorDict, d); }
  void setLevelViewColorDict(const QVariantMap& d) {
    colors_.setDictionary(S::kLevelViewColorDict, d);
  }
  void setPopUpColorDict(const QVariantMap& d) { colors_.setDictionary(S::kPopUpColorDict, d); }
  void setBezierColorDict(const QVariantMap& d) { colors_.setDictionary(S::kBezierColorDict, d); }
  void setFxColorDict(const QVariantMap& d) { colors_.setDictionary(S::kFxColorDict, d); }
  void setPluginColorDict(const QVariantMap& d) { colors_.setDictionary(S::kPluginColorDict, d); }
  void setButtonColorDict(const QVariantMap& d) { colors_.setDictionary(S::kButtonColorDict, d); }
  void setSliderColorDict(const QVariantMap& d) { colors_.setDictionary(S::kSliderColorDict, d); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using S = InterfaceColorScheme;

  InterfaceColorScheme colors_;
  int fontId_ = -1;
};
