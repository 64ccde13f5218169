#pragma once

#include <QWidget>

// The hidden window a web source's page lives in: frameless, black, never
// on screen but shown, so that the page draws.
class QKWebWindow : public QWidget {
  Q_OBJECT
 public:
  static QKWebWindow* create();
  QKWebWindow();
};
