#include "platform/movie/Movie.h"
#include "platform/movie/MovieByteSource.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestMovie.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {
QByteArray counting(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char(i % 251);
  return bytes;
}

// Two seconds of long GOP whose colour noise makes every frame weigh.
TestClipSpec noisyLongGop() {
  TestClipSpec spec;
  spec.width = 160;
  spec.height = 120;
  spec.frames = 60;
  spec.gop = TestClipSpec::Gop::Long;
  spec.chromaNoise = 20;
  return spec;
}

// Overwrites a file in place (same inode, so an open descriptor sees it).
void scribbleOver(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  const qint64 size = f.size();
  f.seek(0);
  f.write(QByteArray(size, '\0'));
}
}  // namespace

TEST(MovieByteSource, PinnedSpansMergeCutAndServeReads) {
  const QByteArray bytes = counting(10000);
  const QString path = TestMovie::writeFile(QStringLiteral("bytes.bin"), bytes);
  QString error;
  auto source = MovieByteSource::forFile(path, &error);
  ASSERT_TRUE(source);
  struct Step {
    const char* name;
    bool pin;
    int64_t offset;
    int64_t length;
    int64_t pinnedAfter;
  };
  const Step steps[] = {
      {"first span", true, 100, 100, 100},
      {"overlapping span merges", true, 150, 100, 150},
      {"touching span merges", true, 250, 50, 200},
      {"separate span", true, 1000, 10, 210},
      {"past the end is clipped", true, 9990, 100, 220},
      {"cut out of the middle", false, 150, 50, 170},
      {"unpinning nothing pinned", false, 5000, 100, 170},
      {"cut across two spans", false, 280, 800, 140},
  };
  for (const Step& s : steps) {
    if (s.pin) ASSERT_TRUE(source->pin(s.offset, s.length)) << s.name;
    else
      source->unpin(s.offset, s.length);
    EXPECT_EQ(source->pinnedBytes(), s.pinnedAfter) << s.name;
  }
  // Pinned reads no longer touch the file, and give the same bytes.
  const int64_t before = source->fileBytesRead();
  uint8_t buffer[50];
  ASSERT_EQ(source->read(100, buffer, 50), 50);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 50), bytes.mid(100, 50));
  EXPECT_EQ(source->fileBytesRead(), before);
  ASSERT_EQ(source->read(200, buffer, 50), 50);  // 200..280 stayed pinned
  EXPECT_EQ(source->fileBytesRead(), before);
  ASSERT_EQ(source->read(150, buffer, 50), 50);  // cut out: from the file again
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 50), bytes.mid(150, 50));
  EXPECT_EQ(source->fileBytesRead(), before + 50);
}

TEST(MovieByteSource, AFailedPinKeepsWhatWasPinned) {
  const QByteArray bytes = counting(10000);
  const QString path = TestMovie::writeFile(QStringLiteral("bytes.bin"), bytes);
  QString error;
  auto source = MovieByteSource::forFile(path, &error);
  ASSERT_TRUE(source);
  ASSERT_TRUE(source->pin(100, 100));
  QFile(path).resize(150);  // cut short under the open file
  EXPECT_FALSE(source->pin(0, 1000));
  EXPECT_EQ(source->pinnedBytes(), 100);
  uint8_t buffer[100];
  ASSERT_EQ(source->read(100, buffer, 100), 100);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 100), bytes.mid(100, 100));
}

TEST(MovieRam, ALoadedRangePlaysWithoutTheDisk) {
  QString path;
  auto movie = TestMovie::open(noisyLongGop(), nullptr, {}, &path);
  ASSERT_TRUE(movie);
  const QKTimeRange lastSecond{QKTime{30, 30, 0}, QKTime{30, 30, 0}};
  ASSERT_TRUE(movie->loadIntoRam(lastSecond));
  EXPECT_GT(movie->ramBytes(), 0);
  EXPECT_LT(movie->ramBytes(), QFile(path).size());
  scribbleOver(path);
  // The disk holds zeros now: a decoder opened now gets header and pictures
  // from memory.
  for (int n : {59, 30, 45, 31, 58})
    EXPECT_EQ(TestClip::frameNumberIn(movie->frameImage(QKTime{n, 30, 0})), n) << n;
}

// Each byte kept is read from the file once: finding the range's bytes
// reads none, and extending a kept range reads only what it adds.
TEST(MovieRam, KeepingARangeReadsEachByteOnce) {
  QString path;
  auto movie = TestMovie::open(noisyLongGop(), nullptr, {}, &path);
  ASSERT_TRUE(movie);
  int64_t read = movie->fileBytesRead();
  int64_t kept = movie->ramBytes();
  for (int frames : {30, 60}) {
    SCOPED_TRACE(frames);
    ASSERT_TRUE(movie->loadIntoRam(QKTimeRange{QKTime{0, 30, 0}, QKTime{frames, 30, 0}}));
    const int64_t added = movie->ramBytes() - kept;
    EXPECT_GT(added, QFile(path).size() / 4);
    EXPECT_LE(movie->fileBytesRead() - read, added);
    read = movie->fileBytesRead();
    kept = movie->ramBytes();
  }
}

TEST(MovieRam, FlushingGivesTheMemoryBack) {
  TestClipSpec spec;
  spec.frames = 60;
  spec.width = 160;
  spec.height = 120;
  spec.chromaNoise = 20;
  QString error;
  const QString path = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
  auto movie = Movie::openFile(path, &error);
  ASSERT_TRUE(movie) << error.toStdString();
  const QKTimeRange all{QKTime{0, 30, 0}, QKTime{60, 30, 0}};
  ASSERT_TRUE(movie->loadIntoRam(all));
  const int64_t loaded = movie->ramBytes();
  EXPECT_GT(loaded, 0);
  movie->flushFromRam(QKTimeRange{QKTime{30, 30, 0}, QKTime{30, 30, 0}});
  EXPECT_LT(movie->ramBytes(), loaded);
  movie->flushFromRam(all);
  // Only the header stays.
  EXPECT_LT(movie->ramBytes(), loaded / 2);
  // An empty range loads nothing and succeeds.
  EXPECT_TRUE(movie->loadIntoRam(QKTimeRange{QKTime{0, 30, 0}, QKTime{0, 30, 0}}));
}
