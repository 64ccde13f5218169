#include "framework/render/QKStringTexture.h"

#include "framework/render/DeferredReleaseArrays.h"
#include "platform/foundation/Log.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/QuadShader.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

std::shared_ptr<QKStringTexture> QKStringTexture::create(const QString& string, const QFont& font,
                                                         const QColor& textColour,
                                                         gl::GLContext* inContext,
                                                         const QColor& boxColour,
                                                         const QColor& frameColour) {
  return std::shared_ptr<QKStringTexture>(
      new QKStringTexture(string, font, textColour, inContext, boxColour, frameColour));
}

QKStringTexture::QKStringTexture(const QString& string, const QFont& font, const QColor& textColour,
                                 gl::GLContext* inContext, const QColor& boxColour,
                                 const QColor& frameColour)
    : destContextObj_(inContext),
      string_(string),
      font_(font),
      textColour_(textColour),
      boxColour_(boxColour),
      frameColour_(frameColour) {}

QKStringTexture::~QKStringTexture() {
  if (!deleted_) prepareToBeDeleted();
}

QString QKStringTexture::description() const {
  return QStringLiteral("<QKStringTexture:%1>").arg(string_);
}

QImage QKStringTexture::generateBitmapImage() const {
  const QSizeF textSize = QFontMetricsF(font_).size(Qt::TextSingleLine, string_);
  const QSize size(int(std::ceil(textSize.width())), int(std::ceil(textSize.height())));
  if (string_.isNull() || size.isEmpty()) {
    Log::limited(QStringLiteral("QKStringTexture.image"),
                 QStringLiteral("\t\terr: couldn't allocate image"));
    return {};
  }
  QImage bitmap(size, QImage::Format_RGBA8888_Premultiplied);
  bitmap.fill(Qt::transparent);
  QPainter painter(&bitmap);
  const QRectF box(QPointF(0, 0), QSizeF(size));
  if (boxColour_.isValid()) painter.fillRect(box, boxColour_);
  painter.setFont(font_);
  painter.setPen(textColour_);
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, string_);
  if (frameColour_.isValid()) {
    painter.setPen(QPen(frameColour_, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
  }
  painter.end();
  return bitmap;
}

QImage QKStringTexture::generateImage() const { return generateBitmapImage(); }

QImage QKStringTexture::drawCentred(const QString& string, const QFont& font, const QColor& colour,
                                    QSize size) {
  QImage canvas(size.expandedTo(QSize(1, 1)), QImage::Format_RGBA8888_Premultiplied);
  canvas.fill(Qt::transparent);
  if (!string.isEmpty()) {
    const QImage line = QKStringTexture(string, font, colour, nullptr, {}, {}).generateImage();
    QPainter painter(&canvas);
    painter.drawImage(
        QPointF((canvas.width() - line.width()) / 2.0, (canvas.height() - line.height()) / 2.0),
        line);
  }
  return gl::PixelUploader::toStraightRGBA(canvas);
}

void QKStringTexture::genTexture() {
  if (string_.isNull() || textureExists_ || deleted_) return;
  const QImage bitmap = generateBitmapImage();
  if (bitmap.isNull()) {
    Log::limited(QStringLiteral("QKStringTexture.rep"), QStringLiteral("\t\terr: rep was nil"));
    return;
  }
  gl::GLContext* context = gl::GLContext::current();
  if (!context || !context->sharesWith(destContextObj_)) {
    Log::limited(QStringLiteral("QKStringTexture.context"),
                 QStringLiteral("\t\terr: string texture made without its GL context"));
    return;
  }
  gl::GLFunctions& f = context->functions();
  GLuint name = 0;
  f.glGenTextures(1, &name);
  const GLenum error = f.glGetError();
  if (error == GL_INVALID_VALUE || error == GL_INVALID_OPERATION || !name) {
    Log::limited(QStringLiteral("QKStringTexture.gen"),
                 error == GL_INVALID_OPERATION
                     ? QStringLiteral("\t\terror: texture is invalid operation")
                     : QStringLiteral("\t\terror: texture is invalid value"));
    texName_ = kNoTexture;
    return;
  }
  f.glBindTexture(GL_TEXTURE_RECTANGLE, name);
  f.glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  f.glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  f.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  f.glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA, bitmap.width(), bitmap.height(), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, bitmap.constBits());
  f.glBindTexture(GL_TEXTURE_RECTANGLE, 0);
  texName_ = name;
  texture_ = std::make_shared<gl::GLObject>(gl::GLObject::Kind::Texture, name,
                                            context->shareGroupLifetime());
  generatedTexSize_ = QSizeF(bitmap.size());
  textureExists_ = true;
}

void QKStringTexture::deleteTexture() {
  if (!textureExists_) return;
  std::shared_ptr<gl::GLObject> texture = std::move(texture_);
  gl::GLContext* context = gl::GLContext::current();
  if (!context || !context->sharesWith(destContextObj_))
    DeferredReleaseArrays::shared().addRenderer(std::move(texture));
  texture.reset();
  texName_ = kNoTexture;
  textureExists_ = false;
  textureNeedsDeletion_ = false;
}

void QKStringTexture::drawAtPoint(const QPointF& point) {
  if (deleted_ || string_.isNull()) return;
  if (textureNeedsDeletion_) deleteTexture();
  if (!textureExists_) genTexture();
  if (!textureExists_ || texName_ == kNoTexture) return;
  gl::GLContext* context = gl::GLContext::current();
  gl::QuadShader* quad = gl::QuadShader::forCurrentContext();
  if (!context || !quad) return;
  const gl::GLContext::Blend callers = context->blend();
  context->setBlend({true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA});
  const float w = float(generatedTexSize_.width());
  const float h = float(generatedTexSize_.height());
  quad->draw(texName_, GL_TEXTURE_RECTANGLE, generatedTexSize_.toSize(),
             QRectF(point, generatedTexSize_), gl::QuadShader::TexCoords{0, 0, w, h});
  context->setBlend(callers);
}

void QKStringTexture::prepareToBeDeleted() {
  deleted_ = true;
  deleteTexture();
}
