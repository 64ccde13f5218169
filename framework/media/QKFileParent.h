#pragma once

// What holds a media file: a page of the media bin or a legacy folder. It
// owns the file and outlives it.
class QKFileParent {
 public:
  virtual ~QKFileParent() = default;
};
