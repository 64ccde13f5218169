#include "framework/render/TheApplication.h"

#include "framework/render/QKStringTexture.h"
#include "platform/composition/TextImage.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/GLContext.h"

#include <QDir>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>

#include <atomic>

const QString TheApplication::kSmallFontFamily = QStringLiteral("04b03");

namespace {
const QString kSmallFontFile = QStringLiteral("fonts/AtariSmall");
const QString kSmallFontType = QStringLiteral("ttf");
const QString kCustomUserFolderDefault = QStringLiteral("QCUserDirectoryPath");
// The interface font of the design is not found on Linux desktops.
const QString kInterfaceFontStandIn = QStringLiteral("DejaVu Sans");

std::atomic<bool> modalWindowSeen{false};

void refreshModalState() { modalWindowSeen.store(QGuiApplication::modalWindow() != nullptr); }
}  // namespace

TheApplication::TheApplication(int& argc, char** argv) : QApplication(argc, argv) {
  deferredReleaseArrays();
  loadFonts();
  // Text nodes of compositions draw on the string texture's bitmap.
  composition::TextImage::setDrawer(&QKStringTexture::drawCentred);
  colors_.mergeStoredScheme(InterfaceColorScheme::storedScheme());
  installEventFilter(this);
}

TheApplication::~TheApplication() {
  if (fontId_ >= 0 && !QFontDatabase::removeApplicationFont(fontId_))
    Log::line(QStringLiteral("\t\terror: could not deactivate font %1").arg(fontId_));
}

TheApplication* TheApplication::instance() {
  return qobject_cast<TheApplication*>(QCoreApplication::instance());
}

bool TheApplication::modalWindowRunning() {
  if (MainThread::isMainThread()) refreshModalState();
  return modalWindowSeen.load();
}

bool TheApplication::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowBlocked:
    case QEvent::WindowUnblocked:
      refreshModalState();
      break;
    default:
      break;
  }
  return QApplication::eventFilter(watched, event);
}

void TheApplication::loadFonts() {
  QFont::insertSubstitution(InterfaceColorScheme::interfaceFontFamily(), kInterfaceFontStandIn);
  if (fontId_ >= 0) return;
  const QString path = Paths::resourcePath(kSmallFontFile, kSmallFontType);
  if (path.isEmpty()) {
    Log::line(QStringLiteral("\t\terror: font resource %1.%2 not found")
                  .arg(kSmallFontFile, kSmallFontType));
    return;
  }
  const int id = QFontDatabase::addApplicationFont(path);
  const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
  if (families.isEmpty()) {
    Log::line(QStringLiteral("\t\terror: could not activate font %1").arg(path));
    if (id >= 0) QFontDatabase::removeApplicationFont(id);
    return;
  }
  fontId_ = id;
  QFont::insertSubstitution(kSmallFontFamily, families.first());
}

bool TheApplication::smallFontAvailable() {
  const QStringList substitutes = QFont::substitutes(kSmallFontFamily);
  if (substitutes.isEmpty()) return false;
  // The font database keeps substitutes in lower case.
  return QFontInfo(QFont(kSmallFontFamily))
             .family()
             .compare(substitutes.first(), Qt::CaseInsensitive) == 0;
}

QString TheApplication::pathToFolderNamed(const QString& name) {
  if (name.isEmpty()) return {};
  QString folder = Paths::findNamedFolder(name);
  if (folder.isEmpty()) folder = Paths::userDataDir() + QLatin1Char('/') + name;
  return folder + QLatin1Char('/');
}

QString TheApplication::pathToCustomUserFolder() {
  const QString stored = UserDefaults::standard().stringValue(kCustomUserFolderDefault);
  if (stored.isEmpty()) return {};
  if (stored == QStringLiteral("~")) return QDir::homePath();
  if (stored.startsWith(QStringLiteral("~/"))) return QDir::homePath() + stored.mid(1);
  return stored;
}

QString TheApplication::pathToSubResourcesFolderNamed(const QString& name) {
  if (name.isEmpty()) return {};
  return Paths::resourcesDir() + QLatin1Char('/') + name;
}

QSurfaceFormat TheApplication::defaultPixelFormat() { return gl::GLContext::defaultFormat(); }

DeferredReleaseArrays& TheApplication::deferredReleaseArrays() {
  return DeferredReleaseArrays::shared();
}

void TheApplication::addItemToQCDeleteArray(std::shared_ptr<void> renderer) {
  deferredReleaseArrays().addRenderer(std::move(renderer));
}

void TheApplication::purgeQCDeleteArray() { deferredReleaseArrays().purgeRenderers(); }

void TheApplication::addItemToBufferDeleteArray(std::shared_ptr<void> buffer) {
  deferredReleaseArrays().addBuffer(std::move(buffer));
}

void TheApplication::purgeBufferDeleteArray() { deferredReleaseArrays().purgeBuffers(); }
