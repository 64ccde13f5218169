// The composition pane inside a real inspector, on the render thread's
// real composition runtime: the style fallbacks, the render size, what an
// apply stores for each kind, the values kept per style across a style
// change, and the preview picture drawn on the render thread and read back.
#include "app/compositor/Compositor.h"
#include "app/inspector/MIStyleChoice.h"
#include "app/inspector/QKMIMoviePropertiesController.h"
#include "app/inspector/QKMIQuartzComposerController.h"
#include "app/inspector/QKQCView.h"
#include "app/sources/QKQCSrcGLAttrPubBuffContext.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQCFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCSliderElement.h"
#include "framework/params/QKTextUI.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/TextureReader.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"
#include "tests/support/ShaderComposition.h"
#include "tests/support/TestEnvironment.h"

#include <QComboBox>
#include <QDir>

#include <gtest/gtest.h>

namespace {

using Kind = MIStyleChoice::Kind;
using Sender = QKMIMoviePropertiesController::Sender;

const QString kValues = QStringLiteral("QCAttributeSnapshot");

TEST(MIStyleChoiceTest, FallsBackToTheDefaultThenTheFirstOrTheBuiltInPlayer) {
  const QMap<QString, QString> texts{{"Amber.qtz", "/t/Amber.qtz"},
                                     {"DefaultFontsynth.qtz", "/t/DefaultFontsynth.qtz"}};
  const QMap<QString, QString> textsWithoutDefault{{"Blue.qtz", "/t/Blue.qtz"},
                                                   {"Amber.qtz", "/t/Amber.qtz"}};
  const QMap<QString, QString> images{{"Fit.qtz", "/i/Fit.qtz"},
                                      {"DefaultImageSource.qtz", "/i/Default.qtz"}};
  const QString builtIn = "/r/BuiltInPlayer.qtz";
  struct Case {
    const char* name;
    Kind kind;
    std::optional<QString> style;
    QMap<QString, QString> players;
    QString builtIn;
    QString expectedStyle, expectedPath;
    bool logged;
  };
  const Case cases[] = {
      {"text style found", Kind::Text, "Amber.qtz", texts, {}, "Amber.qtz", "/t/Amber.qtz", false},
      {"text style gone",
       Kind::Text,
       "Gone.qtz",
       texts,
       {},
       "DefaultFontsynth.qtz",
       "/t/DefaultFontsynth.qtz",
       true},
      {"text without style",
       Kind::Text,
       std::nullopt,
       texts,
       {},
       "DefaultFontsynth.qtz",
       "/t/DefaultFontsynth.qtz",
       true},
      {"no default: the first",
       Kind::Text,
       "Gone.qtz",
       textsWithoutDefault,
       {},
       "Amber.qtz",
       "/t/Amber.qtz",
       true},
      {"no text player", Kind::Text, "Amber.qtz", {}, builtIn, "", "", true},
      {"image style found", Kind::Image, "Fit.qtz", images, builtIn, "Fit.qtz", "/i/Fit.qtz",
       false},
      {"built-in player", Kind::Image, "<Built-In Player>", images, builtIn, "<Built-In Player>",
       builtIn, false},
      {"image style gone", Kind::Image, "Gone.qtz", images, builtIn, "DefaultImageSource.qtz",
       "/i/Default.qtz", true},
      {"no default image player",
       Kind::Image,
       "Gone.qtz",
       {{"Fit.qtz", "/i/Fit.qtz"}},
       builtIn,
       "<Built-In Player>",
       builtIn,
       true},
      {"no image player at all", Kind::Image, std::nullopt, {}, {}, "", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MIStyleChoice choice = MIStyleChoice::choose(c.kind, c.style, c.players, c.builtIn, "f");
    EXPECT_EQ(choice.style, c.expectedStyle);
    EXPECT_EQ(choice.path, c.expectedPath);
    EXPECT_EQ(!choice.messages.isEmpty(), c.logged);
  }
}

class PaneHost : public MediaInspectorHost {
 public:
  QKPageController* pageController() override { return nullptr; }
  Compositor* compositor() override { return compositorObject; }
  Compositor* compositorObject = nullptr;
};

// A style composition: its file input, a number "level" and the colour
// (level, green, blue); an image player takes its green from the image.
QString writeStyle(const QString& folder, const QString& name, const QString& fileInput,
                   const QString& portClass, double green, double blue) {
  const bool image = portClass == QLatin1String("QCGLImagePort");
  const auto splitter = [](const char* key, const QString& port) {
    return QVariantMap{
        {"key", key}, {"class", "QCSplitter"}, {"state", QVariantMap{{"portClass", port}}}};
  };
  const QString greenSource =
      image ? QStringLiteral("imageFileInput_sample(texCoord).g") : QString::number(green, 'f', 2);
  const QString shader =
      QStringLiteral(
          "%1uniform float level;\nvec4 shaderMain() { return vec4(level, %2, %3, 1.0); }\n")
          .arg(image ? QStringLiteral("uniform sampler2D imageFileInput;\n") : QString(),
               greenSource)
          .arg(blue, 0, 'f', 2);
  const QVariantMap draw{{"key", "Draw"},
                         {"class", "QCGLSLShader"},
                         {"state", QVariantMap{{"fragmentSource", shader}}}};
  const auto connection = [](const char* from, const QString& to) {
    return QVariantMap{{"sourceNode", from},
                       {"sourcePort", "output"},
                       {"destinationNode", "Draw"},
                       {"destinationPort", to}};
  };
  QVariantList connections{connection("Level", "level")};
  if (image) connections << connection("File", fileInput);
  const QVariantList published{QVariantMap{{"key", fileInput}, {"node", "File"}, {"port", "input"}},
                               QVariantMap{{"key", "level"}, {"node", "Level"}, {"port", "input"}}};
  const QVariantMap root{
      {"class", "QCPatch"},
      {"state", QVariantMap{{"nodes", QVariantList{splitter("File", portClass),
                                                   splitter("Level", "QCNumberPort"), draw}},
                            {"connections", connections},
                            {"publishedInputPorts", published},
                            {"renderedNode", "Draw"}}}};
  const QString path = folder + "/" + name;
  PropertyList::write(
      QVariantMap{{"inputParameters", QVariantMap{{"level", 0.5}}}, {"rootPatch", root}}, path);
  return path;
}

// A composition drawing one colour, with no inputs.
QString writePlainComposition(const QString& folder) {
  const QVariantMap draw{
      {"key", "Draw"},
      {"class", "QCGLSLShader"},
      {"state", QVariantMap{{"fragmentSource", "vec4 shaderMain() { return vec4(0, 0, 1, 1); }"}}}};
  const QVariantMap root{{"class", "QCPatch"},
                         {"state", QVariantMap{{"nodes", QVariantList{draw}},
                                               {"connections", QVariantList{}},
                                               {"publishedInputPorts", QVariantList{}},
                                               {"renderedNode", "Draw"}}}};
  const QString path = folder + "/Plain.qtz";
  PropertyList::write(QVariantMap{{"rootPatch", root}}, path);
  return path;
}

class CompositionPaneTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    folder_ = TestEnvironment::makeTempDir();
    const QString texts = folder_ + "/qcTextSources";
    const QString images = folder_ + "/qcImageSources";
    QDir().mkpath(texts);
    QDir().mkpath(images);
    writeStyle(texts, "Amber.qtz", "FileInput", "QCStringPort", 0.5, 0.0);
    writeStyle(texts, "Blue.qtz", "FileInput", "QCStringPort", 0.0, 1.0);
    writeStyle(texts, "DefaultFontsynth.qtz", "FileInput", "QCStringPort", 1.0, 0.0);
    writeStyle(images, "DefaultImageSource.qtz", "imageFileInput", "QCGLImagePort", 0.0, 1.0);
    Compositor::Environment environment;
    environment.gpuVendors = {"NVIDIA"};
    environment.compositeFilterNames = {"CISourceOverCompositing"};
    environment.localizedFilterName = [](const QString& name) { return name; };
    environment.applicationFolder = folder_ + "/";
    compositor_ = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
    compositor_->layerSizeChangedFrom(QSizeF(), QSizeF(640, 480));
    compositor_->canvasSizeChanged(QSizeF(640, 480));
    host_.compositorObject = compositor_.get();
    makeInspector();
  }
  void TearDown() override {
    inspector_.reset();
    compositor_.reset();
    GLTest::TearDown();
  }
  void makeInspector() {
    inspector_.reset();
    inspector_ = std::make_unique<MediaInspector>(&host_);
    inspector_->awakeFromNib();
    inspector_->window()->contentView()->expand();
    pane_ = inspector_->quartzComposerController();
  }

  std::shared_ptr<QKFile> composition(const QVariantMap& props = {}) {
    const QString path = writeShaderComposition(
        folder_, "Level.qtz",
        "uniform float level;\nvec4 shaderMain() { return vec4(level, 0, 0, 1); }\n", "level",
        "QCNumberPort", 0.5);
    auto file = QKQCFile::createWithPath(path, "Level.qtz", compositor_.get());
    file->setMovieProps(props);
    return file;
  }
  std::shared_ptr<QKTextFile> text(const QString& name, const QVariantMap& props = {}) {
    auto file = QKTextFile::createWithName(name, compositor_.get());
    file->setMyString(name + " words");
    file->setMovieProps(props);
    return file;
  }
  std::shared_ptr<QKImageFile> image(const QVariantMap& props = {}) {
    QImage picture(64, 48, QImage::Format_ARGB32);
    picture.fill(Qt::green);
    const QString path = folder_ + "/still.png";
    picture.save(path);
    auto file = QKImageFile::createWithFilePath(path, compositor_.get());
    file->setMovieProps(props);
    return file;
  }
  void select(std::vector<std::shared_ptr<QKFile>> files) {
    std::vector<MIEntry> entries;
    for (auto& file : files) entries.push_back(entry(file));
    inspector_->selectTheseFiles(entries);
  }
  QVariantMap& pending(const std::shared_ptr<QKFile>& file) {
    return *inspector_->pendingPropsFor(*file);
  }
  QKSliderControl* levelSlider() {
    auto element = std::dynamic_pointer_cast<QCSliderElement>(
        pane_->contextHolder()->attributeLoader()->findElementWithKey("level"));
    return element ? element->slider() : nullptr;
  }
  // The inspector's draw as the compositor calls it after `n` frames.
  void frames(int n) {
    onRenderThread([&] {
      for (int i = 0; i < n; ++i) inspector_->draw();
    });
  }
  void chooseStyle(const QString& style) {
    QComboBox* popUp = pane_->stylePopUpButton();
    popUp->setCurrentIndex(popUp->findText(style));
    inspector_->moviePropertiesController()->parameterChanged(Sender::StylePopUp);
  }

  QString folder_;
  PaneHost host_;
  std::unique_ptr<Compositor> compositor_;
  std::unique_ptr<MediaInspector> inspector_;
  QKMIQuartzComposerController* pane_ = nullptr;
};

TEST_F(CompositionPaneTest, TheStyleControlIsTheMoviePanesAndTheTextPreviewsThroughItsStyle) {
  EXPECT_EQ(pane_->stylePopUpButton(),
            inspector_->moviePropertiesController()->textStylePopUpButton());
  struct Case {
    const char* name;
    QVariantMap props;
    QString loaded;
  };
  const Case cases[] = {
      {"its own style", {{"styleName", "Blue.qtz"}}, "Blue.qtz"},
      {"a style no longer there", {{"styleName", "Gone.qtz"}}, "DefaultFontsynth.qtz"},
      {"no style", {}, "DefaultFontsynth.qtz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = text("t", c.props);
    select({file});
    EXPECT_EQ(pane_->currentFile(), file);
    EXPECT_EQ(pane_->loadedStyle(), c.loaded);
    EXPECT_TRUE(pane_->contextHolder()->rendererPath().endsWith(c.loaded));
    EXPECT_EQ(pane_->stylePopUpButton()->currentText(), c.loaded);
    auto* input = dynamic_cast<QKTextUI*>(
        pane_->contextHolder()->attributeLoader()->defaultFileInput().get());
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->currentString(), QStringLiteral("t words"));
  }
  frames(3);
  settle(0.1);
  saveScreenshot(inspector_->window()->grab().toImage(), "inspector-text-pane");
  // Nothing inspected: unloaded.
  inspector_->selectTheseFiles({});
  EXPECT_EQ(pane_->currentFile(), nullptr);
  EXPECT_TRUE(pane_->contextHolder()->rendererPath().isEmpty());
}

TEST_F(CompositionPaneTest, TheContextRendersAtTheCustomSizeOnlyWhenAskedFor) {
  struct Case {
    const char* name;
    QVariantMap props;
    QSizeF expected;
  };
  const Case cases[] = {
      {"canvas", {}, QSizeF(640, 480)},
      {"custom",
       {{"useCustomResForQtz", 1}, {"qtzHorRes", 320}, {"qtzVertRes", 200}},
       QSizeF(320, 200)},
      {"custom off",
       {{"useCustomResForQtz", 0}, {"qtzHorRes", 320}, {"qtzVertRes", 200}},
       QSizeF(640, 480)},
      {"unusable custom size",
       {{"useCustomResForQtz", 1}, {"qtzHorRes", -5}, {"qtzVertRes", "tall"}},
       QSizeF(640, 480)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    select({composition(c.props)});
    EXPECT_EQ(pane_->contextHolder()->size(), c.expected);
  }
  // The pending size counts, not only the stored one.
  auto file = text("t");
  select({file});
  pending(file).insert("useCustomResForQtz", 1);
  pending(file).insert("qtzHorRes", 100);
  pending(file).insert("qtzVertRes", 50);
  pane_->readFile(file);
  EXPECT_EQ(pane_->contextHolder()->size(), QSizeF(100, 50));
}

TEST_F(CompositionPaneTest, ApplyStoresEachKindsValues) {
  // A composition: its panel's values.
  auto qtz = composition();
  select({qtz});
  levelSlider()->setValue(0.8f);
  const QVariantMap edited = pane_->contextHolder()->createSnapshot();
  inspector_->applyChanges();
  EXPECT_EQ(qtz->movieProp(kValues).toMap(), edited);

  // A composition without inputs stores nothing.
  auto plain =
      QKQCFile::createWithPath(writePlainComposition(folder_), "Plain.qtz", compositor_.get());
  plain->setMovieProps({{"allowLiveUpdating", 1}});
  select({plain});
  inspector_->applyChanges();
  EXPECT_FALSE(plain->movieProps().contains(kValues));

  // Two texts: the first is shown, both get its values under its style,
  // neither its text.
  auto a = text("a", {{"styleName", "Amber.qtz"}});
  auto b = text("b");
  select({a, b});
  EXPECT_EQ(pane_->currentFile(), a);
  levelSlider()->setValue(0.3f);
  auto* input =
      dynamic_cast<QKTextUI*>(pane_->contextHolder()->attributeLoader()->defaultFileInput().get());
  input->loadText("typed");
  const QVariantMap amber = pane_->contextHolder()->createSnapshot();
  inspector_->applyChanges();
  for (const auto& file : {a, b})
    EXPECT_EQ(file->movieProp(kValues).toMap().value("Amber.qtz").toMap(), amber);
  EXPECT_EQ(a->myString(), "a words");
  EXPECT_EQ(b->myString(), "b words");

  // One text takes the panel's text, unless it is read-only.
  for (bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly);
    auto single = text("single");
    single->setReadOnlyFlag(readOnly);
    select({single});
    dynamic_cast<QKTextUI*>(pane_->contextHolder()->attributeLoader()->defaultFileInput().get())
        ->loadText("typed");
    inspector_->applyChanges();
    EXPECT_EQ(single->myString(), readOnly ? "single words" : "typed");
  }

  // An image: its values under the loaded style; the style pop-up's title
  // is not written into it.
  auto still = image();
  select({still});
  EXPECT_EQ(pane_->loadedStyle(), "DefaultImageSource.qtz");
  EXPECT_FALSE(pane_->stylePopUpButton()->currentText().isEmpty());
  inspector_->applyChanges();
  EXPECT_TRUE(still->movieProp(kValues).toMap().contains("DefaultImageSource.qtz"));
  EXPECT_FALSE(still->movieProps().contains("styleName"));
  // The built-in player previews through the composition the program ships.
  chooseStyle("<Built-In Player>");
  EXPECT_EQ(pane_->loadedStyle(), "<Built-In Player>");
  EXPECT_TRUE(pane_->contextHolder()->rendererPath().endsWith("/BuiltInPlayer.qtz"));
  inspector_->applyChanges();
  EXPECT_EQ(still->movieProp("styleName").toString(), "<Built-In Player>");
}

TEST_F(CompositionPaneTest, ARefusedApplyKeepsEveryPreviousProperty) {
  auto qtz = composition({{"useCustomResForQtz", 0}});
  select({qtz});
  levelSlider()->setValue(0.9f);
  pending(qtz).insert("qtzHorRes", -3);
  LogCapture log;
  inspector_->applyChanges();
  EXPECT_EQ(qtz->movieProps(), (QVariantMap{{"useCustomResForQtz", 0}}));
  EXPECT_TRUE(log.contains("qtzHorRes")) << log.lines().join("\n").toStdString();
}

TEST_F(CompositionPaneTest, AStyleChangeKeepsEachStylesValuesUnderItsOwnName) {
  // Stored: Amber with its values; the panel is moved, then Blue is chosen.
  auto file = text("t", {{"styleName", "Amber.qtz"}});
  select({file});
  levelSlider()->setValue(0.2f);
  const QVariantMap storedAmber = pane_->contextHolder()->createSnapshot();
  file->setMovieProp(kValues, QVariantMap{{"Amber.qtz", storedAmber}});
  select({});
  select({file});
  levelSlider()->setValue(0.9f);
  const QVariantMap editedAmber = pane_->contextHolder()->createSnapshot();
  ASSERT_NE(editedAmber, storedAmber);
  chooseStyle("Blue.qtz");
  EXPECT_EQ(pane_->loadedStyle(), "Blue.qtz");
  EXPECT_EQ(pending(file).value("styleName").toString(), "Blue.qtz");
  QVariantMap perStyle = pending(file).value(kValues).toMap();
  EXPECT_EQ(perStyle.value("Amber.qtz").toMap(), editedAmber);
  EXPECT_NE(perStyle.value("Blue.qtz").toMap(), editedAmber);
  // Nothing reaches the file before the apply.
  EXPECT_EQ(file->movieProp("styleName").toString(), "Amber.qtz");
  EXPECT_EQ(file->movieProp(kValues).toMap().value("Amber.qtz").toMap(), storedAmber);

  // Blue is moved, and back to Amber: each keeps its own pending values.
  levelSlider()->setValue(0.1f);
  const QVariantMap editedBlue = pane_->contextHolder()->createSnapshot();
  chooseStyle("Amber.qtz");
  EXPECT_NEAR(levelSlider()->value(), 0.9f, 1e-4);
  perStyle = pending(file).value(kValues).toMap();
  EXPECT_EQ(perStyle.value("Blue.qtz").toMap(), editedBlue);
  inspector_->applyChanges();
  EXPECT_EQ(file->movieProp("styleName").toString(), "Amber.qtz");
  EXPECT_EQ(file->movieProp(kValues).toMap().value("Blue.qtz").toMap(), editedBlue);

  // A file without a style shows the default one: its values go there, not
  // under the style chosen.
  auto plain = text("p");
  select({plain});
  levelSlider()->setValue(0.7f);
  const QVariantMap editedDefault = pane_->contextHolder()->createSnapshot();
  chooseStyle("Blue.qtz");
  perStyle = pending(plain).value(kValues).toMap();
  EXPECT_EQ(perStyle.value("DefaultFontsynth.qtz").toMap(), editedDefault);
  EXPECT_NE(perStyle.value("Blue.qtz").toMap(), editedDefault);
}

TEST_F(CompositionPaneTest, ThePreviewPictureIsDrawnOnTheRenderThreadEveryThirdFrame) {
  select({composition()});
  levelSlider()->setValue(1.0f);
  QKQCView* view = pane_->quartzComposerView();
  settle(0.1);
  frames(6);
  EXPECT_EQ(view->drawCount(), 2);
  const QImage picture = view->picture();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), view->size());
  // The picture is the composition's, upright: compared with its texture.
  QImage full;
  onRenderThread([&] { full = gl::TextureReader::read(pane_->contextHolder()->textureRef()); });
  ASSERT_FALSE(full.isNull());
  for (QPoint p : {QPoint(10, 10), QPoint(100, 75), QPoint(170, 125)}) {
    const QPoint q(p.x() * full.width() / picture.width(),
                   p.y() * full.height() / picture.height());
    EXPECT_TRUE(near(picture.pixelColor(p), full.pixelColor(q).toRgb(), 3));
  }
  EXPECT_TRUE(near(picture.pixelColor(100, 75), QColor(255, 0, 0), 3));
  // The widget paints it on the main thread.
  settle(0.1);
  const QImage grabbed = view->grab().toImage();
  EXPECT_TRUE(near(grabbed.pixelColor(100, 75), QColor(255, 0, 0), 3));
  saveScreenshot(inspector_->window()->grab().toImage(), "inspector-composition-pane");
  saveScreenshot(pane_->view()->grab().toImage(), "inspector-composition-pane-body");

  // An image is fed to its style composition (its green shows); two
  // compositions show none (black).
  select({image()});
  frames(3);
  EXPECT_TRUE(near(view->picture().pixelColor(100, 75), QColor(127, 255, 255), 3));
  select({composition(), composition()});
  EXPECT_EQ(pane_->currentFile(), nullptr);
  frames(3);
  EXPECT_TRUE(near(view->picture().pixelColor(100, 75), QColor(0, 0, 0), 1));
}

TEST_F(CompositionPaneTest, ThePreviewFollowsItsButtonAndTheUserDefault) {
  UserDefaults& defaults = UserDefaults::standard();
  EXPECT_EQ(defaults.value(QKMIQuartzComposerController::kPreviewDefaultKey).toInt(), 1);
  select({composition()});
  QKQCView* view = pane_->quartzComposerView();
  pane_->renderOnOffButton()->setIntValue(0);
  settle();
  EXPECT_EQ(defaults.value(QKMIQuartzComposerController::kPreviewDefaultKey).toInt(), 0);
  frames(6);
  EXPECT_EQ(view->drawCount(), 0);
  // Off at the next start; loading and applying still work.
  makeInspector();
  EXPECT_EQ(pane_->renderOnOffButton()->intValue(), 0);
  auto qtz = composition();
  select({qtz});
  inspector_->applyChanges();
  EXPECT_TRUE(qtz->movieProps().contains(kValues));
  frames(6);
  EXPECT_EQ(pane_->quartzComposerView()->drawCount(), 0);
  pane_->renderOnOffButton()->setIntValue(1);
  settle();
  frames(3);
  EXPECT_EQ(pane_->quartzComposerView()->drawCount(), 1);
  // A collapsed window's preview is not drawn.
  inspector_->window()->contentView()->collapse();
  settle();
  frames(6);
  EXPECT_EQ(pane_->quartzComposerView()->drawCount(), 1);
}

}  // namespace
