#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// Small composition files for the tests, built as property-list values.
namespace CompositionFixtures {

// A published port leading to `inner` of the node `node`.
QVariantMap port(const QString& key, const QString& node, const QString& inner);
QVariantMap node(const QString& key, const QString& cls, const QVariantMap& state = {});
QVariantMap splitter(const QString& key, const QVariantMap& state);
// A state whose inputs each lead to a number splitter named after the key.
QVariantMap stateWithInputs(const QStringList& keys);
// A file whose root patch has `state`, with the top-level entries `extra`.
QVariantMap fileWithState(const QVariantMap& state, const QVariantMap& extra = {});
// A comp-mode file: the three comp-mode inputs.
QVariantMap compModeFile();
// A comp-mode file the runtime plays: the three inputs lead into a shader
// node of `source` (uniforms "foreground", "background", "opacity").
QVariantMap playableCompModeFile(const QString& source);

// Writes into `dir` (made when missing); the path.
QString write(const QString& dir, const QString& name, const QVariant& value);
QString writeBytes(const QString& dir, const QString& name, const QByteArray& bytes);

}  // namespace CompositionFixtures
