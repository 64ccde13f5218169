#pragma once

#include <QImage>
#include <QUrl>
#include <QWidget>

class QMimeData;

// The page's icon on white; a press drags the page's address out (as a
// URL), so that it can be dropped elsewhere. Main thread.
class QKFavIconDisplay : public QWidget {
  Q_OBJECT
 public:
  explicit QKFavIconDisplay(QWidget* parent = nullptr);

  void setImage(const QImage& image);
  QImage image() const { return image_; }
  void setURL(const QUrl& url) { url_ = url; }
  QUrl url() const { return url_; }

  // What a drag carries: the URL alone; null without one.
  QMimeData* createDragData() const;
  // The picture dragged: the icon, or an empty 80 × 60 one.
  QPixmap dragImage() const;
  void startURLDrag(const QPoint& point);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage image_;
  QUrl url_;
};
