#include "app/sources/VidSourceObject.h"

const QString VidSourceObject::kQCSource = QStringLiteral("QCSource");
const QString VidSourceObject::kMovieSource = QStringLiteral("MovieSource");
const QString VidSourceObject::kTapSource = QStringLiteral("TapSource");
const QString VidSourceObject::kImageSource = QStringLiteral("ImageSource");
const QString VidSourceObject::kWebSource = QStringLiteral("WebSource");

VidSourceObject::VidSourceObject(QString name, Layer* layer)
    : name_(std::move(name)), layer_(layer) {}

VidSourceObject::~VidSourceObject() {
  if (!deleted()) prepareToBeDeleted();  // a kind's own override has gone by now
  delete view_.data();
}
