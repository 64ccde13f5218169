#pragma once

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/sources/ImageSource.h"
#include "app/sources/SourceFactories.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/QCSource.h"
#include "app/sources/TapSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQCFile.h"
#include "framework/media/QKTapFile.h"
#include "framework/media/QKTextFile.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/ShaderComposition.h"
#include "tests/support/TestEnvironment.h"

#include <QImage>

#include <map>
#include <memory>

// A compositor with a 640 x 480 canvas whose player tables hold the shipped
// players, whose layers make this folder's sources, and whose file lookup
// is `files`.
struct SourceWorld {
  SourceWorld() {
    Compositor::Environment environment;
    environment.gpuVendors = {"NVIDIA"};
    environment.compositeFilterNames = {"CISourceOverCompositing"};
    environment.localizedFilterName = [](const QString& name) { return name; };
    environment.applicationFolder = Paths::resourcesDir() + "/";
    compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
    compositor->setDataSourceController(&dsc);
    SourceFactories::install(*compositor);
    SourceFileLookup::set([this](long id) -> std::shared_ptr<QKFile> {
      auto it = files.find(id);
      return it == files.end() ? nullptr : it->second;
    });
    compositor->layerSizeChangedFrom(QSizeF(), QSizeF(640, 480));
    compositor->canvasSizeChanged(QSizeF(640, 480));
    compositor->setDisplaySize(QSizeF(640, 480));
    compositor->setCanvasPresentationMode(2);
  }
  ~SourceWorld() {
    compositor->deleteAllLayers();
    MainThread::processUntil([] { return false; }, 0.05);
    compositor->setLayerArray({});
    compositor.reset();
    SourceFileLookup::set(nullptr);
  }

  std::shared_ptr<Layer> layer() { return compositor->createNewLayer(); }
  static QCSource& qc(Layer& layer) {
    return static_cast<QCSource&>(*layer.sourceOfKind(VidSourceObject::kQCSource));
  }
  static TapSource& tap(Layer& layer) {
    return static_cast<TapSource&>(*layer.sourceOfKind(VidSourceObject::kTapSource));
  }
  static ImageSource& image(Layer& layer) {
    return static_cast<ImageSource&>(*layer.sourceOfKind(VidSourceObject::kImageSource));
  }
  template <class F>
  std::shared_ptr<F> keep(std::shared_ptr<F> file) {
    files[file->uniqueFileId()] = file;
    return file;
  }

  // A composition drawing its "colour" input over the whole target.
  static QString writeColourComposition(const QString& folder, const QString& name) {
    return writeShaderComposition(
        folder, name,
        QStringLiteral("uniform vec4 colour;\nvec4 shaderMain() { return colour; }\n"),
        QStringLiteral("colour"), QStringLiteral("QCColorPort"),
        QVariantMap{{"red", 1.0}, {"green", 0.0}, {"blue", 0.0}, {"alpha", 1.0}});
  }
  static QString writeImage(const QString& folder, const QString& name, QSize size, QColor colour) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    const QString path = folder + "/" + name;
    image.save(path);
    return path;
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  std::unique_ptr<Compositor> compositor;
  std::map<long, std::shared_ptr<QKFile>> files;
};
