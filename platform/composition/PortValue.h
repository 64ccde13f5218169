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
#include <utility>
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
  static PortValue number(double value) { return PortValue(std::in_place_type<double>, value); }
  static PortValue boolean(bool value) { return PortValue(std::in_place_type<bool>, value); }
  static PortValue string(const QString& value) {
    return PortValue(std::in_place_type<QString>, value);
  }
  static PortValue color(const QColor& value) {
    return PortValue(std::in_place_type<QColor>, value);
  }
  static PortValue index(int value) { return PortValue(std::in_place_type<Index>, Index{value}); }
  static PortValue point(const QPointF& value) {
    return PortValue(std::in_place_type<QPointF>, value);
  }
  static PortValue rect(const QRectF& value) {
    return PortValue(std::in_place_type<QRectF>, value);
  }
  static PortValue texture(const gl::TextureHandle& value) {
    return PortValue(std::in_place_type<gl::TextureHandle>, value);
  }
  static PortValue filterImage(const image::Image& value) {
    return PortValue(std::in_place_type<image::Image>, value);
  }
  static PortValue cpuImage(const QImage& value) {
    return PortValue(std::in_place_type<QImage>, value);
  }

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
  // Made in place: a value handed on every frame is not moved through the
  // variant once more.
  template <class T, class... Args>
  explicit PortValue(std::in_place_type_t<T> type, Args&&... args)
      : storage_(type, std::forward<Args>(args)...) {}
  Storage storage_;
};

}  // namespace composition
