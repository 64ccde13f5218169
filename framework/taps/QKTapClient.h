#pragma once

class QKTapManager;

// An object that registers with the tap manager by posting
// "QKTapNewTapNotification" with itself (as this interface, passed as
// void*) as the object; the manager adopts it before the post returns.
class QKTapClient {
 public:
  virtual ~QKTapClient() = default;
  virtual void setTapManager(QKTapManager* manager) = 0;
  virtual QKTapManager* tapManager() const = 0;
};
