#pragma once

#include "app/effects/LayerFXObject.h"

#include <QString>

#include <mutex>

class LayerFXHost;
class QKQCComposition;

// A composition effect: a composition file over the layer's image. It must
// publish an image input under one of the nine image-input names (the
// first in published order receives the image) and must not take live
// video. A published input "layerFilePath" receives the path of the
// layer's current file, once per change.
class QCFXLoader : public LayerFXObject {
 public:
  static const QString kLayerFilePathKey;  // "layerFilePath"
  static const QString kAlertTitle;        // "Hang on a second...."
  static const QString kAlertMessage;

  // By file name in the effect folders; null (logged) when none holds it.
  static std::shared_ptr<QCFXLoader> create(const QString& name, const QRectF& activeRect,
                                            LayerFXHost* host = nullptr);
  // From a path (tried again inside the "qcFX" folder when unreadable);
  // null (logged) for a file that cannot be an effect. A composition with a
  // video input shows the alert, unless a fullscreen output would hide it.
  static std::shared_ptr<QCFXLoader> createWithPath(const QString& path, const QRectF& activeRect,
                                                    LayerFXHost* host = nullptr);
  // The input that receives the image: the first published key that is one
  // of the nine names; empty for none.
  static QString imageInputPortName(const QStringList& publishedKeys);

  QCFXLoader(const QString& path, const QString& qtzPath, const QString& imagePort,
             QSizeF renderSize);
  QString className() const override { return QStringLiteral("QCFXLoader"); }
  QString qtzPath() const { return qtzPath_; }
  QString inputImagePortName() const { return inputImagePortName_; }

  // Any thread; the render thread hands it over at its next frame.
  void setLayerFilePath(const QString& path);
  QString layerFilePath() const;
  // The path waiting for the next frame, taken (render thread); none when
  // unchanged since the last.
  std::optional<QString> takeLayerFilePath();

  static void openVideoInputQCWarning();

 protected:
  void makeContexts() override;

 private:
  QString qtzPath_;
  QString inputImagePortName_;
  mutable std::mutex pathMutex_;
  QString layerFilePath_;  // under pathMutex_
  bool layerFilePathNeedsUpdate_ = false;
};
