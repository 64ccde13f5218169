#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// The floating window that follows the file loader while a project's media
// (or an import) come in: a title, what is loading, "Item n of m", a busy
// indicator and Cancel.
class ProjectLoadingPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ProjectLoadingPanel(std::function<void()> cancel, QWidget* parent = nullptr);

  void setTitle(const QString& title);
  void setDescription(const QString& text);
  void setCount(const QString& text);
  QString title() const;
  QString description() const;
  QString count() const;
  QPushButton* cancelButton() const { return cancelButton_; }

  // "Preparing to load files...", "Estimating file count...", in front,
  // the indicator running.
  void start();
  void stop();

 private:
  QLabel* title_;
  QLabel* description_;
  QLabel* count_;
  QProgressBar* indicator_;
  QPushButton* cancelButton_;
};
