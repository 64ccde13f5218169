#include "platform/composition/GraphRenderer.h"

#include "platform/composition/CompositionDocument.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/composition/ShaderSource.h"
#include "platform/composition/TextImage.h"
#include "platform/foundation/Log.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"

#include <cmath>

namespace composition {

namespace {

using Kind = CompositionGraph::NodeKind;

QByteArray programTextOf(const QByteArray& fragmentSource) {
  ShaderSource source;
  source.parse(fragmentSource, nullptr);  // parsed once already when the file was read
  return source.programText();
}

const QByteArray& blitSource() {
  static const QByteArray text = programTextOf(
      "uniform sampler2D image;\nvec4 shaderMain() { return image_sample(texCoord); }\n");
  return text;
}

// Binds `texture` to unit `unit` for sampler `uniform` and sets its helper.
void bindImage(gl::GLFunctions& f, GLint uniform, GLint rows, int unit,
               const gl::TextureHandle& texture) {
  f.glActiveTexture(GLenum(GL_TEXTURE0 + unit));
  f.glBindTexture(GL_TEXTURE_2D, texture ? texture.name() : 0);
  f.glUniform1i(uniform, unit);
  if (!texture)
    f.glUniform3f(rows, 0, 0, 0);
  else if (texture.isFlipped())  // first row at the top: p.y = 1 reads row 0
    f.glUniform3f(rows, 1, -1, 1);
  else
    f.glUniform3f(rows, 0, 1, 1);
}

QHash<QString, int> numbersOf(const QStringList& keys) {
  QHash<QString, int> numbers;
  numbers.reserve(keys.size());
  for (int i = int(keys.size()) - 1; i >= 0; --i) numbers.insert(keys[i], i);  // the first wins
  return numbers;
}

void setUniform(gl::GLFunctions& f, GLint location, PortType type, const PortValue& value) {
  if (location < 0) return;
  switch (type) {
    case PortType::Number:
      if (const double* d = value.get<double>()) f.glUniform1f(location, float(*d));
      break;
    case PortType::Boolean:
      if (const bool* b = value.get<bool>()) f.glUniform1i(location, *b ? 1 : 0);
      break;
    case PortType::Index:
      if (const auto* i = value.get<PortValue::Index>()) f.glUniform1i(location, i->value);
      break;
    case PortType::Structure:
      if (const QPointF* p = value.get<QPointF>())
        f.glUniform2f(location, float(p->x()), float(p->y()));
      break;
    case PortType::Color:
      if (const QColor* c = value.get<QColor>())
        f.glUniform4f(location, c->redF(), c->greenF(), c->blueF(), c->alphaF());
      break;
    case PortType::String:
    case PortType::Image:
      break;
  }
}

}  // namespace

GraphRenderer::GraphRenderer(std::shared_ptr<const CompositionDocument> document)
    : document_(std::move(document)),
      graph_(document_->graph()),
      inputKeys_(document_->inputKeys()),
      outputKeys_(document_->outputKeys()),
      inputNumbers_(numbersOf(inputKeys_)),
      outputNumbers_(numbersOf(outputKeys_)) {}

GraphRenderer::~GraphRenderer() = default;

std::shared_ptr<GraphRenderer> GraphRenderer::make(
    std::shared_ptr<const CompositionDocument> document, QString* error) {
  std::shared_ptr<GraphRenderer> renderer(new GraphRenderer(std::move(document)));
  if (!renderer->build(error)) return nullptr;
  return renderer;
}

bool GraphRenderer::build(QString* error) {
  ProgramCache* cache = ProgramCache::forCurrentContext();
  if (!cache) {
    *error = QStringLiteral("no GL context is current");
    return false;
  }
  nodes_.resize(graph_.nodes.size());
  frameInputs_.resize(graph_.nodes.size());
  for (size_t n = 0; n < graph_.nodes.size(); ++n) {
    const CompositionGraph::Node& node = graph_.nodes[n];
    NodeState& state = nodes_[n];
    for (const auto& port : node.inputs)
      state.values.push_back(
          PortValue::fromVariant(port.defaultValue).as(port.type).value_or(PortValue()));
    state.outputs.resize(node.outputs.size());
    state.uploaded.resize(node.inputs.size());
    if (node.kind != Kind::Shader) continue;
    state.program = cache->program(programTextOf(node.fragmentSource));
    if (!state.program->program.isValid()) {
      *error = QStringLiteral("shader %1 does not compile: %2")
                   .arg(node.path, state.program->error.trimmed());
      return false;
    }
    gl::ShaderProgram& program = state.program->program;
    state.time = program.uniform(kTimeUniform);
    for (const auto& port : node.inputs) {
      state.uniforms.push_back(program.uniform(port.name.toUtf8().constData()));
      state.rows.push_back(program.uniform(ShaderSource::rowsUniform(port.name).constData()));
    }
  }
  for (size_t i = 0; i < graph_.inputs.size(); ++i) {
    const auto& endpoint = graph_.inputs[i];
    const auto& port = graph_.nodes[endpoint.node].inputs[endpoint.port];
    nodes_[endpoint.node].values[endpoint.port] =
        PortValue::fromVariant(document_->inputs()[i].defaultValue)
            .as(port.type)
            .value_or(PortValue());
  }
  blit_ = cache->program(blitSource());
  if (!blit_->program.isValid()) {
    *error = QStringLiteral("the image program does not compile: %1").arg(blit_->error);
    return false;
  }
  blitRows_ = blit_->program.uniform("image_rows");
  markNeeded();
  return true;
}

void GraphRenderer::markNeeded() {
  const auto readsImage = [&](int node) {
    NodeState& state = nodes_[node];
    state.needed = true;
    if (graph_.nodes[node].kind == Kind::Shader) state.drawsToTexture = true;
  };
  for (const auto& endpoint : graph_.outputs) readsImage(endpoint.node);
  if (graph_.rendered.node >= 0) nodes_[graph_.rendered.node].needed = true;
  // Readers come after what they read: walk back from the end.
  for (int n = int(graph_.nodes.size()) - 1; n >= 0; --n) {
    if (!nodes_[n].needed) continue;
    for (const auto& source : graph_.nodes[n].sources)
      if (source.node >= 0) readsImage(source.node);
  }
}

int GraphRenderer::inputNumber(const QString& key) const { return inputNumbers_.value(key, -1); }

int GraphRenderer::outputNumber(const QString& key) const { return outputNumbers_.value(key, -1); }

std::optional<PortType> GraphRenderer::inputType(const QString& key) const {
  const int number = inputNumber(key);
  if (number < 0) return std::nullopt;
  return document_->inputs()[number].type;
}

std::optional<PortType> GraphRenderer::outputType(const QString& key) const {
  const int number = outputNumber(key);
  if (number < 0) return std::nullopt;
  return document_->outputs()[number].type;
}

bool GraphRenderer::setValue(const QString& key, const PortValue& value) {
  const int number = inputNumber(key);
  if (number < 0) {
    Log::limited(
        QStringLiteral("composition.setValue.key"),
        QStringLiteral("\t\terr: composition %1 has no input %2").arg(document_->path(), key));
    return false;
  }
  const auto& endpoint = graph_.inputs[number];
  const auto& port = graph_.nodes[endpoint.node].inputs[endpoint.port];
  std::optional<PortValue> taken = value.as(port.type);
  if (!taken) {
    Log::limited(QStringLiteral("composition.setValue.type"),
                 QStringLiteral("\t\terr: composition %1 ignored a value of the wrong type for "
                                "%2 (a %3)")
                     .arg(document_->path(), key, portClassName(port.type)));
    return false;
  }
  nodes_[endpoint.node].values[endpoint.port] = std::move(*taken);
  return true;
}

gl::TextureHandle GraphRenderer::upload(const QImage& image) {
  ++uploadCount_;
  return uploader_.upload(image);
}

gl::TextureHandle GraphRenderer::prepareImage(int node, int input, QSize size) {
  PortValue& value = nodes_[node].values[input];
  if (const auto* texture = value.get<gl::TextureHandle>()) return *texture;
  if (const QImage* cpu = value.get<QImage>()) {
    auto& [key, texture] = nodes_[node].uploaded[input];
    if (!texture || key != cpu->cacheKey()) {
      key = cpu->cacheKey();
      texture = upload(*cpu);
    }
    value = PortValue::texture(texture);
    return texture;
  }
  if (const image::Image* filtered = value.get<image::Image>()) {
    gl::TextureHandle texture;
    if (filtered->isNull()) {
      texture = {};
    } else if (!filtered->isInfinite() && filtered->region() == filtered->extent() &&
               filtered->extent().topLeft() == QPointF(0, 0) && !filtered->isPending()) {
      texture = filtered->texture().withFlipped(!filtered->rowsBottomUp());
    } else {
      const QRectF bounds =
          filtered->isInfinite() ? QRectF(QPointF(0, 0), QSizeF(size)) : filtered->extent();
      const image::Image copy = image::ImageContext::copy(*filtered, bounds);
      texture = copy.texture().withFlipped(!copy.rowsBottomUp());
    }
    value = PortValue::texture(texture);
    return texture;
  }
  return {};
}

void GraphRenderer::gatherInputs(int n, QSize size, std::vector<PortValue>& inputs) {
  const CompositionGraph::Node& node = graph_.nodes[n];
  NodeState& state = nodes_[n];
  inputs.resize(node.inputs.size());
  for (size_t i = 0; i < node.inputs.size(); ++i) {
    const auto& source = node.sources[i];
    if (source.node >= 0) {
      inputs[i] =
          nodes_[source.node].outputs[source.port].as(node.inputs[i].type).value_or(PortValue());
    } else {
      if (node.inputs[i].type == PortType::Image) prepareImage(n, int(i), size);
      inputs[i] = state.values[i];
    }
  }
}

void GraphRenderer::evaluate(int n, double time, QSize size) {
  const CompositionGraph::Node& node = graph_.nodes[n];
  NodeState& state = nodes_[n];
  std::vector<PortValue>& inputs = frameInputs_[n];
  gatherInputs(n, size, inputs);
  switch (node.kind) {
    case Kind::Splitter:
    case Kind::Value:
      state.outputs[0] = inputs[0];
      break;
    case Kind::ImageFile:
      if (!state.outputs[0].get<gl::TextureHandle>())
        state.outputs[0] = PortValue::texture(upload(node.image));
      break;
    case Kind::Text:
      state.outputs[0] = PortValue::texture(textTexture(n, inputs, size));
      break;
    case Kind::Shader:
      if (state.drawsToTexture)
        state.outputs[0] = PortValue::texture(shaderTexture(n, inputs, time, size));
      break;
  }
}

gl::TextureHandle GraphRenderer::textTexture(int n, const std::vector<PortValue>& inputs,
                                             QSize size) {
  NodeState& state = nodes_[n];
  const QString* string = inputs[0].get<QString>();
  const QString* family = inputs[1].get<QString>();
  const double* points = inputs[2].get<double>();
  const QColor* colour = inputs[3].get<QColor>();
  const TextImage text{string ? *string : QString(), family ? *family : QString(),
                       points ? *points : 24.0, colour ? *colour : QColor(Qt::white), size};
  const QString key = text.identity();
  const auto* current = state.outputs[0].get<gl::TextureHandle>();
  if (current && *current && key == state.shownText) return *current;
  state.shownText = key;
  return upload(text.render());
}

bool GraphRenderer::drawShader(int n, const std::vector<PortValue>& inputs, double time) {
  gl::GLContext* context = gl::GLContext::current();
  NodeState& state = nodes_[n];
  const CompositionGraph::Node& node = graph_.nodes[n];
  gl::GLFunctions& f = context->functions();
  f.glUseProgram(state.program->program.name());
  if (state.time >= 0) f.glUniform1f(state.time, float(time));
  int unit = 0;
  for (size_t i = 0; i < node.inputs.size(); ++i) {
    if (node.inputs[i].type != PortType::Image) {
      setUniform(f, state.uniforms[i], node.inputs[i].type, inputs[i]);
      continue;
    }
    gl::TextureHandle texture;
    if (const auto* t = inputs[i].get<gl::TextureHandle>()) texture = *t;
    if (texture && texture.storage() == context->drawingInto()) {
      Log::limited(QStringLiteral("composition.feedback"),
                   QStringLiteral("\t\terr: composition %1 reads the texture it draws into")
                       .arg(document_->path()));
      texture = {};
    }
    bindImage(f, state.uniforms[i], state.rows[i], unit++, texture);
  }
  f.glBindVertexArray(context->emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glActiveTexture(GL_TEXTURE0);
  return true;
}

gl::TextureHandle GraphRenderer::shaderTexture(int n, const std::vector<PortValue>& inputs,
                                               double time, QSize size) {
  const QSize own = graph_.nodes[n].size.isEmpty() ? size : graph_.nodes[n].size;
  gl::TextureHandle texture = gl::TexturePool::shared().acquire(own);
  if (!texture || !target_.bind(texture)) return {};
  drawShader(n, inputs, time);
  target_.detach();
  return texture;
}

bool GraphRenderer::renderAtTime(double seconds, Compositing compositing) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) {
    Log::limited(QStringLiteral("composition.render.context"),
                 QStringLiteral("\t\terr: composition rendered without a GL context"));
    return false;
  }
  const double time = std::isfinite(seconds) ? seconds : 0.0;
  const GLuint framebuffer = context->boundFramebuffer();
  const gl::Texture* drawingInto = context->drawingInto();
  const QRect viewport = context->viewport();
  const gl::GLContext::Blend blend = context->blend();
  const QSize size = viewport.size().isEmpty() ? QSize(1, 1) : viewport.size();
  for (int n = 0; n < int(graph_.nodes.size()); ++n)
    if (nodes_[n].needed) evaluate(n, time, size);
  context->bindFramebuffer(framebuffer, drawingInto);
  context->setViewport(viewport);
  const bool drawn = drawRendered(time, compositing);
  context->invalidateStateCache();
  context->bindFramebuffer(framebuffer, drawingInto);
  context->setViewport(viewport);
  context->setBlend(blend);
  rendered_ = true;
  return drawn;
}

bool GraphRenderer::drawRendered(double time, Compositing compositing) {
  const auto& endpoint = graph_.rendered;
  if (endpoint.node < 0) return true;  // a composition of outputs only
  gl::GLContext* context = gl::GLContext::current();
  gl::GLFunctions& f = context->functions();
  if (compositing == Compositing::Over) {
    f.glEnable(GL_BLEND);
    f.glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    f.glDisable(GL_BLEND);
  }
  const NodeState& state = nodes_[endpoint.node];
  if (graph_.nodes[endpoint.node].kind == Kind::Shader && !state.drawsToTexture)
    return drawShader(endpoint.node, frameInputs_[endpoint.node], time);
  const auto* texture = state.outputs[endpoint.port].get<gl::TextureHandle>();
  if (!texture || !*texture) {
    Log::limited(QStringLiteral("composition.render.image"),
                 QStringLiteral("\t\terr: composition %1 made no image").arg(document_->path()));
    return false;
  }
  f.glUseProgram(blit_->program.name());
  bindImage(f, blit_->program.uniform("image"), blitRows_, 0, *texture);
  f.glBindVertexArray(context->emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return true;
}

QVariant GraphRenderer::valueForOutputKey(const QString& key) const {
  const int number = outputNumber(key);
  if (number < 0 || !rendered_) return {};
  const auto& endpoint = graph_.outputs[number];
  return nodes_[endpoint.node].outputs[endpoint.port].toVariant();
}

gl::TextureHandle GraphRenderer::imageForOutputKey(const QString& key) const {
  const int number = outputNumber(key);
  if (number < 0 || !rendered_) return {};
  const auto& endpoint = graph_.outputs[number];
  const auto* texture = nodes_[endpoint.node].outputs[endpoint.port].get<gl::TextureHandle>();
  return texture ? *texture : gl::TextureHandle();
}

}  // namespace composition
