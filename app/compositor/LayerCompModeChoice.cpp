#include "app/compositor/LayerCompModeChoice.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "platform/foundation/Log.h"

#include <QStringList>

#include <GL/gl.h>

namespace {

void setParentContentsMode(Compositor& compositor, Layer& layer, int mode) {
  if (Layer* parent = layer.parentLayer())
    parent->setContentsRenderingMode(mode);
  else
    compositor.setContentsRenderingMode(mode);
}

bool applyBlendMode(Compositor& compositor, Layer& layer, const QString& name) {
  const QStringList factors = name.split(QLatin1Char(':'));
  bool sourceOk = false, destinationOk = false;
  const long source = factors.value(0).toLong(&sourceOk);
  const long destination = factors.value(1).toLong(&destinationOk);
  if (factors.size() != 2 || !sourceOk || !destinationOk ||
      !LayerCompModeChoice::knownBlendFactor(source) ||
      !LayerCompModeChoice::knownBlendFactor(destination)) {
    Log::line(QStringLiteral("\t\terr: the blend mode %1 is not two GL blend factors").arg(name));
    return false;
  }
  layer.setSFactor(GLenum(source));
  layer.setDFactor(GLenum(destination));
  setParentContentsMode(compositor, layer, 1);
  layer.setGroupRenderingMode(1);
  return true;
}

}  // namespace

bool LayerCompModeChoice::apply(Compositor& compositor, Layer& layer, const QString& name,
                                const QString& kind) {
  if (kind == CompModeLists::kBlendKind) return applyBlendMode(compositor, layer, name);
  if (kind == CompModeLists::kFilterKind) {
    layer.useCompModeNamed(name);
    setParentContentsMode(compositor, layer, 0);
    layer.setGroupRenderingMode(0);
    layer.setCompRenderingMode(0);
    return true;
  }
  if (kind == CompModeLists::kQCKind) {
    layer.useQCCompModeNamed(name);
    setParentContentsMode(compositor, layer, 0);
    layer.setGroupRenderingMode(0);
    layer.setCompRenderingMode(1);
    return true;
  }
  return false;
}

bool LayerCompModeChoice::knownBlendFactor(long factor) {
  switch (factor) {
    case GL_ZERO:
    case GL_ONE:
    case GL_SRC_COLOR:
    case GL_ONE_MINUS_SRC_COLOR:
    case GL_SRC_ALPHA:
    case GL_ONE_MINUS_SRC_ALPHA:
    case GL_DST_ALPHA:
    case GL_ONE_MINUS_DST_ALPHA:
    case GL_DST_COLOR:
    case GL_ONE_MINUS_DST_COLOR:
    case GL_SRC_ALPHA_SATURATE:
    case 0x8001:  // GL_CONSTANT_COLOR
    case 0x8002:  // GL_ONE_MINUS_CONSTANT_COLOR
    case 0x8003:  // GL_CONSTANT_ALPHA
    case 0x8004:  // GL_ONE_MINUS_CONSTANT_ALPHA
      return true;
    default:
      return false;
  }
}
