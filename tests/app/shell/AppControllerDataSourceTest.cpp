#include "app/shell/AppController.h"

#include "framework/datasource/DataSourceController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include "app/compositor/CompositorWindow.h"
#include "framework/toolkit/QKPaletteWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <thread>

TEST(AppControllerDataSource, TicksFromStartUpAndStopsAtQuit) {
  AppController controller;
  DataSourceController* dsc = controller.dataSourceController();
  ASSERT_NE(dsc, nullptr);
  EXPECT_NE(dsc->dataSourceForKeyArray({QStringLiteral("ZAPH")}), nullptr);
  EXPECT_TRUE(dsc->tickThreadRunning());

  const int32_t start = DataSourceController::DSCTime();
  QElapsedTimer waited;
  waited.start();
  while (DataSourceController::DSCTime() == start && waited.elapsed() < 5000)
    std::this_thread::yield();
  EXPECT_NE(DataSourceController::DSCTime(), start) << "the tick thread does not tick";

  controller.applicationWillTerminate();
  EXPECT_FALSE(dsc->tickThreadRunning());
  const int32_t stopped = DataSourceController::DSCTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(DataSourceController::DSCTime(), stopped);
}

// Keys typed into the Layer Manager feed the key nodes, unless typed into a
// text field.
TEST(AppControllerDataSource, KeysOfTheMainWindowReachTheKeyNodes) {
  AppController controller;
  DataSourceController* dsc = controller.dataSourceController();
  QWidget* window = controller.compositorWindow()->window();
  auto* field = new QLineEdit(window);
  const auto send = [](QWidget* receiver, QEvent::Type type, Qt::Key key, const QString& text) {
    QKeyEvent event(type, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(receiver, &event);
  };
  send(window, QEvent::KeyPress, Qt::Key_A, QStringLiteral("a"));
  const auto node = dsc->dataSourceForKeyArray({QStringLiteral("Key"), QStringLiteral("a")});
  ASSERT_NE(node, nullptr);
  EXPECT_FLOAT_EQ(node->value(), 1.0f);
  send(window, QEvent::KeyRelease, Qt::Key_A, QStringLiteral("a"));
  EXPECT_FLOAT_EQ(node->value(), 0.0f);

  send(field, QEvent::KeyPress, Qt::Key_B, QStringLiteral("b"));
  EXPECT_EQ(dsc->dataSourceForKeyArray({QStringLiteral("Key"), QStringLiteral("b")}), nullptr);
  controller.applicationWillTerminate();
}

// The menu bar sits in the Layer Manager; its shortcuts still work from
// another palette while the Layer Manager is hidden.
TEST(AppControllerDataSource, MenuShortcutsWorkWhileTheMenuBarIsHidden) {
  AppController controller;
  QKPaletteWindow* layerManager = controller.compositorWindow()->window();
  controller.compositorWindow()->show();
  QApplication::processEvents();
  layerManager->hide();
  QWidget* other = controller.presetManagerWindow();
  ASSERT_NE(other, layerManager);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_4, Qt::ControlModifier);
  QCoreApplication::sendEvent(other, &press);
  EXPECT_TRUE(layerManager->isVisible());
  controller.applicationWillTerminate();
}
