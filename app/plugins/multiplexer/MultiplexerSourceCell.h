#pragma once

#include "framework/toolkit/QKFallThruPopUpButtonCell.h"

class QKMultiplexerPlugin;

// The source column of a multiplexer: drawn as a pop-up showing the chosen
// source's title (nothing when the source is not in the menu), edited with
// the data-source menu in the small menu font, its headings disabled.
class MultiplexerSourceCell : public QKFallThruPopUpButtonCell {
  Q_OBJECT
 public:
  MultiplexerSourceCell(QKMultiplexerPlugin* plugin, QObject* parent);
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 private:
  QKMultiplexerPlugin* plugin_;
};
