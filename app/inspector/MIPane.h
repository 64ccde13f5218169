#pragma once

#include <memory>

class QKFile;

// A pane of the media inspector as the inspector drives it. Every call but
// `draw` comes on the main thread; `draw` comes on the render thread while
// the inspector holds its apply lock, so it never overlaps an apply.
class MIPane {
 public:
  virtual ~MIPane() = default;

  // Shows one file (null: none).
  virtual void readFile(const std::shared_ptr<QKFile>& /*file*/) {}
  // The inspector built a new selection.
  virtual void updateSelection() {}
  // Writes the pending edits of the pane's kind into the inspected files.
  virtual void storeParamsForSelectedFiles() {}
  virtual void draw() {}
  // The file shown (null: none).
  virtual std::shared_ptr<QKFile> currentFile() const { return nullptr; }
};
