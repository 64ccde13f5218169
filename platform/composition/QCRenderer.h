#pragma once

#include "platform/composition/PortType.h"
#include "platform/composition/PortValue.h"

#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace composition {

class CompositionDocument;

// Plays one composition on the render thread: the values set on its
// published inputs, then renderAtTime() into whatever framebuffer is bound,
// then the values of its published outputs. Render thread only, with a
// context of the render thread's share group current.
//
// A renderer may still be in use by the frame under way when its owner lets
// go of it: owners never release it directly but hand it to
// TheApplication::addItemToQCDeleteArray, which releases it after the frame.
//
// This is the interface the render contexts use; create() makes our graph
// runtime, and tests may put a fake of their own behind it.
class QCRenderer {
 public:
  // How the composition's image meets what the target already holds.
  enum class Compositing {
    // Source-over blending (straight alpha): exact over an opaque target.
    Over,
    // The image replaces the target's pixels: what "over" means on a
    // target cleared to transparent black, kept exact for straight alpha.
    Replace,
  };

  // The runtime's renderer of a document (made on the main thread with
  // CompositionDocument::load). Its shader programs are compiled now (each
  // source once per share group, cached by its text): null, with one log
  // line, when one does not compile or no context is current.
  static std::shared_ptr<QCRenderer> create(std::shared_ptr<const CompositionDocument> document);

  virtual ~QCRenderer() = default;

  // The published input keys in the file's order (a caller that wants "the
  // image input" takes the first image key), and the output keys.
  virtual QStringList inputKeys() const = 0;
  virtual QStringList outputKeys() const = 0;
  virtual std::optional<PortType> inputType(const QString& key) const = 0;
  virtual std::optional<PortType> outputType(const QString& key) const = 0;
  bool hasInputKey(const QString& key) const { return inputType(key).has_value(); }

  // Sets a published input for the following renders. A value of the
  // wrong type for the port, a non-finite number or an unknown key is
  // ignored with a rate-limited log line, and false is answered. An empty
  // value clears an image input. Images are held (a texture handle counts
  // as a reference) until replaced or the renderer goes.
  virtual bool setValue(const QString& key, const PortValue& value) = 0;
  // The same for the values of stored files and panels (PortValue::fromVariant).
  bool setValue(const QString& key, const QVariant& value) {
    return setValue(key, PortValue::fromVariant(value));
  }
  bool setNumber(const QString& key, double v) { return setValue(key, PortValue::number(v)); }
  bool setBoolean(const QString& key, bool v) { return setValue(key, PortValue::boolean(v)); }
  bool setString(const QString& key, const QString& v) {
    return setValue(key, PortValue::string(v));
  }
  bool setColor(const QString& key, const QColor& v) { return setValue(key, PortValue::color(v)); }
  bool setIndex(const QString& key, int v) { return setValue(key, PortValue::index(v)); }
  bool setPoint(const QString& key, const QPointF& v) { return setValue(key, PortValue::point(v)); }
  bool setRect(const QString& key, const QRectF& v) { return setValue(key, PortValue::rect(v)); }
  bool setImage(const QString& key, const gl::TextureHandle& v) {
    return setValue(key, PortValue::texture(v));
  }
  bool setImage(const QString& key, const image::Image& v) {
    return setValue(key, PortValue::filterImage(v));
  }
  bool setImage(const QString& key, const QImage& v) {
    return setValue(key, PortValue::cpuImage(v));
  }
  bool clearImage(const QString& key) { return setValue(key, PortValue()); }

  // Evaluates the graph at `seconds` and draws its image into the bound
  // framebuffer's viewport (the current context's). False when nothing
  // could be drawn (logged, rate-limited). Outputs are evaluated too.
  virtual bool renderAtTime(double seconds, Compositing compositing = Compositing::Over) = 0;

  // The value of a published output after the last render: a double
  // (number, index as int), bool, QString, QColor or QPointF (XY
  // structure); invalid for an image output, an unknown key or before the
  // first render.
  virtual QVariant valueForOutputKey(const QString& key) const = 0;
  // An image output after the last render, as a counted texture handle of
  // the render core's pool (the caller may keep it); null when there is none.
  virtual gl::TextureHandle imageForOutputKey(const QString& key) const = 0;
};

}  // namespace composition
