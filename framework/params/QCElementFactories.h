#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

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
// of its row (QCPanelElement::rowFrame), gives it the input's key (and its
// title or slider name), wakes it, and sets its starting value from the
// input's description ("inputMin", "inputMax", "defaultVal", …) without
// output. Pop-ups fill their menus with QCPanelMenus.
//
// Designer-form panels: the form's controls are made by class name
// (createFormWidget: our control classes, so a form may name them), and a
// control found in a form under an input's key becomes that input's element
// through the first adopter that takes it (adopt). The slider, button and
// tab-view adopters are installed from the start, and the boxed elements'
// (colour, position, rectangle, pop-up, tap) through QCFormElementSlot.
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
  // The element around a control found in a form, set up as the request's
  // input asks; null when the control is not of the adopter's class.
  using Adopter =
      std::function<std::shared_ptr<QCPanelElement>(QWidget* found, const Request& request)>;
  // A form's control of one class, made as a child of `parent`.
  using FormWidgetMaker = std::function<QWidget*(QWidget* parent)>;

  static void registerFactory(Kind kind, Factory factory);
  static bool hasFactory(Kind kind);
  // Null (nothing logged) when no factory is registered or it makes none.
  static std::shared_ptr<QCPanelElement> create(const Request& request);
  static QString kindName(Kind kind);

  // Adopters are tried in the order registered.
  static void registerAdopter(Adopter adopter);
  static std::shared_ptr<QCPanelElement> adopt(QWidget* found, const Request& request);

  static void registerFormWidget(const QString& className, FormWidgetMaker maker);
  // Null when no class of that name is registered.
  static QWidget* createFormWidget(const QString& className, QWidget* parent);

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
  std::vector<Adopter> adopters_;
  QHash<QString, FormWidgetMaker> formWidgets_;
};
