#pragma once

#include "framework/filters/CustomFilter.h"
#include "platform/image/Kernel.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <vector>

// What a built-in filter registers and how its kernel is applied: the
// arguments are the input image (a composite: then the background, a
// feedback filter: then its previous result), then `images` (each passed as
// an image of its own), then the parameters: the scalars (one float each,
// or together as one vec4 in the order red, green, blue, alpha), then the
// vectors, then `pointKey` (a vec2) — or, where `argumentOrder` names them,
// the parameters in that order.
struct CustomFilterSpec {
  enum class Scalars { Floats, Vector4 };
  enum class Shape {
    OneImage,   // output over the input's extent
    Composite,  // "inputImage" over "inputBackgroundImage": output over their union
    Feedback,   // mixed with its previous result (`FeedbackFilter`)
  };
  // A parameter of several numbers. A point goes to the kernel as a vec2, a
  // rectangle as a vec4 (x, y, width, height), a colour as a vec4 (red,
  // green, blue and an alpha of 1, whatever the colour's own).
  enum class VectorKind { Point, Rectangle, Colour };
  struct VectorRow {
    QString key;
    VectorKind kind;
    QVariant initial;       // a QPointF, QRectF or QColor
    QVariantMap attribute;  // registered as it stands
  };

  QString name{};
  QString displayName{};  // empty: the filter registers no attributes at all
  QString description{};  // empty: none
  QStringList categories{};
  QString kernel{};
  Shape shape = Shape::OneImage;
  QStringList images{};  // second images, "maskImage"
  std::vector<CustomFilter::ScalarRow> scalars{};
  Scalars scalarsPassed = Scalars::Floats;
  std::vector<VectorRow> vectors{};
  QString pointKey{};  // a point parameter, (0, 0) at first
  QStringList argumentOrder{};
  // Initial values that differ from the attributes' defaults.
  QVariantMap initial{};
  // Without every image of `images` the input passes unchanged.
  bool inputUnchangedWithoutImages = false;
  // Works out the kernel's derived uniforms from its arguments.
  image::Kernel::Derivation derivation = nullptr;

  QVariantMap classAttributes() const;
  QStringList inputKeys() const;
  const VectorRow* vectorRow(const QString& key) const;
  bool isScalar(const QString& key) const;
};
