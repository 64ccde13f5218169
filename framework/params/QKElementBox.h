#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>

// The titled box of a panel element: the title in small white type along
// its top, the element's own views below it in the content rectangle. The
// box fills itself with the panel's background. Main thread only.
class QKElementBox : public QWidget {
  Q_OBJECT
 public:
  // The height the title takes above the content.
  static constexpr int kTitleHeight = 12;

  explicit QKElementBox(QWidget* parent = nullptr);

  void setTitle(const QString& title);
  QString title() const { return title_; }
  // Without a title the content takes the whole box.
  QRect contentRect() const;
  // Called with the content rectangle whenever it changes size.
  void setLayoutHandler(std::function<void(const QRect&)> handler);
  void relayout();

  // "Lucida Grande" 9 points, or the smallest readable system font.
  static QFont titleFont();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString title_;
  std::function<void(const QRect&)> layoutHandler_;
  QSize lastRenderedSize_;
};
