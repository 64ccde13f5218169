// Sticky notes: the snapshot (what an empty note writes, what restores and
// what is refused), the colours by lock and theme, the focus refused while
// locked, and a look at the window.
#include "app/plugins/sticky/Sticky.h"
#include "app/plugins/sticky/StickyTextView.h"
#include "app/plugins/sticky/StickyWindowContentView.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/WindowMenuControllerInterface.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QFontDatabase>
#include <QTest>

namespace {

class FakeLocks : public WindowMenuControllerInterface {
 public:
  bool interfaceLock() const override { return lock; }
  bool interfaceLockAll() const override { return false; }
  bool lock = false;
};

class StickyTest : public PluginHost {
 protected:
  Sticky* make() { return PluginHost::make<Sticky>(); }
  Sticky* shown() {
    Sticky* note = make();
    note->window()->show();
    note->window()->activateWindow();
    settle();
    return note;
  }
  void setLock(bool on) {
    locks.lock = on;
    NotificationCenter::defaultCenter().post(QString::fromLatin1(PaletteNotifications::LockChanged),
                                             static_cast<WindowMenuControllerInterface*>(&locks));
    settle();
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }
  static QVariantMap component(const QVariantMap& snapshot) {
    const QVariantList list = snapshot.value("componentArray").toList();
    return list.isEmpty() ? QVariantMap() : list.first().toMap();
  }
  static QVariantMap restoring(QVariantMap c, QVariant restore = 1) {
    c.insert("componentName", "stickyText");
    if (restore.isValid()) c.insert("restore", restore);
    return {{"componentArray", QVariantList{c}}};
  }
  // A family the font database has, other than the text view's own.
  static QString otherFamily(const QString& own) {
    for (const QString& family : QFontDatabase::families())
      if (family.compare(own, Qt::CaseInsensitive) != 0) return family;
    return {};
  }
  FakeLocks locks;
};

TEST_F(StickyTest, AnEmptyNoteSavesItsEmptyTextButNoFont) {
  Sticky* note = make();
  note->window();
  const QVariantMap c = component(note->createSnapshot());
  EXPECT_EQ(c.value("componentName"), "stickyText");
  EXPECT_EQ(c.value("stickyString"), QString());
  EXPECT_FALSE(c.contains("fontName"));
  EXPECT_FALSE(c.contains("fontSize"));
  EXPECT_TRUE(note->createSnapshot().contains("superSnap"));
}

TEST_F(StickyTest, OnlyAComponentMarkedForRestoringComesBack) {
  Sticky* note = make();
  note->window();
  const QFont own = note->stickyText()->font();
  const QString family = otherFamily(own.family());
  ASSERT_FALSE(family.isEmpty());
  const struct {
    const char* name;
    QVariantMap snapshot;
    QString text;
    QString family;
    double size;
  } cases[] = {
      {"no restore", restoring({{"stickyString", "a"}}, QVariant()), "", own.family(),
       own.pointSizeF()},
      {"restore 0", restoring({{"stickyString", "a"}}, 0), "", own.family(), own.pointSizeF()},
      {"another component",
       {{"componentArray",
         QVariantList{QVariantMap{{"componentName", "x"}, {"restore", 1}, {"stickyString", "a"}}}}},
       "",
       own.family(),
       own.pointSizeF()},
      {"text and font",
       restoring({{"stickyString", "set list"}, {"fontName", family}, {"fontSize", 14.0}}),
       "set list", family, 14.0},
      {"an unknown font keeps the font",
       restoring({{"stickyString", "b"}, {"fontName", "No Such Family 77"}, {"fontSize", 30}}), "b",
       family, 14.0},
      {"a size beyond 512 is held there",
       restoring({{"stickyString", "c"}, {"fontName", family}, {"fontSize", 9000}}), "c", family,
       512.0},
      {"text that is no string keeps the text, the font restores",
       restoring({{"stickyString", 4}, {"fontName", family}, {"fontSize", 20}}), "c", family, 20.0},
      {"a size that is not a finite number keeps the font",
       restoring({{"stickyString", "d"}, {"fontName", family}, {"fontSize", qQNaN()}}), "d", family,
       20.0},
      {"no component array", QVariantMap{{"superSnap", QVariantMap()}}, "d", family, 20.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    note->loadSnapshot(c.snapshot);
    EXPECT_EQ(note->stickyText()->toPlainText(), c.text);
    EXPECT_EQ(note->stickyText()->font().family(), c.family);
    EXPECT_DOUBLE_EQ(note->stickyText()->font().pointSizeF(), c.size);
  }
  // The round trip, as the plug-in manager stores it.
  Sticky* copy = make();
  copy->window();
  QVariantMap saved = note->createSnapshot();
  saved.insert("componentArray", QVariantList{[&] {
                 QVariantMap c = component(saved);
                 c.insert("restore", 1);
                 return c;
               }()});
  copy->loadSnapshot(saved);
  EXPECT_EQ(copy->stickyText()->toPlainText(), "d");
  EXPECT_EQ(copy->stickyText()->font().family(), family);
}

TEST_F(StickyTest, TheLockRecoloursTheNoteAndRefusesTheFocus) {
  Sticky* note = shown();
  StickyTextView* text = note->stickyText();
  EXPECT_EQ(text->backgroundColor(), QColor(Qt::white));
  EXPECT_EQ(text->textColor(), QColor(Qt::black));
  text->setFocus();
  settle();
  ASSERT_TRUE(text->hasFocus());

  setLock(true);
  auto* content = static_cast<StickyWindowContentView*>(note->window()->contentView());
  EXPECT_EQ(text->backgroundColor(), content->backgroundColor());
  EXPECT_EQ(text->textColor(), QColor::fromRgbF(0.4f, 0.4f, 0.4f));
  EXPECT_FALSE(text->hasFocus());
  EXPECT_FALSE(text->acceptsFirstResponder());
  QTest::mouseClick(text->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::keyClicks(text, "x");
  settle();
  EXPECT_FALSE(text->hasFocus());
  EXPECT_EQ(text->toPlainText(), QString());
  saveScreenshot(note->window()->grab().toImage(), QStringLiteral("sticky-locked"));

  // Folding and opening keep the locked colours.
  content->collapse();
  content->expand();
  EXPECT_EQ(text->backgroundColor(), content->backgroundColor());

  setLock(false);
  EXPECT_EQ(text->backgroundColor(), QColor(Qt::white));
  EXPECT_EQ(text->textColor(), QColor(Qt::black));
  QTest::mouseClick(text->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::keyClicks(text, "encore");
  settle();
  EXPECT_EQ(text->toPlainText(), "encore");
  saveScreenshot(note->window()->grab().toImage(), QStringLiteral("sticky"));
}

TEST_F(StickyTest, AThemeChangeRecoloursALockedNote) {
  auto* app = TheApplication::instance();
  ASSERT_TRUE(app);
  Sticky* note = shown();
  StickyTextView* text = note->stickyText();
  text->setPlainText(QStringLiteral("██████\n██████"));
  QFont big = text->font();
  big.setPointSize(24);
  text->setFont(big);
  setLock(true);
  QVariantMap sticky = app->pluginColorDict().value("Sticky").toMap();
  QVariantMap attributes = sticky.value("textAttribsDict").toMap();
  attributes.insert(InterfaceColorScheme::kForegroundColorAttribute, QColor(Qt::red));
  sticky.insert("textAttribsDict", attributes);
  app->setPluginColorDict({{"Sticky", sticky}});
  NotificationCenter::defaultCenter().post(Sticky::kRedrawPluginsNotification);
  settle();
  EXPECT_EQ(text->textColor(), QColor(Qt::red));
  const QImage picture = text->viewport()->grab().toImage();
  bool red = false;
  for (int y = 0; y < picture.height() && !red; ++y)
    for (int x = 0; x < picture.width() && !red; ++x) {
      const QColor c = picture.pixelColor(x, y);
      red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }
  EXPECT_TRUE(red) << "the glyphs are drawn red";

  saveScreenshot(note->window()->grab().toImage(), QStringLiteral("sticky-theme"));
  app->colorScheme() = InterfaceColorScheme();
}

}  // namespace
