#include "platform/gl/RenderThread.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/TexturePool.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QScreen>
#include <QWindow>

namespace gl {

namespace {
template <class List>
std::shared_ptr<const List> without(const std::shared_ptr<const List>& list, int id) {
  if (!list) return list;
  auto kept = std::make_shared<List>(*list);
  std::erase_if(*kept, [id](const auto& entry) { return entry.first == id; });
  return kept;
}
}  // namespace

RenderThread& RenderThread::instance() {
  static RenderThread thread;
  return thread;
}

RenderThread::~RenderThread() { link_.stop(); }

bool RenderThread::isRenderThread() { return instance().link_.isLinkThread(); }

bool RenderThread::start(const Options& options) {
  if (link_.running()) return true;
  if (!QGuiApplication::instance() || !MainThread::isMainThread()) {
    Log::line(QStringLiteral("\t\terr: the render thread starts from the main thread of the GUI"));
    return false;
  }
  double rate = options.refreshRate;
  if (rate <= 0.0 && QGuiApplication::primaryScreen())
    rate = QGuiApplication::primaryScreen()->refreshRate();
  link_.setRefreshRate(rate);
  link_.setPaced(options.paced);
  link_.setCallback([this](const DisplayLink::Frame& f) { frame(f); });

  // Contexts must go while the GUI still exists, also when nobody stops us.
  static const bool stopsWithTheApplication = [] {
    qAddPostRoutine([] { instance().stop(); });
    return true;
  }();
  Q_UNUSED(stopsWithTheApplication);

  surface_ = std::make_unique<QOffscreenSurface>();
  surface_->setFormat(GLContext::defaultFormat());
  surface_->create();
  const bool started =
      link_.start({[this] { return threadStarted(); }, [this] { threadFinishing(); }});
  if (!started) surface_.reset();
  return started;
}

void RenderThread::stop() {
  link_.stop();
  surface_.reset();
}

bool RenderThread::threadStarted() {
  QString error;
  main_ = GLContext::create(surface_.get(), nullptr, &error);
  if (!main_) {
    Log::line(QStringLiteral("\t\terr: no GL context for the render thread: %1").arg(error));
    return false;
  }
  TexturePool::shared().setMaxTextureSize(main_->maxTextureSize());
  std::lock_guard<std::mutex> lock(listMutex_);
  renderer_ = main_->rendererName();
  return true;
}

void RenderThread::threadFinishing() {
  makeMainCurrent();
  {
    // No frame follows: the last purges may wait for the lists, and for a
    // removal editing the copies.
    std::lock_guard<std::recursive_mutex> seen(seenMutex_);
    {
      std::lock_guard<std::mutex> lock(listMutex_);
      endHooksSeen_ = endHooks_;
    }
    runFrameEndWork();
    handlersSeen_.reset();
    endHooksSeen_.reset();
  }
  windows_.clear();
  makeMainCurrent();
  TexturePool::shared().releaseIdle();
  main_.reset();  // takes every object of the share group with it
  std::lock_guard<std::mutex> lock(listMutex_);
  disposals_.clear();
}

void RenderThread::makeMainCurrent() {
  if (main_) main_->makeCurrent();
}

QString RenderThread::rendererName() const {
  std::lock_guard<std::mutex> lock(listMutex_);
  return renderer_;
}

void RenderThread::frame(const DisplayLink::Frame& frame) {
  // A removal is dropping an entry from the copies: this frame is skipped.
  std::unique_lock<std::recursive_mutex> seen(seenMutex_, std::try_to_lock);
  if (!seen.owns_lock()) return;
  makeMainCurrent();
  if (std::unique_lock<std::mutex> lock(listMutex_, std::try_to_lock); lock.owns_lock())
    handlersSeen_ = handlers_;
  // Held here: a handler may remove itself.
  const std::shared_ptr<const HandlerList> handlers = handlersSeen_;
  if (handlers) {
    for (const auto& entry : *handlers) {
      try {
        entry.second(frame);
      } catch (const std::exception& e) {
        Log::line(QStringLiteral("\t\tcaught exception in displaylink callback: %1").arg(e.what()));
      }
      makeMainCurrent();
    }
  }
  runFrameEndWork();
}

void RenderThread::runFrameEndWork() {
  std::vector<Task> disposals;
  if (std::unique_lock<std::mutex> lock(listMutex_, std::try_to_lock); lock.owns_lock())
    endHooksSeen_ = endHooks_;
  const std::shared_ptr<const HookList> hooks = endHooksSeen_;
  if (hooks) {
    for (const auto& entry : *hooks) {
      try {
        entry.second();
      } catch (const std::exception& e) {
        Log::line(QStringLiteral("\t\tcaught exception after a frame: %1").arg(e.what()));
      }
    }
  }
  makeMainCurrent();
  // Disposals handed over just now wait for the next frame.
  if (std::unique_lock<std::mutex> lock(listMutex_, std::try_to_lock); lock.owns_lock())
    disposals.swap(disposals_);
  for (const Task& deletion : disposals) deletion();
  TexturePool::shared().trim();
}

int RenderThread::addFrameHandler(FrameHandler handler) {
  std::lock_guard<std::mutex> lock(listMutex_);
  auto list = std::make_shared<HandlerList>(*handlers_);
  const int id = nextId_++;
  list->emplace_back(id, std::move(handler));
  handlers_ = std::move(list);
  return id;
}

void RenderThread::removeFrameHandler(int id) {
  {
    std::lock_guard<std::mutex> lock(listMutex_);
    auto list = std::make_shared<HandlerList>(*handlers_);
    std::erase_if(*list, [id](const auto& entry) { return entry.first == id; });
    handlers_ = std::move(list);
  }
  forgetSeen(id);
}

int RenderThread::addFrameEndHook(Task hook) {
  std::lock_guard<std::mutex> lock(listMutex_);
  auto list = std::make_shared<HookList>(*endHooks_);
  const int id = nextId_++;
  list->emplace_back(id, std::move(hook));
  endHooks_ = std::move(list);
  return id;
}

void RenderThread::removeFrameEndHook(int id) {
  {
    std::lock_guard<std::mutex> lock(listMutex_);
    auto list = std::make_shared<HookList>(*endHooks_);
    std::erase_if(*list, [id](const auto& entry) { return entry.first == id; });
    endHooks_ = std::move(list);
  }
  forgetSeen(id);
}

void RenderThread::forgetSeen(int id) {
  // Ids are unique over both lists. The lock waits for a frame in progress,
  // or the last purges of a stopping thread; a frame after it takes the
  // shortened lists. On the render thread inside a frame it is ours already.
  std::lock_guard<std::recursive_mutex> seen(seenMutex_);
  handlersSeen_ = without(handlersSeen_, id);
  endHooksSeen_ = without(endHooksSeen_, id);
}

bool RenderThread::post(Task task) {
  return link_.post([this, task = std::move(task)] {
    makeMainCurrent();
    task();
  });
}

bool RenderThread::invokeAndWait(Task task) {
  if (isRenderThread()) {
    task();
    return true;
  }
  return link_.invokeAndWait([this, &task] {
    makeMainCurrent();
    task();
  });
}

bool RenderThread::runFrameNow() { return link_.frameNow(); }

void RenderThread::disposeLater(Task deletion) {
  std::lock_guard<std::mutex> lock(listMutex_);
  disposals_.push_back(std::move(deletion));
}

GLContext* RenderThread::contextForWindow(QWindow* window) {
  if (!window || !main_) return nullptr;
  auto it = windows_.find(window);
  if (it != windows_.end()) return it->second.get();
  QString error;
  std::unique_ptr<GLContext> context = GLContext::create(window, main_.get(), &error);
  if (!context) {
    Log::limited(QStringLiteral("RenderThread.window"),
                 QStringLiteral("\t\terr: no GL context for a window: %1").arg(error));
    makeMainCurrent();
    return nullptr;
  }
  GLContext* made = context.get();
  windows_.emplace(window, std::move(context));
  return made;
}

void RenderThread::forgetWindow(QWindow* window) {
  auto drop = [this, window] {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    std::unique_ptr<GLContext> context = std::move(it->second);
    windows_.erase(it);
    context.reset();
    makeMainCurrent();
  };
  if (isRenderThread())
    drop();
  else
    link_.invokeAndWait(drop);
}

}  // namespace gl
