#pragma once

#include "platform/gl/GLContext.h"
#include "platform/gl/GLObject.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <memory>

// A string drawn as a texture in GL views (the measure dial, the frequency
// labels of the audio analysis): the text, optionally on a filled box with
// a one-pixel frame, is drawn into a bitmap once, uploaded as a rectangle
// texture of the given context's share group on the first draw, and drawn
// as a quad whenever asked. New text needs a new object.
//
// drawAtPoint() runs with that context (or one sharing with it) current;
// it leaves the caller's blending as it found it.
class QKStringTexture {
 public:
  static constexpr GLuint kNoTexture = ~GLuint(0);

  // A null string draws nothing; invalid colours mean no box or no frame.
  static std::shared_ptr<QKStringTexture> create(const QString& string, const QFont& font,
                                                 const QColor& textColour, gl::GLContext* inContext,
                                                 const QColor& boxColour = QColor(),
                                                 const QColor& frameColour = QColor());
  ~QKStringTexture();
  QKStringTexture(const QKStringTexture&) = delete;
  QKStringTexture& operator=(const QKStringTexture&) = delete;

  // Draws the text with the texture's first row at `point`, the quad
  // running to (x + width, y + height) under the caller's projection; makes
  // the texture first when needed.
  void drawAtPoint(const QPointF& point);
  void genTexture();
  // Deletes the texture (on the render thread: handed to the deferred-release
  // arrays from any other thread).
  void deleteTexture();

  // The box, text and frame as drawn (premultiplied, top row first); null,
  // logged, when nothing can be drawn.
  QImage generateImage() const;
  QImage generateBitmapImage() const;

  // `string` in `font` and `colour` centred on a transparent canvas of
  // `size` (straight RGBA8888, top row first): how the composition
  // runtime's text nodes draw (registered by TheApplication).
  static QImage drawCentred(const QString& string, const QFont& font, const QColor& colour,
                            QSize size);

  QSizeF generatedTexSize() const { return generatedTexSize_; }
  bool textureExists() const { return textureExists_; }
  GLuint texName() const { return texName_; }
  bool deleted() const { return deleted_; }
  void prepareToBeDeleted();
  QString description() const;

 private:
  QKStringTexture(const QString& string, const QFont& font, const QColor& textColour,
                  gl::GLContext* inContext, const QColor& boxColour, const QColor& frameColour);

  gl::GLContext* destContextObj_;
  bool textureExists_ = false;
  bool textureNeedsDeletion_ = false;
  GLuint texName_ = kNoTexture;
  std::shared_ptr<gl::GLObject> texture_;
  QSizeF generatedTexSize_{1, 1};
  bool deleted_ = false;
  QString string_;
  QFont font_;
  QColor textColour_;
  QColor boxColour_;
  QColor frameColour_;
};
