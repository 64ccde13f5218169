#pragma once

#include "framework/filters/CustomFilter.h"

#include <QString>
#include <QStringList>

#include <vector>

// What a built-in filter registers and how its kernel is applied: the
// arguments are the input image, then `images` (each passed as an image of
// its own), then the scalars (one float each, or together as one vec4 in
// the order red, green, blue, alpha), then `pointKey` (a vec2).
struct CustomFilterSpec {
  enum class Scalars { Floats, Vector4 };

  QString name{};
  QString displayName{};  // empty: the filter registers no attributes at all
  QString description{};  // empty: none
  QStringList categories{};
  QString kernel{};
  QStringList images{};  // second images, "maskImage"
  std::vector<CustomFilter::ScalarRow> scalars{};
  Scalars scalarsPassed = Scalars::Floats;
  QString pointKey{};  // a point parameter, (0, 0) at first
  // Without every image of `images` the input passes unchanged.
  bool inputUnchangedWithoutImages = false;

  QVariantMap classAttributes() const;
  QStringList inputKeys() const;
};
