#pragma once

class WindowMenuControllerInterface;

// An object that finds the Window menu's controller by posting
// "QKWMCFindWinMCNotification" with itself (as this interface, passed as
// void*) as the object; the controller calls setMenuController before the
// post returns.
class WindowMenuControllerClient {
 public:
  virtual ~WindowMenuControllerClient() = default;
  virtual void setMenuController(WindowMenuControllerInterface* controller) = 0;
};
