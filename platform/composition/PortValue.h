#pragma once

#include "platform/composition/PortType.h"
#include "platform/gl/TextureHandle.h"
#include "platform/image/Image.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <optional>
#include <variant>

namespace composition {

// One value handed to a composition's input: a number, a boolean, a string,
// a colour, an index, an XY pair, a rectangle, or an image — a counted
// texture handle (its `flipped` flag says how its rows lie), an image of the
// filter engine, or a CPU image (uploaded on the render thread). Images are
// always sampled upright, however they are handed in. An empty value clears
// an image input (it then samples transparent black).
class PortValue {
 public:
  struct Index {
    int value = 0;
    bool operator==(const Index& other) const { return value == other.value; }
  };
  using Storage = std::variant<std::monostate, double, bool, QString, QColor, Index, QPointF,
                               QRectF, gl::TextureHandle, image::Image, QImage>;

  PortValue() = default;
  static PortValue number(double value) { return PortValue(Storage(value)); }
  static PortValue boolean(bool value) { return PortValue(Storage(value)); }
  static PortValue string(const QString& value) { return PortValue(Storage(value)); }
  static PortValue color(const QColor& value) { return PortValue(Storage(value)); }
  static PortValue index(int value) { return PortValue(Storage(Index{value})); }
  static PortValue point(const QPointF& value) { return PortValue(Storage(value)); }
  static PortValue rect(const QRectF& value) { return PortValue(Storage(value)); }
  static PortValue texture(const gl::TextureHandle& value) { return PortValue(Storage(value)); }
  static PortValue filterImage(const image::Image& value) { return PortValue(Storage(value)); }
  static PortValue cpuImage(const QImage& value) { return PortValue(Storage(value)); }

  // From the values stored files and panels carry: numbers (double, float,
  // integers), booleans, strings, QColor, colour dictionaries
  // {"red","green","blue","alpha"}, QPointF, arrays of two numbers and
  // {"x","y"} dictionaries (XY), QRectF and {"x","y","width","height"}
  // dictionaries, and the three image kinds. Empty for anything else.
  static PortValue fromVariant(const QVariant& value);

  const Storage& storage() const { return storage_; }
  // The value as a port of `type` takes it: numbers, booleans and indexes
  // convert into one another; a point or a rectangle is a structure; an
  // image port takes the three image kinds or the empty value. Nothing for
  // any other value, a non-finite number or a rectangle texture (shaders
  // sample 2D textures).
  std::optional<PortValue> as(PortType type) const;
  // An output value as callers read it: double, bool, int (index), QString,
  // QColor, QPointF or QRectF; invalid for an image or the empty value.
  QVariant toVariant() const;

  bool isEmpty() const { return std::holds_alternative<std::monostate>(storage_); }
  bool isImage() const;
  template <class T>
  const T* get() const {
    return std::get_if<T>(&storage_);
  }

 private:
  explicit PortValue(Storage storage) : storage_(std::move(storage)) {}
  Storage storage_;
};

}  // namespace composition
