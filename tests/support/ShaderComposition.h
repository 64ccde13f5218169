#pragma once

#include <QString>
#include <QVariant>

// Writes a composition whose one GLSL shader is drawn over the whole target
// and reads one published input, `input`, through a splitter of
// `portClass` ("QCNumberPort", "QCColorPort", …) starting at `value`.
// Answers the path written (folder/name).
QString writeShaderComposition(const QString& folder, const QString& name,
                               const QString& fragmentSource, const QString& input,
                               const QString& portClass, const QVariant& value);
