// Named curve files in "waves": round trips, hand-written and broken files,
// names that would leave the folder, and the list the pop-ups show.
#include "framework/curves/CurveFiles.h"
#include "framework/curves/QKSingleSpline.h"
#include "tests/framework/curves/WavesFolders.h"
#include "tests/support/HandMadeBinaryList.h"
#include "tests/support/LogCapture.h"

#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <limits>

namespace {

using CurveFilesTest = WavesFolders;

QByteArray xmlList(const QString& body) {
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n%1\n</plist>\n")
      .arg(body)
      .toUtf8();
}

QString segmentXml(const QString& cp0x, const QString& cp0y, const QString& cp2x,
                   const QString& cp2y) {
  return QStringLiteral(
             "<dict><key>cp0.x</key>%1<key>cp0.y</key>%2<key>cp1.x</key><real>0.5</real>"
             "<key>cp1.y</key><real>0</real><key>cp2.x</key>%3<key>cp2.y</key>%4"
             "<key>useControlPoint</key><false/></dict>")
      .arg(cp0x, cp0y, cp2x, cp2y);
}

QString curveXml(const QString& segments) {
  return QStringLiteral(
             "<dict><key>hOffset</key><real>0</real><key>vOffset</key><real>0</real>"
             "<key>amplitude</key><real>1</real><key>splineSnapsArray</key><array>%1</array></"
             "dict>")
      .arg(segments);
}

TEST_F(CurveFilesTest, AnEditedCurveRoundTripsThroughItsFile) {
  QKSingleSpline curve;
  curve.insertControlPointAtXLoc(0.3f);
  curve.setHandleForPoint(1, 0.25f, 0.9f);
  curve.setHOffset(0.125f);
  curve.setVOffset(-0.25f);
  curve.setAmplitude(1.5f);
  ASSERT_EQ(curve.saveWaveformToDiskWithName(QStringLiteral("ramp up")), QString());
  EXPECT_TRUE(QFileInfo::exists(userWaves() + QStringLiteral("/ramp up.bzc")));

  QKSingleSpline loaded;
  ASSERT_TRUE(loaded.loadWaveformFromDisk(QStringLiteral("ramp up")));
  EXPECT_EQ(loaded.createSnapshot(), curve.createSnapshot());
  for (int i = 0; i <= 20; ++i)
    EXPECT_EQ(loaded.evaluateAt(i / 20.0f), curve.evaluateAt(i / 20.0f));
}

TEST_F(CurveFilesTest, AHandWrittenFileWithIntegersLoads) {
  const QString segments =
      segmentXml(QStringLiteral("<integer>0</integer>"), QStringLiteral("<integer>0</integer>"),
                 QStringLiteral("<integer>1</integer>"), QStringLiteral("<integer>1</integer>"));
  writeFile(userWaves(), QStringLiteral("rise.bzc"),
            xmlList(QStringLiteral("<dict><key>amplitude</key><integer>1</integer>"
                                   "<key>comment</key><string>unknown keys are ignored</string>"
                                   "<key>splineSnapsArray</key><array>%1</array></dict>")
                        .arg(segments)));
  QKSingleSpline curve;
  ASSERT_TRUE(curve.loadWaveformFromDisk(QStringLiteral("rise")));
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.25f), 0.25f);
  EXPECT_EQ(curve.segmentCount(), 1);
}

// Junctions a float round trip moved slightly still join, and become exact.
TEST_F(CurveFilesTest, JunctionsWithinAMillionthJoin) {
  const QString segments =
      segmentXml(QStringLiteral("<real>0.0000004</real>"), QStringLiteral("<real>1</real>"),
                 QStringLiteral("<real>0.30000001192092896</real>"),
                 QStringLiteral("<real>0.7</real>")) +
      segmentXml(QStringLiteral("<real>0.3</real>"), QStringLiteral("<real>0.7000004</real>"),
                 QStringLiteral("<real>0.9999995</real>"), QStringLiteral("<real>0</real>"));
  writeFile(userWaves(), QStringLiteral("rounded.bzc"), xmlList(curveXml(segments)));
  QKSingleSpline curve;
  ASSERT_TRUE(curve.loadWaveformFromDisk(QStringLiteral("rounded")));
  const auto loaded = curve.splineArray();
  EXPECT_EQ(loaded[0].start().x, 0.0f);
  EXPECT_EQ(loaded[1].start(), loaded[0].end());
  EXPECT_EQ(loaded[1].end().x, 1.0f);
}

TEST_F(CurveFilesTest, ABinaryListLoads) {
  QByteArray real(1, char(0x23));
  real.append(8, 0);
  qToBigEndian(0.5, real.data() + 1);
  const QByteArray list = HandMadeBinaryList::build(
      {QByteArray::fromHex("d10102"), QByteArray("\x57hOffset", 8), real});
  writeFile(userWaves(), QStringLiteral("binary.bzc"), list);
  QKSingleSpline curve;
  ASSERT_TRUE(curve.loadWaveformFromDisk(QStringLiteral("binary")));
  EXPECT_FLOAT_EQ(curve.hOffset(), 0.5f);
  EXPECT_EQ(curve.segmentCount(), 2);  // no segments in the file: kept
}

// Every broken file is refused whole with one line naming it; the curve
// stays as it was and the pop-up keeps listing the file.
TEST_F(CurveFilesTest, BrokenFilesChangeNothing) {
  auto seg = [](const char* x0, const char* x2) {
    return segmentXml(QStringLiteral("<real>%1</real>").arg(QLatin1String(x0)),
                      QStringLiteral("<real>0.5</real>"),
                      QStringLiteral("<real>%1</real>").arg(QLatin1String(x2)),
                      QStringLiteral("<real>0.5</real>"));
  };
  struct Case {
    const char* name;
    QByteArray bytes;  // empty: no file at all
    const char* reason;
  };
  const Case cases[] = {
      {"missing", {}, "no such curve file"},
      {"not a property list", QByteArray("just some text\n"), ""},
      {"an array at the root", xmlList(QStringLiteral("<array/>")), "the root is not a dictionary"},
      {"segments not an array",
       xmlList(QStringLiteral("<dict><key>splineSnapsArray</key><string>x</string></dict>")),
       "\"splineSnapsArray\" is not an array"},
      {"a segment not a dictionary",
       xmlList(
           QStringLiteral("<dict><key>splineSnapsArray</key><array><real>1</real></array></dict>")),
       "segment 1 is not a dictionary"},
      {"a mistyped value",
       xmlList(curveXml(
           segmentXml(QStringLiteral("<string>0</string>"), QStringLiteral("<real>1</real>"),
                      QStringLiteral("<real>1</real>"), QStringLiteral("<real>0</real>")))),
       "\"cp0.x\" is not a finite number"},
      {"a mistyped amplitude", xmlList(QStringLiteral("<dict><key>amplitude</key><true/></dict>")),
       "\"amplitude\" is not a finite number"},
      {"no segment", xmlList(curveXml(QString())), "no segment"},
      {"a gap", xmlList(curveXml(seg("0", "0.4") + seg("0.5", "1"))), "does not start where"},
      {"out of order", xmlList(curveXml(seg("0", "0.5") + seg("0.5", "0.3") + seg("0.3", "1"))),
       "does not run forwards"},
      {"not starting at 0", xmlList(curveXml(seg("0.1", "1"))), "does not start at 0"},
      {"not ending at 1", xmlList(curveXml(seg("0", "0.9"))), "does not end at 1"},
      {"a segment without width",
       xmlList(curveXml(seg("0", "0.5") + seg("0.5", "0.5") + seg("0.5", "1"))),
       "does not run forwards"},
  };
  for (const Case& c : cases) {
    const QString name = QString::fromLatin1(c.name);
    if (!c.bytes.isEmpty()) writeFile(userWaves(), name + QStringLiteral(".bzc"), c.bytes);
    QKSingleSpline curve;
    curve.setHOffset(0.5f);
    const QVariantMap before = curve.createSnapshot();
    LogCapture log;
    EXPECT_FALSE(curve.loadWaveformFromDisk(name)) << c.name;
    EXPECT_EQ(curve.createSnapshot(), before) << c.name;
    ASSERT_EQ(log.lines().size(), 1) << c.name;
    EXPECT_TRUE(log.lines().first().contains(name)) << log.lines().first().toStdString();
    EXPECT_TRUE(log.lines().first().contains(QLatin1String(c.reason)))
        << log.lines().first().toStdString();
    if (!c.bytes.isEmpty()) {
      EXPECT_TRUE(CurveFiles::names().contains(name)) << c.name;
    }
  }
}

TEST_F(CurveFilesTest, SnapshotsGetTheSameChecks) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto segments = [](double x2) {
    return QVariantList{QVariantMap{{QStringLiteral("cp0.x"), 0.0}, {QStringLiteral("cp2.x"), x2}}};
  };
  const struct {
    const char* name;
    QVariantMap snapshot;
  } cases[] = {
      {"NaN offset", {{QStringLiteral("hOffset"), nan}}},
      {"infinite amplitude", {{QStringLiteral("amplitude"), inf}}},
      {"NaN point", {{QStringLiteral("splineSnapsArray"), segments(nan)}}},
      {"short segment", {{QStringLiteral("splineSnapsArray"), segments(0.5)}}},
      {"empty array", {{QStringLiteral("splineSnapsArray"), QVariantList()}}},
      {"number too big for a float", {{QStringLiteral("vOffset"), 1e300}}},
  };
  for (const auto& c : cases) {
    QKSingleSpline curve;
    const QVariantMap before = curve.createSnapshot();
    LogCapture log;
    EXPECT_FALSE(curve.loadSnapshot(c.snapshot)) << c.name;
    EXPECT_EQ(curve.createSnapshot(), before) << c.name;
    ASSERT_EQ(log.lines().size(), 1) << c.name;
    EXPECT_TRUE(log.lines().first().contains(QLatin1String("snapshot"))) << c.name;
  }
  // Absent keys keep their values; a segment's absent keys take the defaults.
  QKSingleSpline curve;
  ASSERT_TRUE(
      curve.loadSnapshot({{QStringLiteral("splineSnapsArray"), QVariantList{QVariantMap{}}}}));
  EXPECT_EQ(curve.segmentCount(), 1);
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.5f), 0.5f);  // (0, 0) to (1, 1)
}

TEST_F(CurveFilesTest, NamesStayInsideTheFolderOrAreRefused) {
  QKSingleSpline curve;
  curve.setVOffset(0.125f);
  struct Case {
    QString name;
    QString file;
  };
  for (const Case& c :
       {Case{QStringLiteral("a/b"), QStringLiteral("a%2Fb.bzc")},
        Case{QStringLiteral(".."), QStringLiteral("%2E..bzc")},
        Case{QStringLiteral("../../escape"), QStringLiteral("%2E.%2F..%2Fescape.bzc")}}) {
    ASSERT_EQ(curve.saveWaveformToDiskWithName(c.name), QString()) << c.name.toStdString();
    EXPECT_TRUE(QFileInfo(userWaves() + QLatin1Char('/') + c.file).isFile())
        << c.file.toStdString();
    EXPECT_TRUE(CurveFiles::names().contains(c.name));
    QKSingleSpline loaded;
    EXPECT_TRUE(loaded.loadWaveformFromDisk(c.name));
    EXPECT_FLOAT_EQ(loaded.vOffset(), 0.125f);
  }
  EXPECT_FALSE(curve.saveWaveformToDiskWithName(QString()).isEmpty());
  EXPECT_EQ(QDir(userWaves()).entryList(QDir::Files | QDir::Hidden).size(), 3);
  EXPECT_FALSE(QFileInfo::exists(user_.path() + QStringLiteral("/escape.bzc")));
}

TEST_F(CurveFilesTest, ListsExactSuffixesSortedWithUserCurvesFirst) {
  useShippedFolder();
  for (const char* file : {"ramp.bzc", "notes.txt", "a.b.bzc", "backup.bzc~", "Saw.bzc"})
    writeFile(userWaves(), QLatin1String(file), xmlList(QStringLiteral("<dict/>")));
  writeFile(shippedWaves(), QStringLiteral("ramp.bzc"), QByteArray("shipped"));
  writeFile(shippedWaves(), QStringLiteral("sine.bzc"), xmlList(QStringLiteral("<dict/>")));
  EXPECT_EQ(CurveFiles::names(), QStringList({QStringLiteral("a.b"), QStringLiteral("ramp"),
                                              QStringLiteral("Saw"), QStringLiteral("sine")}));
  // The user's ramp hides the shipped one; the shipped sine loads.
  EXPECT_EQ(CurveFiles::pathForLoading(QStringLiteral("ramp")),
            userWaves() + QStringLiteral("/ramp.bzc"));
  EXPECT_EQ(CurveFiles::pathForLoading(QStringLiteral("sine")),
            shippedWaves() + QStringLiteral("/sine.bzc"));
  EXPECT_EQ(CurveFiles::pathForLoading(QStringLiteral("notes")), QString());
}

TEST_F(CurveFilesTest, SavingMakesTheUserFolderOrSaysWhyItCannot) {
  EXPECT_FALSE(QFileInfo::exists(userWaves()));
  QKSingleSpline curve;
  ASSERT_EQ(curve.saveWaveformToDiskWithName(QStringLiteral("first")), QString());
  EXPECT_EQ(CurveFiles::names(), QStringList{QStringLiteral("first")});

  // A file where the folder should be: the save fails, and says so.
  ASSERT_TRUE(QDir(userWaves()).removeRecursively());
  writeFile(user_.path(), QStringLiteral("waves"), QByteArray("not a folder"));
  LogCapture log;
  EXPECT_FALSE(curve.saveWaveformToDiskWithName(QStringLiteral("second")).isEmpty());
  EXPECT_FALSE(log.lines().isEmpty());
}

}  // namespace
