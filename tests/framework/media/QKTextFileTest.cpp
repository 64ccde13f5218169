// Text entries: the text types, reading a file, the load flags, the stored
// properties and what a snapshot keeps of the text.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKTextFile.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

class QKTextFileTest : public MediaKindTest {};

}  // namespace

TEST_F(QKTextFileTest, TextTypesGoByTheExactExtension) {
  const struct {
    const char* path;
    bool text;
  } cases[] = {
      {"/a/b.txt", true},  {"/a/b.text", true}, {"/a/b.TEXT", true}, {"/a/b.ttxt", true},
      {"/a/b.ttro", true}, {"/a/b.Txt", false}, {"/a/b.TXT", false}, {"/a/b.md", false},
      {"/a/txt", false},   {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(QKTextFile::isTextFileType(c.path), c.text) << c.path;
}

TEST_F(QKTextFileTest, ReadingDecodesByMarkThenUtf8ThenLatin1) {
  const struct {
    const char* name;
    QByteArray bytes;
    std::optional<QString> text;
  } cases[] = {
      {"UTF-8", "caf\xC3\xA9", QStringLiteral(u"café")},
      {"UTF-8 with its mark", "\xEF\xBB\xBFnaïve", QStringLiteral(u"naïve")},
      {"UTF-16 little-endian", QByteArray("\xFF\xFEh\0i\0", 6), QStringLiteral("hi")},
      {"UTF-16 big-endian", QByteArray("\xFE\xFF\0h\0i", 6), QStringLiteral("hi")},
      {"Latin-1", "caf\xE9 cr\xE8me", QStringLiteral(u"café crème")},
      {"empty", "", QString()},
      {"binary noise",
       QByteArray("\x7F"
                  "ELF\x02\x01\x01\0\0\0\xFF\xFE\x13",
                  13),
       std::nullopt},
  };
  for (const auto& c : cases) {
    QString error;
    const std::optional<QString> text = QKTextFile::readText(write("t.txt", c.bytes), &error);
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_EQ(error.isEmpty(), c.text.has_value()) << c.name;
  }
}

TEST_F(QKTextFileTest, AFileThatCannotBeReadIsAMissingFile) {
  QFile big(dir_ + "/big.txt");
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  ASSERT_TRUE(big.resize(QKTextFile::kMaxFileBytes + 1));  // sparse: no time to write
  big.close();
  const QString cases[] = {dir_ + "/big.txt", dir_ + "/gone.txt", write("noise.txt", {"a\0b", 3})};
  for (const QString& path : cases) {
    LogCapture log;
    auto file = QKTextFile::createWithPath(path, "t", &compositor_);
    EXPECT_FALSE(file->validFile()) << path.toStdString();
    EXPECT_FALSE(file->hasText()) << path.toStdString();
    EXPECT_EQ(log.lines().size(), 1) << path.toStdString();
  }
  const auto good = QKTextFile::createWithPath(write("good.txt", "words"), "good", &compositor_);
  EXPECT_TRUE(good->validFile());
  EXPECT_EQ(good->myString(), "words");
  EXPECT_TRUE(good->readOnlyFlag());
  EXPECT_FALSE(good->storeStringWithSetFileFlag());
  EXPECT_EQ(good->fileType(), "txt");
}

TEST_F(QKTextFileTest, LoadFollowsTheStoredFlags) {
  const QString onDisk = write("on disk.txt", "from disk");
  const QString notText = write("notes.md", "markdown");
  const struct {
    const char* name;
    QVariantMap snapshot;
    bool valid;
    QString text;
    bool readOnly;
    bool stored;
  } cases[] = {
      {"no flags: a read-only entry reading its file",
       {{"fullPath", onDisk}},
       true,
       "from disk",
       true,
       false},
      {"no flags and no path: valid and empty", {}, true, "", true, false},
      {"stored text",
       {{"storeStringWithSetFileFlag", true}, {"myString", "typed"}, {"readOnlyFlag", false}},
       true,
       "typed",
       false,
       true},
      {"stored text missing", {{"storeStringWithSetFileFlag", true}}, false, "", true, true},
      {"stored text mistyped",
       {{"storeStringWithSetFileFlag", true}, {"myString", 5}},
       false,
       "",
       true,
       true},
      {"the file is gone", {{"fullPath", dir_ + "/gone.txt"}}, false, "", true, false},
      {"not a text type", {{"fullPath", notText}}, false, "", true, false},
  };
  for (const auto& c : cases) {
    NotificationCounter missing(MediaNotifications::kMissingFile);
    auto file = QKTextFile::createWithCompositor(&compositor_);
    EXPECT_EQ(file->loadFromSnapshot(c.snapshot, &compositor_), c.valid) << c.name;
    EXPECT_EQ(file->validFile(), c.valid) << c.name;
    EXPECT_EQ(file->myString(), c.text) << c.name;
    EXPECT_TRUE(file->hasText()) << c.name;
    EXPECT_EQ(file->readOnlyFlag(), c.readOnly) << c.name;
    EXPECT_EQ(file->storeStringWithSetFileFlag(), c.stored) << c.name;
    EXPECT_EQ(missing.count(), c.valid ? 0 : 1) << c.name;
  }
}

TEST_F(QKTextFileTest, DefaultsComeFromUserDefaultsThenTheStyleTables) {
  const struct {
    const char* name;
    QVariantMap defaults;
    QMap<QString, QString> table;
    QStringList menu;
    QVariant styleName;  // invalid: no style name
  } cases[] = {
      {"the default style",
       {{"textFileStyleNameDefault", "Mine"}},
       {{"DefaultFontsynth", "/p"}},
       {"A"},
       "Mine"},
      {"the table's default font synth",
       {},
       {{"DefaultFontsynth", "/p"}},
       {"A"},
       "DefaultFontsynth"},
      {"the first of the menu", {}, {{"Other", "/p"}}, {"A", "B"}, "A"},
      {"none at all", {}, {}, {}, QVariant()},
      {"a mistyped default is passed over", {{"textFileStyleNameDefault", 3}}, {}, {"A"}, "A"},
  };
  for (const auto& c : cases) {
    UserDefaults::standard().resetForTesting();
    for (auto it = c.defaults.begin(); it != c.defaults.end(); ++it)
      UserDefaults::standard().setValue(it.key(), it.value());
    compositor_.fontSynths = c.table;
    compositor_.fontSynthMenu = c.menu;
    auto file = QKTextFile::createWithName("blank", &compositor_);
    EXPECT_EQ(file->movieProp("styleName"), c.styleName) << c.name;
  }
  UserDefaults::standard().resetForTesting();
  compositor_.fontSynthMenu.clear();
  UserDefaults::standard().setValue("textHorResDefault", 1024);
  UserDefaults::standard().setValue("useTextStyleDefault", "not a number");
  auto file = QKTextFile::createWithName("blank", &compositor_);
  EXPECT_EQ(file->movieProps(), (QVariantMap{{"allowLiveUpdating", true},
                                             {"useCustomResForQtz", 1},
                                             {"qtzHorRes", 1024},
                                             {"qtzVertRes", 480},
                                             {"useStyle", 1}}));
  EXPECT_TRUE(file->validFile());
  EXPECT_EQ(file->myString(), "no text");
}

TEST_F(QKTextFileTest, StoredPropertiesOverlayTheDefaults) {
  UserDefaults::standard().setValue("textVertResDefault", 720);
  const struct {
    const char* name;
    QVariant stored;
    QVariantMap expected;
    int logLines;
  } cases[] = {
      {"only a style name",
       QVariantMap{{"styleName", "Stored"}},
       {{"allowLiveUpdating", true},
        {"useCustomResForQtz", 1},
        {"qtzHorRes", 640},
        {"qtzVertRes", 720},
        {"useStyle", 1},
        {"styleName", "Stored"}},
       0},
      {"a mistyped value keeps its default",
       QVariantMap{{"qtzHorRes", "wide"}, {"useStyle", 0}, {"unknown", 1}},
       {{"allowLiveUpdating", true},
        {"useCustomResForQtz", 1},
        {"qtzHorRes", 640},
        {"qtzVertRes", 720},
        {"useStyle", 0}},
       1},
      {"properties that are no dictionary",
       QVariantList{1},
       {{"allowLiveUpdating", true},
        {"useCustomResForQtz", 1},
        {"qtzHorRes", 640},
        {"qtzVertRes", 720},
        {"useStyle", 1}},
       1},
  };
  for (const auto& c : cases) {
    LogCapture log;
    auto file = QKTextFile::createWithCompositor(&compositor_);
    EXPECT_TRUE(file->loadFromSnapshot({{"movieProps", c.stored}}, &compositor_)) << c.name;
    EXPECT_EQ(file->movieProps(), c.expected) << c.name;
    EXPECT_EQ(log.lines().size(), c.logLines) << c.name;
  }
  auto failed = QKTextFile::createWithCompositor(&compositor_);
  EXPECT_FALSE(failed->loadFromSnapshot(
      {{"storeStringWithSetFileFlag", true}, {"movieProps", QVariantMap{{"qtzHorRes", 9}}}},
      &compositor_));
  EXPECT_EQ(failed->movieProps(), (QVariantMap{{"qtzHorRes", 9}})) << "the stored keys alone";
}

TEST_F(QKTextFileTest, ASnapshotKeepsTheTextOfBlankAndEditableEntriesOnly) {
  auto blank = QKTextFile::createWithName("blank", &compositor_);
  blank->setMyString("typed in");
  auto fromDisk = QKTextFile::createWithPath(write("a.txt", "on disk"), "a", &compositor_);
  fromDisk->setMyString("changed in memory");
  EXPECT_EQ(blank->createSnapshot().value("myString"), QVariant("typed in"));
  EXPECT_FALSE(fromDisk->createSnapshot().contains("myString"));

  // An entry made editable and then edited keeps the edit.
  fromDisk->setReadOnlyFlag(false);
  fromDisk->setMyString("edited");
  const QVariantMap snapshot = fromDisk->createSnapshot();
  EXPECT_EQ(snapshot.value("myString"), QVariant("edited"));
  EXPECT_EQ(snapshot.value("storeStringWithSetFileFlag"), QVariant(true));
  auto restored = QKTextFile::createWithCompositor(&compositor_);
  EXPECT_TRUE(restored->loadFromSnapshot(snapshot, &compositor_));
  EXPECT_EQ(restored->myString(), "edited");
  EXPECT_FALSE(restored->readOnlyFlag());
}
