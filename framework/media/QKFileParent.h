#pragma once

// What holds a media file: a page of the media bin or a legacy folder. It
// owns the file and outlives it. Pages and folders draw their IDs from the
// same counter as files, so an ID names one holder.
class QKFileParent {
 public:
  virtual ~QKFileParent() = default;
  virtual long uniqueFileId() const = 0;
};
