// Saved web pages read from their property lists, and the damaged ones.
#include "platform/foundation/PropertyList.h"
#include "platform/web/WebArchive.h"
#include "tests/support/HandMadeBinaryList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QVariantMap resource(const QByteArray& data, const QString& url, const QString& mime) {
  return {
      {WebArchive::kDataKey, data}, {WebArchive::kUrlKey, url}, {WebArchive::kMimeTypeKey, mime}};
}

QVariantMap page() {
  QVariantMap main = resource("<p>hi</p>", "https://a.example/index.html", "text/html");
  main.insert(WebArchive::kTextEncodingKey, "UTF-8");
  return {{WebArchive::kMainResourceKey, main},
          {WebArchive::kSubresourcesKey,
           QVariantList{resource("\x89PNG", "https://a.example/logo.png", "image/png"),
                        resource("body{}", "https://a.example/style.css", "text/css")}}};
}

QByteArray xml(const QVariant& value) { return PropertyList::toXml(value); }

// A string object of a hand-made binary list (ASCII, any length).
QByteArray asciiObject(const QByteArray& text) {
  if (text.size() < 15) return char(0x50 | text.size()) + text;
  return QByteArray("\x5F\x10") + char(text.size()) + text;
}

}  // namespace

TEST(WebArchive, ReadsTheMainResourceAndItsSubresourcesFromXml) {
  const WebArchive::Result result = WebArchive::fromData(xml(page()));
  ASSERT_TRUE(result.ok()) << result.error.toStdString();
  const WebResource& main = result.archive->mainResource();
  EXPECT_EQ(main.data, QByteArray("<p>hi</p>"));
  EXPECT_EQ(main.url, QUrl("https://a.example/index.html"));
  EXPECT_EQ(main.mimeType, "text/html");
  EXPECT_EQ(main.textEncodingName, "UTF-8");
  ASSERT_EQ(result.archive->subresources().size(), 2u);
  EXPECT_EQ(result.archive->subresources()[0].url, QUrl("https://a.example/logo.png"));
  EXPECT_EQ(result.archive->subresources()[1].mimeType, "text/css");
  EXPECT_TRUE(result.archive->subresources()[1].textEncodingName.isEmpty());
  EXPECT_TRUE(result.skipped.isEmpty());
}

TEST(WebArchive, ReadsABinaryList) {
  // {"WebMainResource": {"WebResourceData": <p>, "WebResourceURL": …,
  //  "WebResourceMIMEType": "text/html"}}
  const QByteArray binary = HandMadeBinaryList::build({
      QByteArray("\xD1\x01\x02", 3),
      asciiObject("WebMainResource"),
      QByteArray("\xD3\x03\x04\x05\x06\x07\x08", 7),
      asciiObject("WebResourceData"),
      asciiObject("WebResourceURL"),
      asciiObject("WebResourceMIMEType"),
      QByteArray("\x43<p>", 4),
      asciiObject("file:///tmp/a.html"),
      asciiObject("text/html"),
  });
  const WebArchive::Result result = WebArchive::fromData(binary);
  ASSERT_TRUE(result.ok()) << result.error.toStdString();
  EXPECT_EQ(result.archive->mainResource().data, QByteArray("<p>"));
  EXPECT_EQ(result.archive->mainResource().url, QUrl("file:///tmp/a.html"));
  EXPECT_TRUE(result.archive->subresources().empty());
}

TEST(WebArchive, ADamagedArchiveIsAnErrorNamingWhatIsWrong) {
  const auto withMain = [](const QVariant& main) {
    return xml(QVariantMap{{WebArchive::kMainResourceKey, main}});
  };
  const auto mainWithout = [&](const QString& key) {
    QVariantMap main = page().value(WebArchive::kMainResourceKey).toMap();
    main.remove(key);
    return withMain(main);
  };
  const auto mainWith = [&](const QString& key, const QVariant& value) {
    QVariantMap main = page().value(WebArchive::kMainResourceKey).toMap();
    main.insert(key, value);
    return withMain(main);
  };
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "not a web archive"},
      {"not a property list", "\x00\x01garbage\xff", "not a web archive"},
      {"truncated binary list", QByteArray("bplist00\xD1\x01", 10), "not a web archive"},
      {"an array at the top", xml(QVariantList{1, 2}), "no dictionary at the top"},
      {"no main resource", xml(QVariantMap{{"WebSubresources", QVariantList{}}}),
       "no main resource"},
      {"main resource not a dictionary", withMain("text"), "not a dictionary"},
      {"no data", mainWithout(WebArchive::kDataKey), "no data"},
      {"data as a string", mainWith(WebArchive::kDataKey, "<p>"), "no data"},
      {"no address", mainWithout(WebArchive::kUrlKey), "no valid address"},
      {"a bad address", mainWith(WebArchive::kUrlKey, "http://a b/%zz"), "no valid address"},
      {"no MIME type", mainWithout(WebArchive::kMimeTypeKey), "no MIME type"},
      {"encoding not a string", mainWith(WebArchive::kTextEncodingKey, 5), "text encoding"},
  };
  for (const Case& c : cases) {
    const WebArchive::Result result = WebArchive::fromData(c.bytes, "page.webarchive");
    EXPECT_FALSE(result.ok()) << c.name;
    EXPECT_TRUE(result.error.startsWith("page.webarchive: ")) << c.name;
    EXPECT_TRUE(result.error.contains(c.reason)) << c.name << ": " << result.error.toStdString();
  }
}

TEST(WebArchive, DamagedSubresourcesAreLeftOutAndTheRestKept) {
  QVariantMap archive = page();
  QVariantList subs = archive.value(WebArchive::kSubresourcesKey).toList();
  subs.insert(1, QVariantMap{{WebArchive::kUrlKey, "https://a.example/x.js"}});
  subs.append(7);
  archive.insert(WebArchive::kSubresourcesKey, subs);
  const WebArchive::Result result = WebArchive::fromData(xml(archive), "page.webarchive");
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.archive->subresources().size(), 2u);
  EXPECT_EQ(result.archive->subresources()[1].url, QUrl("https://a.example/style.css"));
  ASSERT_EQ(result.skipped.size(), 2);
  EXPECT_TRUE(result.skipped[0].contains("sub-resource 1 left out: no data"));
  EXPECT_TRUE(result.skipped[1].contains("sub-resource 3 left out: not a dictionary"));

  archive.insert(WebArchive::kSubresourcesKey, "none");
  const WebArchive::Result notAnArray = WebArchive::fromData(xml(archive));
  ASSERT_TRUE(notAnArray.ok());
  EXPECT_TRUE(notAnArray.archive->subresources().empty());
  EXPECT_EQ(notAnArray.skipped.size(), 1);
}

TEST(WebArchive, ReadsAFileAndNamesAMissingOne) {
  QTemporaryDir dir;
  const QString path = dir.filePath("saved.webarchive");
  ASSERT_TRUE(PropertyList::write(page(), path).isEmpty());
  const WebArchive::Result read = WebArchive::read(path);
  ASSERT_TRUE(read.ok()) << read.error.toStdString();
  EXPECT_EQ(*read.archive, *WebArchive::fromData(xml(page())).archive);

  const WebArchive::Result missing = WebArchive::read(dir.filePath("gone.webarchive"));
  EXPECT_FALSE(missing.ok());
  EXPECT_TRUE(missing.error.contains("gone.webarchive")) << missing.error.toStdString();
}
