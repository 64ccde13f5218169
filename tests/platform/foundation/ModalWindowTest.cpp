#include "platform/foundation/ModalWindow.h"

#include <QApplication>
#include <QDialog>
#include <gtest/gtest.h>

#include <future>

namespace {

bool askedFromAnotherThread() {
  return std::async(std::launch::async, [] { return ModalWindow::isOpen(); }).get();
}

}  // namespace

TEST(ModalWindow, ModalDialogIsSeenFromAnyThreadUntilItCloses) {
  ModalWindow::install();
  EXPECT_FALSE(askedFromAnotherThread());

  QDialog plain;
  plain.show();
  QApplication::processEvents();
  EXPECT_FALSE(askedFromAnotherThread());  // a window that is not modal does not count

  {
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(askedFromAnotherThread());
    dialog.hide();
    QApplication::processEvents();
    EXPECT_FALSE(askedFromAnotherThread());
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(ModalWindow::isOpen());
  }  // destroyed while shown
  QApplication::processEvents();
  EXPECT_FALSE(ModalWindow::isOpen());
}

TEST(ModalWindow, OverrideAnswersForTests) {
  ModalWindow::setOverride(true);
  EXPECT_TRUE(askedFromAnotherThread());
  ModalWindow::setOverride(false);
  EXPECT_FALSE(ModalWindow::isOpen());
  ModalWindow::setOverride(std::nullopt);
}
