#include "tests/platform/composition/CompositionFixture.h"

#include "platform/composition/CompositionFormat.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"

using namespace composition;

namespace plist {

QVariantMap node(const QString& key, const QString& className, const QVariantMap& state) {
  return {{kKeyKey, key}, {kClassKey, className}, {kStateKey, state}};
}

QVariantMap shader(const QString& key, const QString& source) {
  return node(key, kGLSLShaderClass, {{kFragmentSourceKey, source}});
}

QVariantMap splitter(const QString& key, const QString& portClass, const QVariant& value) {
  QVariantMap state{{kPortClassKey, portClass}};
  if (value.isValid()) state.insert(kValueKey, value);
  return node(key, kSplitterClass, state);
}

QVariantMap value(const QString& key, const QString& className, const QVariant& value) {
  QVariantMap state;
  if (value.isValid()) state.insert(kValueKey, value);
  return node(key, className, state);
}

QVariantMap port(const QString& key, const QString& node, const QString& port) {
  return {{kKeyKey, key}, {kNodeKey, node}, {kPortKey, port}};
}

QVariantMap connection(const QString& sourceNode, const QString& sourcePort,
                       const QString& destinationNode, const QString& destinationPort) {
  return {{kSourceNodeKey, sourceNode},
          {kSourcePortKey, sourcePort},
          {kDestinationNodeKey, destinationNode},
          {kDestinationPortKey, destinationPort}};
}

QVariantMap state(const QVariantList& nodes, const QVariantList& connections,
                  const QVariantList& inputs, const QVariantList& outputs) {
  return {{kNodesKey, nodes},
          {kConnectionsKey, connections},
          {kPublishedInputPortsKey, inputs},
          {kPublishedOutputPortsKey, outputs}};
}

QVariantMap file(QVariantMap rootState, const QString& rendered,
                 const QVariantMap& inputParameters) {
  if (!rendered.isEmpty()) rootState.insert(kRenderedNodeKey, rendered);
  QVariantMap top{{kRootPatchKey, QVariantMap{{kStateKey, rootState}}}};
  if (!inputParameters.isEmpty()) top.insert(kInputParametersKey, inputParameters);
  return top;
}

}  // namespace plist

std::shared_ptr<const CompositionDocument> CompositionFixture::document(const QVariant& list,
                                                                        QString* error) {
  return CompositionDocument::fromPropertyList(list, QString(), error);
}

std::shared_ptr<QCRenderer> CompositionFixture::rendererOf(
    std::shared_ptr<const CompositionDocument> document) {
  std::shared_ptr<QCRenderer> renderer;
  onRenderThread([&] { renderer = QCRenderer::create(document); });
  return renderer;
}

QImage CompositionFixture::render(QCRenderer& renderer, QSize size, double time,
                                  const std::function<void()>& before) {
  QImage out;
  onRenderThread([&] {
    if (before) before();
    gl::TextureHandle texture = gl::TexturePool::shared().acquire(size);
    gl::RenderTarget target;
    if (!target.bind(texture)) return;
    target.clear(QVector4D(0, 0, 0, 0));
    if (!renderer.renderAtTime(time, QCRenderer::Compositing::Replace)) return;
    target.detach();
    out = read(texture);
  });
  return out;
}
