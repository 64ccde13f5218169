#pragma once

class QAbstractItemView;

// Selection helpers for every list (table or outline, top level rows).
namespace TableViewAdditions {

// Selects exactly that row; an index out of range (−1 for "not found", or at
// or past the row count) clears the selection.
void selectRowIndex(QAbstractItemView* view, int index);
// Selects exactly row 0 when there is one; otherwise changes nothing.
void selectFirstRow(QAbstractItemView* view);

}  // namespace TableViewAdditions
