#include "tests/support/TestMovie.h"

#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

std::shared_ptr<Movie> TestMovie::open(const TestClipSpec& spec, MovieClock* clock,
                                       Movie::Options options, QString* path) {
  QString error;
  const QString written = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
  if (path) *path = written;
  if (!error.isEmpty()) {
    ADD_FAILURE() << "clip: " << error.toStdString();
    return nullptr;
  }
  if (clock) options.clock = clock;
  std::shared_ptr<Movie> movie = Movie::openFile(written, &error, options);
  if (!movie) ADD_FAILURE() << "movie: " << error.toStdString();
  return movie;
}

QString TestMovie::writeFile(const QString& name, const QByteArray& bytes) {
  const QString path = TestEnvironment::makeTempDir() + QLatin1Char('/') + name;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
    ADD_FAILURE() << "cannot write " << path.toStdString();
  return path;
}
