#include "app/capture/CaptureDestinations.h"
#include "app/capture/CaptureFileNames.h"
#include "app/capture/QKSeqGrabber.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>

namespace {
const QDateTime kWhen(QDate(2026, 3, 14), QTime(21, 5, 9));
}

TEST(CaptureFileNamesTest, NamesCountUpFromTwoWhenTaken) {
  EXPECT_EQ(CaptureFileNames::timeStamp(kWhen), QStringLiteral("03.14-21.05.09"));
  QSet<QString> taken;
  const auto exists = [&](const QString& path) { return taken.contains(path); };
  const QString first = CaptureFileNames::fileName("/rec", "VidIn 1", kWhen, exists);
  EXPECT_EQ(first, QStringLiteral("/rec/VidIn 1_03.14-21.05.09.mov"));
  taken.insert(first);
  const QString second = CaptureFileNames::fileName("/rec", "VidIn 1", kWhen, exists);
  EXPECT_EQ(second, QStringLiteral("/rec/VidIn 1_03.14-21.05.09.2.mov"));
  taken.insert(second);
  EXPECT_EQ(CaptureFileNames::fileName("/rec", "VidIn 1", kWhen, exists),
            QStringLiteral("/rec/VidIn 1_03.14-21.05.09.3.mov"));
}

TEST(CaptureFileNamesTest, TheFolderIsTheUsersElseMedia) {
  const struct {
    QString user, expected;
  } cases[] = {{"", "/app/media"},
               {"/films/", "/films"},
               {"~/Movies", QDir::homePath() + "/Movies"},
               {"~", QDir::homePath()}};
  for (const auto& c : cases)
    EXPECT_EQ(CaptureFileNames::folder(c.user, "/app/media"), c.expected) << c.user.toStdString();
}

TEST(CaptureNamesTest, InputNamesTakeTheSmallestFreeNumber) {
  EXPECT_EQ(QKSeqGrabber::getUniqueInputName({}), "VidIn 1");
  EXPECT_EQ(QKSeqGrabber::getUniqueInputName({"VidIn 1", "Layer 1"}), "VidIn 2");
  EXPECT_EQ(QKSeqGrabber::getUniqueInputName({"VidIn 2"}), "VidIn 1");
}

class CaptureDestinationsTest : public ::testing::Test {
 protected:
  using D = CaptureDestinations::Destination;
  CaptureDestinationsTest() {
    menu_.addItem("<none>", -2);
    menu_.addSeparator();
    menu_.addItem("Follow media bin:", -3, 0, false);
    menu_.addItem("Media Bin", -1, 1);
    menu_.addItem("Bin 2", -1, 1);
    menu_.addSeparator();
    menu_.addItem("Page:", -3, 0, false);
    menu_.addItem("Page 1", 7, 1);
    menu_.addItem("Page 2", 9, 1);
  }
  QKPageListMenu menu_;
};

TEST_F(CaptureDestinationsTest, ThePopUpShowsTheChosenItem) {
  const struct {
    D chosen;
    int index;
  } cases[] = {{D{9, "<none>"}, 8}, {D{-1, "Bin 2"}, 4},  {D{-2, "<none>"}, 0},
               {D{-5, "x"}, 0},     {D{3, "<none>"}, -1}, {D{-1, "Gone"}, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(CaptureDestinations::popUpIndex(menu_.items(), c.chosen), c.index)
        << c.chosen.tag << " " << c.chosen.binName.toStdString();
}

TEST_F(CaptureDestinationsTest, MenuUpdatesFollowRenamesAndDropDeletedDestinations) {
  const QStringList bins = CaptureDestinations::binTitles(menu_.items());
  EXPECT_EQ(bins, QStringList({"Media Bin", "Bin 2"}));
  const struct {
    D current;
    QVariantMap reason;
    std::optional<D> after;
  } cases[] = {
      {D{-1, "Old"},
       {{"reason", "changePluginName"}, {"oldName", "Old"}, {"newName", "New"}},
       D{-1, "New"}},
      {D{7, "Pg"},
       {{"reason", "changeFolderName"}, {"oldName", "Pg"}, {"newName", "P"}},
       D{7, "P"}},
      {D{-1, "Other"},
       {{"reason", "changePluginName"}, {"oldName", "Old"}, {"newName", "N"}},
       std::nullopt},
      {D{-1, "Bin"}, {{"reason", "deleteFolder"}, {"deletedFolderName", "Bin"}}, D{}},
      {D{-1, "Gone"}, {{"reason", "deletedPlugin"}}, D{}},
      {D{-1, "Bin 2"}, {{"reason", "deletedPlugin"}}, std::nullopt},
      {D{-1, "Bin 2"}, {{"reason", "addedMediaBin"}}, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto after = CaptureDestinations::afterMenuUpdate(c.current, c.reason, bins);
    EXPECT_EQ(after, c.after) << c.reason.value("reason").toString().toStdString();
  }
  EXPECT_EQ(D{}.tag, -2);
  EXPECT_EQ(D{}.binName, "<none>");
}
