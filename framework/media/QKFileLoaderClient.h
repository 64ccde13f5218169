#pragma once

class QKFileLoader;

// An object that finds the file loader by posting
// "QKFindFileLoaderNotification" with itself, as this interface, as the
// object; the loader answers at once through `setFileLoader`.
class QKFileLoaderClient {
 public:
  virtual ~QKFileLoaderClient() = default;
  virtual void setFileLoader(QKFileLoader* loader) = 0;
};
