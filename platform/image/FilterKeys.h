#pragma once

#include <QString>

// The public names of the filter registry: attribute keys, attribute types,
// classes and categories. Stored projects, panels and menus carry them as
// data, so they keep their spelling.
namespace FilterKeys {

// Keys of a filter's attribute dictionary and of its inputs' dictionaries.
inline const QString kFilterName = QStringLiteral("CIAttributeFilterName");
inline const QString kFilterDisplayName = QStringLiteral("CIAttributeFilterDisplayName");
inline const QString kDescription = QStringLiteral("CIAttributeDescription");
inline const QString kFilterCategories = QStringLiteral("CIAttributeFilterCategories");
inline const QString kClass = QStringLiteral("CIAttributeClass");
inline const QString kType = QStringLiteral("CIAttributeType");
inline const QString kMin = QStringLiteral("CIAttributeMin");
inline const QString kMax = QStringLiteral("CIAttributeMax");
inline const QString kSliderMin = QStringLiteral("CIAttributeSliderMin");
inline const QString kSliderMax = QStringLiteral("CIAttributeSliderMax");
inline const QString kDefault = QStringLiteral("CIAttributeDefault");
inline const QString kIdentity = QStringLiteral("CIAttributeIdentity");
inline const QString kDisplayName = QStringLiteral("CIAttributeDisplayName");
inline const QString kUIParameterSet = QStringLiteral("CIUIParameterSet");
inline const QString kUISetBasic = QStringLiteral("CIUISetBasic");

// Attribute types.
inline const QString kTypeTime = QStringLiteral("CIAttributeTypeTime");
inline const QString kTypeScalar = QStringLiteral("CIAttributeTypeScalar");
inline const QString kTypeDistance = QStringLiteral("CIAttributeTypeDistance");
inline const QString kTypeAngle = QStringLiteral("CIAttributeTypeAngle");
inline const QString kTypeBoolean = QStringLiteral("CIAttributeTypeBoolean");
inline const QString kTypeInteger = QStringLiteral("CIAttributeTypeInteger");
inline const QString kTypeCount = QStringLiteral("CIAttributeTypeCount");
inline const QString kTypePosition = QStringLiteral("CIAttributeTypePosition");
inline const QString kTypeOffset = QStringLiteral("CIAttributeTypeOffset");
inline const QString kTypeRectangle = QStringLiteral("CIAttributeTypeRectangle");
inline const QString kTypeOpaqueColor = QStringLiteral("CIAttributeTypeOpaqueColor");
inline const QString kTypeColor = QStringLiteral("CIAttributeTypeColor");
inline const QString kTypeImage = QStringLiteral("CIAttributeTypeImage");
inline const QString kTypeTransform = QStringLiteral("CIAttributeTypeTransform");

// Attribute classes (what a value of the input is).
inline const QString kClassNumber = QStringLiteral("NSNumber");
inline const QString kClassImage = QStringLiteral("CIImage");
inline const QString kClassColor = QStringLiteral("CIColor");
inline const QString kClassVector = QStringLiteral("CIVector");
inline const QString kClassTransform = QStringLiteral("NSAffineTransform");

// Categories.
inline const QString kCategoryDistortionEffect = QStringLiteral("CICategoryDistortionEffect");
inline const QString kCategoryGeometryAdjustment = QStringLiteral("CICategoryGeometryAdjustment");
inline const QString kCategoryCompositeOperation = QStringLiteral("CICategoryCompositeOperation");
inline const QString kCategoryHalftoneEffect = QStringLiteral("CICategoryHalftoneEffect");
inline const QString kCategoryColorAdjustment = QStringLiteral("CICategoryColorAdjustment");
inline const QString kCategoryColorEffect = QStringLiteral("CICategoryColorEffect");
inline const QString kCategoryTransition = QStringLiteral("CICategoryTransition");
inline const QString kCategoryTileEffect = QStringLiteral("CICategoryTileEffect");
inline const QString kCategoryGenerator = QStringLiteral("CICategoryGenerator");
inline const QString kCategoryReduction = QStringLiteral("CICategoryReduction");
inline const QString kCategoryGradient = QStringLiteral("CICategoryGradient");
inline const QString kCategoryStylize = QStringLiteral("CICategoryStylize");
inline const QString kCategorySharpen = QStringLiteral("CICategorySharpen");
inline const QString kCategoryBlur = QStringLiteral("CICategoryBlur");
inline const QString kCategoryVideo = QStringLiteral("CICategoryVideo");
inline const QString kCategoryStillImage = QStringLiteral("CICategoryStillImage");
inline const QString kCategoryInterlaced = QStringLiteral("CICategoryInterlaced");
inline const QString kCategoryNonSquarePixels = QStringLiteral("CICategoryNonSquarePixels");
inline const QString kCategoryHighDynamicRange = QStringLiteral("CICategoryHighDynamicRange");
inline const QString kCategoryBuiltIn = QStringLiteral("CICategoryBuiltIn");

// The conventional keys of images.
inline const QString kInputImage = QStringLiteral("inputImage");
inline const QString kInputBackgroundImage = QStringLiteral("inputBackgroundImage");
inline const QString kOutputImage = QStringLiteral("outputImage");

}  // namespace FilterKeys
