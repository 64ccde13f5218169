#pragma once

#include <QImage>

#include <memory>

class MediaBin;
class QWidget;

// Makes a media bin's window and its working objects, connects them, and
// wakes them. The window: a tool bar (options, auto-close, the quantize
// picker, the recording indicator and the compact next-layer pop-up), then
// a left/right split whose left pane is kept for the table of contents of
// pages and whose right pane splits top/bottom into the pages (tabs, the
// listeners' command buttons, the grid) and the layer queue. The options
// sheet holds the listeners' setup and table.
//
// Waking order: the layer queue, the quantize picker, the page tabs, the
// views controller, the grid's size; the bin itself wakes last.
class MediaBinWindowBuilder {
 public:
  static std::unique_ptr<QWidget> build(MediaBin* bin);
  static void wake(MediaBin& bin);

  // The bin's own cell icons.
  static QImage folderIcon();
  static QImage textFileIcon();
  static QImage urlFileIcon();
  static QImage missingFileImage();
};
