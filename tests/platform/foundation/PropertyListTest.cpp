#include "platform/foundation/PropertyList.h"

#include "tests/support/HandMadeBinaryList.h"
#include "tests/support/TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QPoint>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
              int ms = 0) {
  return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC);
}

QVariant integer(qint64 n) { return QVariant::fromValue<qint64>(n); }

// Same type and same value, recursively (QVariant's own == compares numbers
// across types and never finds NaN equal).
::testing::AssertionResult identical(const QVariant& a, const QVariant& b, const QString& at = {}) {
  if (a.typeId() != b.typeId())
    return ::testing::AssertionFailure() << "type differs at '" << at.toStdString()
                                         << "': " << a.typeName() << " vs " << b.typeName();
  switch (a.typeId()) {
    case QMetaType::QVariantMap: {
      const QVariantMap x = a.toMap(), y = b.toMap();
      if (x.keys() != y.keys())
        return ::testing::AssertionFailure() << "keys differ at '" << at.toStdString() << "'";
      for (auto it = x.constBegin(); it != x.constEnd(); ++it) {
        auto r = identical(it.value(), y.value(it.key()), at + QLatin1Char('/') + it.key());
        if (!r) return r;
      }
      return ::testing::AssertionSuccess();
    }
    case QMetaType::QVariantList: {
      const QVariantList x = a.toList(), y = b.toList();
      if (x.size() != y.size())
        return ::testing::AssertionFailure() << "sizes differ at '" << at.toStdString() << "'";
      for (qsizetype i = 0; i < x.size(); ++i) {
        auto r = identical(x.at(i), y.at(i), at + QLatin1Char('/') + QString::number(i));
        if (!r) return r;
      }
      return ::testing::AssertionSuccess();
    }
    case QMetaType::Double: {
      const double x = a.toDouble(), y = b.toDouble();
      if ((std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0)
        return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure()
             << "real differs at '" << at.toStdString() << "': " << x << " vs " << y;
    }
    case QMetaType::QDateTime:
      if (a.toDateTime() == b.toDateTime() &&
          a.toDateTime().timeSpec() == b.toDateTime().timeSpec())
        return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure()
             << "date differs at '" << at.toStdString()
             << "': " << a.toDateTime().toString(Qt::ISODateWithMs).toStdString() << " vs "
             << b.toDateTime().toString(Qt::ISODateWithMs).toStdString();
    default:
      if (a == b) return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure()
             << "value differs at '" << at.toStdString() << "': " << a.toString().toStdString()
             << " vs " << b.toString().toStdString();
  }
}

QString tempFile(const QString& name = QStringLiteral("list.plist")) {
  return TestEnvironment::makeTempDir(QStringLiteral("plist")) + QLatin1Char('/') + name;
}

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QStringList entriesOf(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                QDir::System);
}

QByteArray fixture(const char* name) {
  return contents(QStringLiteral(ZAPH_FIXTURES_DIR "/") + QLatin1String(name));
}

QVariant uid(quint64 n) {
  const QVariant number = n > quint64(std::numeric_limits<qint64>::max())
                              ? QVariant::fromValue<quint64>(n)
                              : integer(qint64(n));
  return QVariantMap{{QStringLiteral("CF$UID"), number}};
}

// What fixtures/every-type.bplist holds (see make_binary_lists.py).
QVariantMap everyTypeValue() {
  QByteArray allBytes;
  for (int i = 0; i < 256; ++i) allBytes.append(static_cast<char>(i));
  const quint64 two63 = quint64(1) << 63;
  return {
      {QStringLiteral("ascii"), QStringLiteral("plain text")},
      {QStringLiteral("unicode"), QStringLiteral("Ünïcødé ✓ 𝄞")},
      {QStringLiteral("\uFEFFbom key"), QStringLiteral("\uFEFFstarts with a byte-order mark")},
      {QStringLiteral("bom key"), QStringLiteral("same key without the mark")},
      {QStringLiteral("nul"), QString::fromLatin1("a\0b", 3)},
      {QStringLiteral("empty string"), QString()},
      {QStringLiteral("integers"),
       QVariantList{integer(0), integer(255), integer(256), integer(65535), integer(65536),
                    integer(qint64(1) << 31), integer(qint64(1) << 32), integer(-1),
                    integer(std::numeric_limits<qint64>::min()),
                    integer(std::numeric_limits<qint64>::max()),
                    QVariant::fromValue<quint64>(two63),
                    QVariant::fromValue<quint64>(std::numeric_limits<quint64>::max())}},
      {QStringLiteral("reals"), QVariantList{0.1, -2.5e-300, 1e300, -0.0}},
      {QStringLiteral("dates"),
       QVariantList{utc(2001, 1, 1), utc(2000, 12, 31, 23, 59, 59, 250),
                    utc(1900, 1, 1, 12, 0, 0, 500), utc(2200, 7, 4, 1, 2, 3, 125), utc(1, 1, 1),
                    utc(999, 6, 15, 8, 30)}},
      {QStringLiteral("data"), allBytes},
      {QStringLiteral("empty data"), QByteArray()},
      {QStringLiteral("uids"), QVariantList{uid(0), uid(255), uid(quint64(1) << 32),
                                            uid(std::numeric_limits<quint64>::max())}},
      {QStringLiteral("flags"), QVariantList{true, false}},
      {QStringLiteral("nested"),
       QVariantMap{{QStringLiteral("empty dict"), QVariantMap()},
                   {QStringLiteral("empty list"), QVariantList()},
                   {QStringLiteral("list"),
                    QVariantList{QVariantMap{{QStringLiteral("deep"), QStringLiteral("x")}}}}}},
  };
}

// What fixtures/libplist.bplist holds: the same without what libplist's XML
// reader cannot take, dates in whole seconds.
QVariantMap libplistValue() {
  QVariantMap value = everyTypeValue();
  value.remove(QStringLiteral("uids"));
  value.remove(QStringLiteral("nul"));
  value.insert(QStringLiteral("dates"),
               QVariantList{utc(2001, 1, 1), utc(2000, 12, 31, 23, 59, 59), utc(1900, 1, 1, 12),
                            utc(2200, 7, 4, 1, 2, 3)});
  return value;
}

QVariantMap sharedValue() {
  const QVariantMap frame{{QStringLiteral("x"), integer(10)}, {QStringLiteral("y"), integer(20)}};
  return {{QStringLiteral("a"), frame},
          {QStringLiteral("b"), frame},
          {QStringLiteral("list"),
           QVariantList{frame, frame, QStringLiteral("name"), QStringLiteral("name")}}};
}

// One value of every kind, nested, with the edge cases that matter.
QVariantMap richValue() {
  QByteArray allBytes;
  for (int i = 0; i < 256; ++i) allBytes.append(static_cast<char>(i));
  return {
      {QStringLiteral("text"), QStringLiteral("Ünïcødé ✓ 𝄞 <a> & \"q\" 'x' ]]>")},
      {QStringLiteral("key with spaces/and slashes"), true},
      {QStringLiteral(""), false},
      {QStringLiteral("data"), allBytes},
      {QStringLiteral("numbers"),
       QVariantList{integer(-42), integer(std::numeric_limits<qint64>::max()),
                    integer(std::numeric_limits<qint64>::min()), 0.1, -2.5e-300, 1.0}},
      {QStringLiteral("dates"),
       QVariantList{utc(2001, 1, 1), utc(1969, 7, 20, 20, 17, 40), utc(2024, 2, 29, 23, 59, 59)}},
      {QStringLiteral("nested"),
       QVariantMap{{QStringLiteral("empty dict"), QVariantMap()},
                   {QStringLiteral("empty list"), QVariantList()},
                   {QStringLiteral("list"),
                    QVariantList{QVariantMap{{QStringLiteral("deep"), QStringLiteral("x")}}}}}},
  };
}

}  // namespace

TEST(PropertyList, EveryTypeSurvivesAWriteAndARead) {
  struct Case {
    const char* name;
    QVariant written;
    QVariant readBack;
  };
  const qint64 maxInt = std::numeric_limits<qint64>::max();
  const qint64 minInt = std::numeric_limits<qint64>::min();
  const quint64 maxUnsigned = std::numeric_limits<quint64>::max();
  const double inf = std::numeric_limits<double>::infinity();
  QByteArray longData(1000, '\0');
  for (int i = 0; i < longData.size(); ++i) longData[i] = static_cast<char>(i * 7);
  const QDateTime localTime(QDate(2010, 6, 1), QTime(12, 0), Qt::OffsetFromUTC, 2 * 3600);

  const std::vector<Case> cases = {
      {"nested dictionary", richValue(), richValue()},
      {"empty dictionary", QVariantMap(), QVariantMap()},
      {"empty array", QVariantList(), QVariantList()},
      {"hash becomes dictionary", QVariantHash{{QStringLiteral("b"), 1}, {QStringLiteral("a"), 2}},
       QVariantMap{{QStringLiteral("a"), integer(2)}, {QStringLiteral("b"), integer(1)}}},
      {"string list becomes array", QStringList{QStringLiteral("x"), QString()},
       QVariantList{QStringLiteral("x"), QString()}},
      {"string", QStringLiteral("plain"), QStringLiteral("plain")},
      {"empty string", QString(), QString()},
      {"string with markup", QStringLiteral("<dict> & </plist>"),
       QStringLiteral("<dict> & </plist>")},
      {"line breaks and tabs kept", QStringLiteral("\ta\r\nb\rc\n  "),
       QStringLiteral("\ta\r\nb\rc\n  ")},
      {"data", longData, longData},
      {"empty data", QByteArray(), QByteArray()},
      {"integer", integer(-5), integer(-5)},
      {"largest integer", integer(maxInt), integer(maxInt)},
      {"smallest integer", integer(minInt), integer(minInt)},
      {"unsigned beyond qint64", QVariant::fromValue<quint64>(maxUnsigned),
       QVariant::fromValue<quint64>(maxUnsigned)},
      {"int becomes qint64", QVariant(7), integer(7)},
      {"uint becomes qint64", QVariant(7u), integer(7)},
      {"real", 0.1, 0.1},
      {"whole real stays real", 1.0, 1.0},
      {"negative zero", -0.0, -0.0},
      {"huge real", 1.7976931348623157e308, 1.7976931348623157e308},
      {"denormal real", 5e-324, 5e-324},
      {"not a number", std::numeric_limits<double>::quiet_NaN(),
       std::numeric_limits<double>::quiet_NaN()},
      {"infinity", inf, inf},
      {"minus infinity", -inf, -inf},
      {"float becomes double", QVariant(0.5f), 0.5},
      {"true", true, true},
      {"false", false, false},
      {"date at 2001", utc(2001, 1, 1), utc(2001, 1, 1)},
      {"date just before 2001", utc(2000, 12, 31, 23, 59, 59), utc(2000, 12, 31, 23, 59, 59)},
      {"date just before 1970", utc(1969, 12, 31, 23, 59, 59), utc(1969, 12, 31, 23, 59, 59)},
      {"date long before 1970", utc(1850, 3, 1, 6, 30), utc(1850, 3, 1, 6, 30)},
      {"date far after 2038", utc(2200, 1, 1), utc(2200, 1, 1)},
      {"date in the year 1", utc(1, 1, 1), utc(1, 1, 1)},
      {"date in the year 999", utc(999, 6, 15, 8, 30, 1), utc(999, 6, 15, 8, 30, 1)},
      {"last second of the year 9999", utc(9999, 12, 31, 23, 59, 59),
       utc(9999, 12, 31, 23, 59, 59)},
      {"leap day", utc(2000, 2, 29, 12), utc(2000, 2, 29, 12)},
      {"date keeps whole seconds", utc(2001, 1, 1, 0, 0, 1, 999), utc(2001, 1, 1, 0, 0, 1)},
      {"fraction before 1970 rounds down", utc(1969, 12, 31, 23, 59, 59, 500),
       utc(1969, 12, 31, 23, 59, 59)},
      {"date with a zone becomes UTC", localTime, utc(2010, 6, 1, 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = tempFile();
    ASSERT_EQ(PropertyList::write(c.written, path), QString());
    const PropertyList::Result result = PropertyList::read(path);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(identical(result.value, c.readBack));
    EXPECT_TRUE(identical(PropertyList::normalized(c.written), c.readBack));
  }
}

TEST(PropertyList, WritesTheUsualXmlForms) {
  struct Case {
    const char* name;
    QVariant value;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"integer", integer(-5), "<integer>-5</integer>"},
      {"whole real", 1.0, "<real>1</real>"},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), "<real>nan</real>"},
      {"infinity", std::numeric_limits<double>::infinity(), "<real>+infinity</real>"},
      {"markup escaped", QStringLiteral("a<b>&c"), "<string>a&lt;b&gt;&amp;c</string>"},
      {"carriage return escaped", QStringLiteral("a\rb"), "<string>a&#13;b</string>"},
      {"true", true, "<true/>"},
      {"date in whole UTC seconds", utc(1969, 12, 31, 23, 59, 59, 999),
       "<date>1969-12-31T23:59:59Z</date>"},
      {"data as base64", QByteArray("\x00\x01\x02", 3), "AAEC"},
      {"empty dictionary", QVariantMap(), "<dict/>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString error;
    const QByteArray xml = PropertyList::toXml(c.value, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(xml.contains(c.expected)) << xml.toStdString();
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist"));
  }
}

TEST(PropertyList, ReadsBinaryListsOtherToolsWrite) {
  struct Case {
    const char* file;
    QVariantMap expected;
  };
  const std::vector<Case> cases = {
      {"every-type.bplist", everyTypeValue()},
      {"shared.bplist", sharedValue()},
      {"libplist.bplist", libplistValue()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const QByteArray bytes = fixture(c.file);
    ASSERT_TRUE(bytes.startsWith("bplist00"));
    const PropertyList::Result result = PropertyList::parse(bytes);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(identical(result.value, c.expected));
  }
}

TEST(PropertyList, ReadsHandMadeBinaryShapes) {
  using L = HandMadeBinaryList;
  struct Case {
    const char* name;
    std::vector<QByteArray> objects;
    QVariant expected;
  };
  const std::vector<Case> cases = {
      {"four-byte real", {L::number(0x223FC00000, 5)}, 1.5},
      {"negative sixteen-byte integer",
       {"\x14" + L::number(~quint64(0), 8) + L::number(quint64(-5), 8)},
       integer(-5)},
      {"set reads as an array", {"\xC2\x01\x01", "\x10\x07"}, QVariantList{integer(7), integer(7)}},
      {"long string with its length after the marker",
       {"\x5F\x10\x14" + QByteArray(20, 'z')},
       QString(20, QLatin1Char('z'))},
      {"later of two equal keys wins",
       {"\xD2\x01\x01\x02\x03", "\x51k", "\x10\x01", "\x10\x02"},
       QVariantMap{{QStringLiteral("k"), integer(2)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PropertyList::Result result = PropertyList::parse(L::build(c.objects));
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(identical(result.value, c.expected));
  }
}

TEST(PropertyList, RefusesBinaryListsTheFormatForbids) {
  using L = HandMadeBinaryList;
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* reason;
  };
  const QByteArray badOffset = [] {
    QByteArray bytes = L::build({"\xA1\x01", "\x09"});
    bytes.replace(bytes.size() - 32 - 4, 4, L::number(0x7FFF, 4));  // the second offset
    return bytes;
  }();
  QByteArray noTrailerRoom = L::build({"\x09"});
  noTrailerRoom[noTrailerRoom.size() - 26] = 0;  // offsets of no bytes
  const std::vector<Case> cases = {
      {"array holding itself", L::build({QByteArrayLiteral("\xA1\x00")}), "holds itself"},
      {"two arrays holding each other", L::build({"\xA1\x01", QByteArrayLiteral("\xA1\x00")}),
       "holds itself"},
      {"dictionary holding itself", L::build({QByteArrayLiteral("\xD1\x01\x00"), "\x51k"}),
       "holds itself"},
      {"reference beyond the objects", L::build({"\xA1\x05"}), "reference to object 5 of 1"},
      {"offset beyond the object table", badOffset, "outside the object table"},
      {"top object beyond the objects", L::build({"\x09"}, 3), "top object 3"},
      {"offsets of no bytes", noTrailerRoom, "offsets or references"},
      {"entries running past the table", L::build({"\xAF\x10\x7F\x01"}), "run past"},
      {"string running past the table", L::build({"\x5F\x11\x7F\xFF" + QByteArray("ab")}),
       "runs past"},
      {"integer key", L::build({"\xD1\x01\x01", "\x10\x01"}), "key that is not a string"},
      {"array as a key", L::build({"\xD1\x01\x02", "\xA0", "\x09"}), "key that is not a string"},
      {"null", L::build({"\xA1\x01", QByteArrayLiteral("\x00")}), "a null"},
      {"unknown type", L::build({"\x70"}), "unknown type 0x70"},
      {"byte above 127 in an ASCII string", L::build({"\x52\xC3\xA9"}), "ASCII string"},
      {"integer beyond 64 bits", L::build({"\x14" + L::number(1, 8) + L::number(0, 8)}), "integer"},
      {"date that is not a number", L::build({"\x33" + L::number(0x7FF8000000000000, 8)}),
       "date outside"},
      {"date after the year 9999", L::build({"\x33" + L::number(0x426D000000000000, 8)}),
       "date outside"},
      {"too short for a trailer", QByteArray("bplist00\x09"), "too short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PropertyList::Result result = PropertyList::parse(c.bytes, QStringLiteral("x.plist"));
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error.startsWith(QStringLiteral("x.plist: damaged binary property list: ")))
        << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(QLatin1String(c.reason))) << result.error.toStdString();
  }
}

TEST(PropertyList, BinaryNestingAndSharingAreBounded) {
  using L = HandMadeBinaryList;
  EXPECT_TRUE(PropertyList::parse(L::nestedArrays(512)).ok());
  const PropertyList::Result deep = PropertyList::parse(L::nestedArrays(100000));
  EXPECT_EQ(deep.error, QStringLiteral("data: nested too deeply (more than 512 levels)"));

  // `levels` arrays, each holding the next one twice: 2^levels paths
  // through a list of levels + 1 objects.
  auto doubling = [](int levels) {
    std::vector<QByteArray> objects;
    for (int i = 0; i < levels; ++i)
      objects.push_back("\xA2" + L::number(i + 1) + L::number(i + 1));
    objects.push_back("\x10\x2A");
    return L::build(objects);
  };
  // Read once per object, a moderately shared list comes back at once.
  const PropertyList::Result shared = PropertyList::parse(doubling(12));
  ASSERT_TRUE(shared.ok()) << shared.error.toStdString();
  QVariant at = shared.value;
  for (int i = 0; i < 12; ++i) at = at.toList().value(i % 2);
  EXPECT_TRUE(identical(at, integer(42)));
  // 2^60 leaves: anyone walking the tree afterwards would never finish.
  const PropertyList::Result huge = PropertyList::parse(doubling(60));
  EXPECT_FALSE(huge.ok());
  EXPECT_TRUE(huge.error.contains(QLatin1String("shared objects expand to more than 256 MB")))
      << huge.error.toStdString();
}

TEST(PropertyList, XmlEntityExpansionIsBounded) {
  auto referencing = [](int references) {
    QByteArray document = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY big \"" +
                          QByteArray(1 << 20, 'x') + "\">]>\n<plist><array>";
    for (int i = 0; i < references; ++i) document += "<string>&big;</string>";
    return document + "</array></plist>";
  };
  const PropertyList::Result few = PropertyList::parse(referencing(3));
  ASSERT_TRUE(few.ok()) << few.error.toStdString();
  EXPECT_EQ(few.value.toList().size(), 3);
  EXPECT_EQ(few.value.toList().value(2).toString().size(), 1 << 20);
  const PropertyList::Result many = PropertyList::parse(referencing(65));
  EXPECT_FALSE(many.ok());
  EXPECT_TRUE(many.error.contains(QLatin1String("entity references expand to more than 64 MB")))
      << many.error.toStdString();
}

TEST(PropertyList, MalformedInputIsAClearErrorNeverACrash) {
  const QByteArray head = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n";
  // With a document type the XML reader leaves undeclared entities to us.
  const QByteArray doctype =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
      "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n";
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"empty file", QByteArray(), "empty file"},
      {"only white space", "  \n\t ", "empty file"},
      {"key without a value", head + "<dict><key>a</key></dict></plist>", "key \"a\" has no value"},
      {"last key without a value",
       head + "<dict><key>a</key><integer>1</integer><key>b</key></dict></plist>",
       "key \"b\" has no value"},
      {"value without a key", head + "<dict><string>x</string></dict></plist>",
       "where a <key> belongs"},
      {"truncated XML", head + "<dict><key>a</key><integer>1</integer>", "truncated"},
      {"truncated inside a tag", head + "<dict><key>a</key><inte", "truncated"},
      {"unterminated string", head + "<string>abc</plist>", "line"},
      {"mismatched tags", head + "<array></dict></plist>", "line"},
      {"binary garbage", "bplist00garbagegarbagegarbagegarbagegarbage", "damaged binary"},
      {"unknown binary version", "bplist15 whatever", "unsupported binary"},
      {"neither XML nor binary", "\x01\x02\x03 random bytes", "not a property list"},
      {"old text format", "{ a = b; }", "not a property list"},
      {"integer that is not a number", head + "<integer>abc</integer></plist>", "does not parse"},
      {"integer too large", head + "<integer>99999999999999999999</integer></plist>",
       "does not parse"},
      {"integer too small", head + "<integer>-9223372036854775809</integer></plist>",
       "does not parse"},
      {"real that is not a number", head + "<real>1.5x</real></plist>", "does not parse"},
      {"date that is not a date", head + "<date>garbage</date></plist>", "does not parse"},
      {"data that is not base64", head + "<data>!!!notbase64</data></plist>", "does not parse"},
      {"unknown element", head + "<set/></plist>", "unknown element <set>"},
      {"key outside a dictionary", head + "<key>a</key></plist>", "<key> outside a dictionary"},
      {"key followed by a key", head + "<dict>\n<key>a</key>\n<key>b</key><true/></dict></plist>",
       "line 4, column 1: key \"a\" has no value"},
      {"undefined entity", doctype + "<string>a&nbsp;b</string></plist>",
       "line 4, column 10: the entity &nbsp; is not defined"},
      {"undefined entity between values", doctype + "<array>&x;</array></plist>",
       "the entity &x; is not defined"},
      {"external entity",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
       "<plist><string>&x;</string></plist>",
       "line 2, column 18: the external entity \"x\" is declared"},
      {"entity holding markup", "<!DOCTYPE plist [<!ENTITY x \"<true/>\">]><plist>&x;</plist>",
       "line 1, column 18: the entity \"x\" holds markup or references"},
      {"undefined entity without a document type", head + "<string>&x;</string></plist>",
       "the entity &x; is not defined"},
      {"character reference to a control character", head + "<string>&#1;</string></plist>",
       "&#1; names no character XML allows"},
      {"lone base64 character", head + "<data>A</data></plist>", "lone base64 character"},
      {"base64 cut after whole bytes", head + "<data>AAEC\nA</data></plist>",
       "line 3, column 1: <data> does not parse: a lone base64 character"},
      {"base64 after its padding", head + "<data>AA==AA==</data></plist>", "after its padding"},
      {"too much base64 padding", head + "<data>AA===</data></plist>", "wrong base64 padding"},
      {"raw control character", head + "<array>\n<string>bad\x01here</string></array></plist>",
       "line 4, column 12: a control character (U+0001)"},
      {"bytes that are not UTF-8",
       head + "<array>\n<string>ok</string>\n<string>bad\xC3\x28</string></array></plist>",
       "line 5, column 12: bytes that are not UTF-8 or not allowed in XML (C3 28)"},
      {"UTF-8 byte-order mark declared as UTF-16",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<plist><true/></plist>",
       "declares UTF-16 but starts with a UTF-8 byte-order mark"},
      {"boolean with text", head + "<true>no</true></plist>", "holds text"},
      {"element inside a string", head + "<string>a<b/></string></plist>", "line"},
      {"text inside an array", head + "<array>loose</array></plist>", "unexpected text"},
      {"empty plist", head + "</plist>", "holds no value"},
      {"two values", head + "<true/><false/></plist>", "more than one value"},
      {"content after the list", head + "<true/></plist><plist/>", "line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PropertyList::Result result =
        PropertyList::parse(c.bytes, QStringLiteral("sample.plist"));
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.value.isValid());
    EXPECT_TRUE(result.error.startsWith(QStringLiteral("sample.plist: ")))
        << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(QLatin1String(c.reason))) << result.error.toStdString();
  }
}

TEST(PropertyList, ReadsXmlFormsOtherWritersUse) {
  const auto utf16 = [](const QString& text) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
      bytes += static_cast<char>(c.unicode() & 0xFF);
      bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
  };
  struct Case {
    const char* name;
    QByteArray xml;
    QVariant expected;
  };
  const std::vector<Case> cases = {
      {"no declaration, no version", "<plist><integer>0x1F</integer></plist>", integer(31)},
      {"character and internal entities",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY who \"world\">]>\n"
       "<plist><string>&lt;&#72;&#x69;&gt; &who;&amp;&apos;&quot;</string></plist>",
       QStringLiteral("<Hi> world&'\"")},
      {"comments and CDATA inside text",
       "<plist><string>a<!-- note --><![CDATA[<b>]]></string></plist>", QStringLiteral("a<b>")},
      {"empty elements", "<plist><array><string/><dict/><array/><data/></array></plist>",
       QVariantList{QString(), QVariantMap(), QVariantList(), QByteArray()}},
      {"base64 without padding, with line breaks", "<plist><data>AA\n E</data></plist>",
       QByteArray("\x00\x01", 2)},
      {"UTF-16 with its byte-order mark",
       utf16(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><string>✓</string>"
                            "</plist>")),
       QStringLiteral("✓")},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF<plist><true/></plist>", true},
      {"Latin-1 declared",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><string>caf\xE9</string></plist>",
       QStringLiteral("café")},
      {"carriage returns made line feeds", "<plist><string>a\r\nb\rc&#13;</string></plist>",
       QStringLiteral("a\nb\nc\r")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PropertyList::Result result = PropertyList::parse(c.xml);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(identical(result.value, c.expected));
  }
}

TEST(PropertyList, DeepNestingIsRefusedNotOverflowed) {
  QByteArray deep = "<plist>";
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  for (int i = 0; i < 100000; ++i) deep += "</array>";
  deep += "</plist>";
  const PropertyList::Result result = PropertyList::parse(deep);
  EXPECT_TRUE(result.error.contains(QLatin1String("nested too deeply")))
      << result.error.toStdString();
}

TEST(PropertyList, DamagedListsAreErrorsNeverCrashes) {
  for (const QByteArray& good : {fixture("every-type.bplist"), PropertyList::toXml(richValue())}) {
    SCOPED_TRACE(good.left(8).toStdString());
    ASSERT_TRUE(PropertyList::parse(good).ok());
    // Cut anywhere before its last element ends, a list is an error.
    const qsizetype complete = good.startsWith("bplist") ? good.size() : good.lastIndexOf('<');
    for (qsizetype length = 0; length < complete; ++length)
      EXPECT_FALSE(PropertyList::parse(good.left(length)).ok()) << "cut at " << length;
    // Every byte changed in turn: whatever comes back, it must come back.
    for (qsizetype at = 8; at < good.size(); ++at) {
      QByteArray damaged = good;
      damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
      const PropertyList::Result result = PropertyList::parse(damaged);
      EXPECT_EQ(result.ok(), result.value.isValid());
    }
  }
}

TEST(PropertyList, ReadingAFileNamesThePathAndTheReason) {
  const QString folder = TestEnvironment::makeTempDir();
  struct Case {
    const char* name;
    QString path;
    const char* reason;
  };
  put(folder + QStringLiteral("/empty.plist"), QByteArray());
  put(folder + QStringLiteral("/broken.plist"), "<plist><dict><key>k</key></dict></plist>");
  const std::vector<Case> cases = {
      {"missing file", folder + QStringLiteral("/missing.plist"), "no such file"},
      {"a folder", folder, "is a folder"},
      {"empty file", folder + QStringLiteral("/empty.plist"), "empty file"},
      {"malformed file", folder + QStringLiteral("/broken.plist"), "key \"k\" has no value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PropertyList::Result result = PropertyList::read(c.path);
    EXPECT_TRUE(result.error.startsWith(c.path + QStringLiteral(": ")))
        << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(QLatin1String(c.reason))) << result.error.toStdString();
  }
}

TEST(PropertyList, ValuesWithoutAPropertyListFormAreErrors) {
  QObject object;
  struct Case {
    const char* name;
    QVariant value;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"object pointer deep inside",
       QVariantMap{{QStringLiteral("layers"), QVariantList{1, QVariant::fromValue(&object)}}},
       "\"layers\" > 1: a QObject* has no property-list form"},
      {"empty value", QVariantList{QVariant()}, "0: an empty value"},
      {"invalid date", QDateTime(), "invalid date"},
      {"date after the year 9999", utc(10000, 1, 1), "outside the years 1 to 9999"},
      {"control character", QStringLiteral("bell\a"), "control characters"},
      {"control character in a key", QVariantMap{{QStringLiteral("a\x01"), 1}},
       "control characters"},
      {"unpaired surrogate", QString(QChar(0xD800)), "broken Unicode"},
      {"point", QPoint(1, 2), "QPoint has no property-list form"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString error;
    EXPECT_TRUE(PropertyList::toXml(c.value, &error).isEmpty());
    EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    EXPECT_FALSE(PropertyList::normalized(c.value).isValid());
  }
}

// Values already in the form a read gives back need no conversion; anything
// else (another number type, a date, a bad string deep inside) does.
TEST(PropertyList, TellsValuesAlreadyInPropertyListForm) {
  const QVariant plainMap =
      QVariantMap{{QStringLiteral("x"), qint64(1)},
                  {QStringLiteral("list"), QVariantList{2.5, true, QByteArray("b")}}};
  struct Case {
    const char* name;
    QVariant value;
    bool normal;
  };
  const std::vector<Case> cases = {
      {"integer", qint64(3), true},
      {"int", 3, false},
      {"float", 1.5f, false},
      {"nested", plainMap, true},
      {"int inside", QVariantMap{{QStringLiteral("x"), 1}}, false},
      {"control character inside", QVariantList{QStringLiteral("a\x01")}, false},
      {"control character in a key", QVariantMap{{QStringLiteral("a\x01"), true}}, false},
      {"date", QDateTime::fromSecsSinceEpoch(0, Qt::UTC), false},
      {"string list", QStringList{QStringLiteral("a")}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PropertyList::isNormalized(c.value), c.normal);
    if (c.normal) {
      EXPECT_EQ(PropertyList::normalized(c.value), c.value);
    }
  }
}

TEST(PropertyList, FailedWritesLeaveTheOldFileIntact) {
  QObject object;
  struct Case {
    const char* name;
    QVariant value;
    std::function<void()> before;
    std::function<void()> after;
    const char* reason;
  };
  rlimit previousLimit = {};
  getrlimit(RLIMIT_FSIZE, &previousLimit);
  const auto limitFileSize = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previousLimit;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
  };
  const auto restoreFileSize = [&] {
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, SIG_DFL);
  };
  const std::vector<Case> cases = {
      {"value without a property-list form", QVariant::fromValue(&object), [] {}, [] {},
       "no property-list form"},
      {"disk refuses the bytes half-way", QByteArray(100000, 'x'), limitFileSize, restoreFileSize,
       "cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = tempFile();
    const QString folder = QFileInfo(path).absolutePath();
    ASSERT_EQ(PropertyList::write(QVariantMap{{QStringLiteral("old"), true}}, path), QString());
    const QByteArray old = contents(path);
    c.before();
    const QString error = PropertyList::write(c.value, path);
    c.after();
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(entriesOf(folder), QStringList{QStringLiteral("list.plist")});
  }
}

TEST(PropertyList, UnwritableFolderLeavesTheOldFileIntact) {
  const QString path = tempFile();
  const QString folder = QFileInfo(path).absolutePath();
  ASSERT_EQ(PropertyList::write(QVariantMap{{QStringLiteral("old"), true}}, path), QString());
  const QByteArray old = contents(path);
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const bool stillWritable = QFileInfo(folder).isWritable() || geteuid() == 0;
  const QString error = PropertyList::write(QVariantMap{{QStringLiteral("new"), true}}, path);
  QFile::setPermissions(folder,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (stillWritable) GTEST_SKIP() << "permissions do not bind this user (root)";
  EXPECT_TRUE(error.contains(QLatin1String("cannot create a temporary file")))
      << error.toStdString();
  EXPECT_EQ(contents(path), old);
}

TEST(PropertyList, WritingReplacesTheFileKeepingItsModeAndLinks) {
  const QString folder = TestEnvironment::makeTempDir();
  const QString real = folder + QStringLiteral("/real.plist");
  const QString link = folder + QStringLiteral("/link.plist");
  ASSERT_EQ(PropertyList::write(integer(1), real), QString());
  QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  ASSERT_TRUE(QFile::link(real, link));

  ASSERT_EQ(PropertyList::write(integer(2), link), QString());
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_TRUE(identical(PropertyList::read(real).value, integer(2)));
  struct stat st = {};
  ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(entriesOf(folder),
            (QStringList{QStringLiteral("link.plist"), QStringLiteral("real.plist")}));
}

TEST(PropertyList, WritingIntoAMissingFolderOrOverAFolderFails) {
  const QString folder = TestEnvironment::makeTempDir();
  EXPECT_TRUE(PropertyList::write(true, folder + QStringLiteral("/missing/list.plist"))
                  .contains(QLatin1String("cannot create a temporary file")));
  QDir(folder).mkdir(QStringLiteral("sub"));
  EXPECT_TRUE(PropertyList::write(true, folder + QStringLiteral("/sub"))
                  .contains(QLatin1String("is a folder")));
  EXPECT_EQ(entriesOf(folder), QStringList{QStringLiteral("sub")});
}

TEST(PropertyList, WritingRemovesTemporariesThatKilledWritesLeft) {
  const QString folder = TestEnvironment::makeTempDir();
  const QString path = folder + QStringLiteral("/list.plist");
  for (const char* name :
       {".list.plist.zaph-tmp-Ab12Cd", ".other.plist.zaph-tmp-Zz99Yy", ".list.plist.Q1w2E3",
        ".other.plist.Q1w2E3", ".list.plist.zaph-tmp-Held01", "notes.txt",
        ".list.plist.zaph-tmp-toolong1"})
    put(folder + QLatin1Char('/') + QLatin1String(name), QByteArray(1000, 'x'));
  ASSERT_TRUE(QFile::link(QStringLiteral("notes.txt"),
                          folder + QStringLiteral("/.list.plist.zaph-tmp-Link01")));
  // A write in progress holds its temporary file locked.
  const int held =
      ::open(QFile::encodeName(folder + QStringLiteral("/.list.plist.zaph-tmp-Held01")),
             O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ASSERT_EQ(PropertyList::write(integer(1), path), QString());
  ::close(held);
  EXPECT_EQ(entriesOf(folder),
            (QStringList{QStringLiteral(".list.plist.zaph-tmp-Held01"),
                         QStringLiteral(".list.plist.zaph-tmp-Link01"),
                         QStringLiteral(".list.plist.zaph-tmp-toolong1"),
                         QStringLiteral(".other.plist.Q1w2E3"), QStringLiteral("list.plist"),
                         QStringLiteral("notes.txt")}));
  EXPECT_TRUE(identical(PropertyList::read(path).value, integer(1)));
}

TEST(PropertyList, WritesSideBySideNeverTakeEachOthersTemporaries) {
  const QString folder = TestEnvironment::makeTempDir();
  constexpr int kThreads = 6;
  constexpr int kWrites = 20;
  std::vector<std::thread> threads;
  std::vector<QString> errors(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const QString path = folder + QStringLiteral("/list-%1.plist").arg(t);
      for (int i = 0; i < kWrites && errors[t].isEmpty(); ++i)
        errors[t] = PropertyList::write(QVariantList{integer(i), QByteArray(20000, 'x')}, path);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(errors[t], QString());
    const QVariantList written =
        PropertyList::read(folder + QStringLiteral("/list-%1.plist").arg(t)).value.toList();
    EXPECT_TRUE(identical(written.value(0), integer(kWrites - 1)));
  }
  EXPECT_EQ(entriesOf(folder).size(), kThreads);
}
