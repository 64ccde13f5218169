#pragma once

#include <QStyledItemDelegate>

class PMMissingFilesOutlineModel;

// The cells of the outline's locate column: a small "Locate" button on each
// missing file's row, the row's text ("Found" for a file that is there,
// nothing for pages and folders) elsewhere. A click on the button sets the
// row's value, which the window takes as the request to locate that file.
class PMMissingFilesLocateTableColumn : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit PMMissingFilesLocateTableColumn(PMMissingFilesOutlineModel* model,
                                           QObject* parent = nullptr);

  static QString locateTitle() { return QStringLiteral("Locate"); }
  // Whether the row shows the button.
  bool showsButton(const QModelIndex& index) const;
  // Where the button sits in a cell.
  static QRect buttonRect(const QRect& cell);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 private:
  PMMissingFilesOutlineModel* model_ = nullptr;
};
