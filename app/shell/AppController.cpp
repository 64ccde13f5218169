#include "app/shell/AppController.h"

#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/RenderThread.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

AppController::AppController(QObject* parent)
    : QObject(parent), mainWindow_(std::make_unique<QMainWindow>()) {
  mainWindow_->setWindowTitle(QStringLiteral("ZAPH"));
  mainWindow_->resize(640, 120);
  buildMenus();
  // The control data ticks from start-up to quit.
  dataSourceController_ = std::make_unique<DataSourceController>();
  dataSourceController_->setAppController(this);
  sliderManager_ = std::make_unique<QKSliderManager>();
  buttonManager_ = std::make_unique<QKButtonManager>();
  sliderManager_->setDataSourceController(dataSourceController_.get());
  buttonManager_->setDataSourceController(dataSourceController_.get());
  dataSourceController_->setSliderManager(sliderManager_.get());
  dataSourceController_->setButtonManager(buttonManager_.get());
  dataSourceController_->awakeFromNib();
  // Frames are drawn on the render thread from start-up to quit.
  gl::RenderThread::instance().start();
}

AppController::~AppController() {
  gl::RenderThread::instance().stop();
  // The tick calls the managers: it ends before they go.
  dataSourceController_->stopTheThread();
  dataSourceController_->setSliderManager(nullptr);
  dataSourceController_->setButtonManager(nullptr);
}

void AppController::buildMenus() {
  QMenu* appMenu = mainWindow_->menuBar()->addMenu(QStringLiteral("ZAPH"));
  QAction* quit = appMenu->addAction(QStringLiteral("Quit ZAPH"));
  quit->setShortcut(QKeySequence::Quit);
  quit->setMenuRole(QAction::QuitRole);
  connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
  mainWindow_->menuBar()->addMenu(QStringLiteral("File"));
  mainWindow_->menuBar()->addMenu(QStringLiteral("Window"));
}

void AppController::applicationWillTerminate() {
  NotificationCenter::defaultCenter().post(QStringLiteral("AppAboutToQuitNotification"));
  gl::RenderThread::instance().stop();
  dataSourceController_->stopTheThread();
}
