#include "framework/params/QCFormLoader.h"

#include "framework/controls/QKNSTabView.h"
#include "framework/params/QCElementFactories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QWidget>

#ifdef ZAPH_HAVE_UITOOLS
#include <QUiLoader>
#endif

namespace {

#ifdef ZAPH_HAVE_UITOOLS
// Makes our control classes by name, everything else as Qt's loader does.
class ElementUiLoader : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    if (QWidget* ours = QCElementFactories::createFormWidget(className, parent)) {
      ours->setObjectName(name);
      return ours;
    }
    return QUiLoader::createWidget(className, parent, name);
  }
};

// A main window's central widget, taken out of it; any other widget itself.
QWidget* topViewOf(QWidget* loaded) {
  auto* window = qobject_cast<QMainWindow*>(loaded);
  if (!window) return loaded;
  QWidget* central = window->takeCentralWidget();
  if (central) central->setParent(nullptr);
  delete window;
  return central;
}
#endif

void setError(QString* error, const QString& text) {
  if (error) *error = text;
}

}  // namespace

bool QCFormLoader::available() {
#ifdef ZAPH_HAVE_UITOOLS
  return true;
#else
  return false;
#endif
}

QWidget* QCFormLoader::load(const QString& path, QString* error) {
#ifdef ZAPH_HAVE_UITOOLS
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    setError(error, file.errorString());
    return nullptr;
  }
  ElementUiLoader loader;
  loader.setWorkingDirectory(QFileInfo(path).absoluteDir());
  QWidget* top = topViewOf(loader.load(&file));
  if (!top) {
    const QString reason = loader.errorString();
    setError(error, reason.isEmpty() ? QStringLiteral("the form holds no widget") : reason);
    return nullptr;
  }
  top->hide();
  for (QKNSTabView* tabView : top->findChildren<QKNSTabView*>())
    if (tabView->buttonArray().empty() && tabView->count() > 0) tabView->createButtonsForTabs();
  return top;
#else
  (void)path;
  setError(error, QStringLiteral("this build reads no forms (it lacks Qt UiTools)"));
  return nullptr;
#endif
}
