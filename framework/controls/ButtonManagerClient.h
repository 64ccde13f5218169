#pragma once

class QKButtonManager;

// An object that finds the button manager by posting
// "QKBManagerFinderNotification" with itself (as this interface, passed as
// void*) as the object; the manager calls setButtonManager before the post
// returns.
class ButtonManagerClient {
 public:
  virtual ~ButtonManagerClient() = default;
  virtual void setButtonManager(QKButtonManager* manager) = 0;
};
