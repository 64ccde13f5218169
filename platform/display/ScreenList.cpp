#include "platform/display/ScreenList.h"

#include <QGuiApplication>
#include <QScreen>

#include <mutex>

namespace {
std::mutex& providerMutex() {
  static std::mutex mutex;
  return mutex;
}
ScreenList::Provider& provider() {
  static ScreenList::Provider current;
  return current;
}
}  // namespace

QList<QRect> ScreenList::systemFrames() {
  QList<QRect> frames;
  QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) frames << primary->geometry();
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != primary) frames << screen->geometry();
  return frames;
}

QList<QRect> ScreenList::frames() {
  Provider current;
  {
    std::lock_guard<std::mutex> lock(providerMutex());
    current = provider();
  }
  return current ? current() : systemFrames();
}

void ScreenList::setProvider(Provider newProvider) {
  std::lock_guard<std::mutex> lock(providerMutex());
  provider() = std::move(newProvider);
}
