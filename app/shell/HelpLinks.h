#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

// The Help menu's web pages. Each item first probes, on a worker, the site
// it will open (user defaults "helpWikiURL", "userForumURL", "bugReportURL")
// and acts on the main thread: opens the page, starts the bug report, or
// says the site is unavailable. A click while a probe runs is ignored; an
// item whose address is not set says so.
class HelpLinks {
 public:
  using Opener = std::function<bool(const QUrl&)>;
  static constexpr double kProbeSeconds = 2.0;

  HelpLinks(Opener opener, std::function<void()> beginBugReport);
  ~HelpLinks();
  HelpLinks(const HelpLinks&) = delete;
  HelpLinks& operator=(const HelpLinks&) = delete;

  void helpMenuChosen();
  void fxCommunitySiteChosen();
  void talkToDevsChosen();
  void reportBugChosen();

  bool probing() const { return *probing_; }
  void setProbeSeconds(double seconds) { probeSeconds_ = seconds; }

  static const QString kUnavailableTitle;
  static const QString kUnavailableMessage;
  static const QString kNoAddressTitle;

 private:
  void probeThen(const QString& key, const QString& path, std::function<void(const QUrl&)> act);

  Opener opener_;
  std::function<void()> beginBugReport_;
  double probeSeconds_ = kProbeSeconds;
  // Shared with the probe in flight, which may answer after this is gone.
  std::shared_ptr<bool> probing_ = std::make_shared<bool>(false);
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
