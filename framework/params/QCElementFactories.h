#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

class QCPanelElement;
class QWidget;

// The makers of composition panel elements, one per kind. A panel asks
// for the kind its input's port class and key call for (see
// QCAttributeLoader); a kind without a factory yields no element and the
// input is skipped, with one log line.
//
// Every kind has its factory from the start (slider, log slider and button
// in QCElementFactories.cpp, the others in QCPanelElementKinds.cpp). A
// registerFactory (on the main thread, before panels are made) replaces the
// factory of its kind.
//
// A factory makes the element's view as a child of `parent`, with the frame
// (0, 0, width, height) of its row (QCPanelElement::rowHeight; buttons and
// the other fixed-size elements are 25 narrower than the panel, sliders and
// string elements take its whole width), gives it the input's key (and its
// title or slider name), wakes it, and sets its starting value from the
// input's description ("inputMin", "inputMax", "defaultVal", …) without
// output. Pop-ups fill their menus with QCPanelMenus.
class QCElementFactories {
 public:
  enum class Kind {
    Slider,
    LogSlider,
    Button,
    String,    // a string input
    Text,      // a "FileInput" string input (the text element)
    FontMenu,  // a "FontMenu" string input: a pop-up of the installed fonts
    Color,
    Position,   // an "XY" structure input
    Rectangle,  // a "RECT" structure input
    Tap,        // an image input
    IndexMenu,  // an index input: a pop-up of its index labels
  };

  struct Request {
    Kind kind = Kind::Slider;
    QString key;
    // The input's description from the composition (may be empty).
    QVariantMap description;
    // The panel's width.
    double panelWidth = 0;
    QWidget* parent = nullptr;
  };

  using Factory = std::function<std::shared_ptr<QCPanelElement>(const Request&)>;

  static void registerFactory(Kind kind, Factory factory);
  static bool hasFactory(Kind kind);
  // Null (nothing logged) when no factory is registered or it makes none.
  static std::shared_ptr<QCPanelElement> create(const Request& request);
  static QString kindName(Kind kind);

 private:
  QCElementFactories();
  static QCElementFactories& shared();
  // The element kinds beyond sliders and buttons (text, string, pop-ups,
  // taps, colour, position, rectangle), installed with the built-in ones.
  void installPanelElementKinds();

  struct KindHash {
    size_t operator()(Kind kind) const { return static_cast<size_t>(kind); }
  };
  mutable std::mutex mutex_;
  std::unordered_map<Kind, Factory, KindHash> factories_;
};
