#pragma once

#include "platform/gl/DisplayLink.h"
#include "platform/gl/GLContext.h"

#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QOffscreenSurface;
class QWindow;

namespace gl {

// The one thread that draws every frame. It owns the main GL context (made
// on the thread itself, drawing only into framebuffer objects), the
// contexts of the presenting windows (sharing textures with the main one),
// and the display link that paces frames.
//
// A frame: the frame handlers in the order they were added, then the
// frame-end hooks (the deferred-release purges), then the GL objects other
// threads gave up (disposeLater), then the texture pool's trim. Work posted
// with post()/invokeAndWait() runs between frames with the main context
// current. GL objects are created and deleted on this thread only. A frame
// never waits for the lists of handlers, hooks and disposals: while another
// thread is changing them, it goes on with the lists it saw last.
//
// start() and stop() belong to the main thread.
class RenderThread {
 public:
  struct Options {
    bool paced = true;
    double refreshRate = 0.0;  // Hz; 0 takes the primary screen's
  };
  using FrameHandler = std::function<void(const DisplayLink::Frame&)>;
  using Task = std::function<void()>;

  static RenderThread& instance();

  // Makes the surface and starts the thread, which makes the main context;
  // false (logged) when the platform gives no OpenGL 3.3 core context.
  bool start() { return start(Options{}); }
  bool start(const Options& options);
  // Ends the thread: the last purges run, then every context goes.
  void stop();
  bool isRunning() const { return link_.running(); }
  static bool isRenderThread();

  // Render thread only.
  GLContext* mainContext() const { return main_.get(); }
  // GL_RENDERER of the main context (empty before the first start).
  QString rendererName() const;
  double refreshRate() const { return link_.refreshRate(); }

  // Called on the render thread once per frame. Removing a handler from
  // another thread waits for a frame in progress (or the last purges while
  // the thread stops) to end, in every state of the thread, so that the
  // handler's objects can go right after.
  int addFrameHandler(FrameHandler handler);
  void removeFrameHandler(int id);
  int addFrameEndHook(Task hook);
  void removeFrameEndHook(int id);

  bool post(Task task);
  bool invokeAndWait(Task task);
  // One frame now (tests, unpaced runs); waits for it.
  bool runFrameNow();
  std::uint64_t frameCount() const { return link_.frameCount(); }
  bool frameInProgress() const { return link_.inFrame(); }

  // GL deletions handed over by other threads; they run after the next
  // frame or at stop (dropped when the thread never runs again: the context
  // has taken its objects with it).
  void disposeLater(Task deletion);

  // The context of a presenting window, made on first use (render thread).
  GLContext* contextForWindow(QWindow* window);
  // Destroys a window's context on the render thread and waits (main
  // thread, before the window goes).
  void forgetWindow(QWindow* window);

 private:
  RenderThread() = default;
  ~RenderThread();
  using HandlerList = std::vector<std::pair<int, FrameHandler>>;
  using HookList = std::vector<std::pair<int, Task>>;

  bool threadStarted();
  void threadFinishing();
  void frame(const DisplayLink::Frame& frame);
  void runFrameEndWork();
  void makeMainCurrent();
  // Makes sure no later frame sees the entry `id` of the render thread's
  // copies of the lists, and that no frame still runs it (waits for a frame
  // in progress).
  void forgetSeen(int id);

  DisplayLink link_{QStringLiteral("render thread")};
  std::unique_ptr<QOffscreenSurface> surface_;
  std::unique_ptr<GLContext> main_;
  std::map<QWindow*, std::unique_ptr<GLContext>> windows_;  // render thread

  mutable std::mutex listMutex_;  // guards the lists below (held briefly)
  std::shared_ptr<const HandlerList> handlers_ = std::make_shared<HandlerList>();
  std::shared_ptr<const HookList> endHooks_ = std::make_shared<HookList>();
  int nextId_ = 1;
  std::vector<Task> disposals_;
  QString renderer_;

  // The lists as the render thread last took them: a frame only tries the
  // list mutex and, when it is busy, draws with these. A frame, and the last
  // purges at stop, hold `seenMutex_` while they run; removal takes it to
  // drop its entry from the copies, so it waits for them. A frame only
  // tries it and is skipped while a removal holds it (briefly). Recursive:
  // a handler may remove itself or another from inside the frame.
  std::recursive_mutex seenMutex_;
  std::shared_ptr<const HandlerList> handlersSeen_;
  std::shared_ptr<const HookList> endHooksSeen_;
};

}  // namespace gl
