#include "app/shell/HelpLinks.h"

#include "app/shell/InternetCheck.h"
#include "platform/foundation/Alert.h"
#include "platform/net/Reachability.h"

const QString HelpLinks::kUnavailableTitle =
    QStringLiteral("The compu-global-hyper-mega-net is unavailable...");
const QString HelpLinks::kUnavailableMessage = QStringLiteral(
    "Either your computer isn't connected to the internet, or our server's down.  Until one of "
    "these situations is resolved, help is not available- sorry!");
const QString HelpLinks::kNoAddressTitle = QStringLiteral("No Address Set");

HelpLinks::HelpLinks(Opener opener, std::function<void()> beginBugReport)
    : opener_(std::move(opener)), beginBugReport_(std::move(beginBugReport)) {}

HelpLinks::~HelpLinks() { *alive_ = false; }

void HelpLinks::helpMenuChosen() {
  probeThen(QStringLiteral("helpWikiURL"), QStringLiteral("/index.php/ZAPH"),
            [this](const QUrl& page) { opener_(page); });
}

void HelpLinks::fxCommunitySiteChosen() {
  probeThen(QStringLiteral("helpWikiURL"), QStringLiteral("/index.php/Quartz_Composer"),
            [this](const QUrl& page) { opener_(page); });
}

void HelpLinks::talkToDevsChosen() {
  probeThen(QStringLiteral("userForumURL"), QString(), [this](const QUrl& page) { opener_(page); });
}

void HelpLinks::reportBugChosen() {
  probeThen(QStringLiteral("bugReportURL"), QString(), [this](const QUrl&) {
    if (beginBugReport_) beginBugReport_();
  });
}

void HelpLinks::probeThen(const QString& key, const QString& path,
                          std::function<void(const QUrl&)> act) {
  if (*probing_) return;
  const QString site = InternetCheck::configuredAddress(key);
  if (site.isEmpty()) {
    Alert::show(
        kNoAddressTitle,
        QStringLiteral("No web address is set for this page (user default \"%1\").").arg(key),
        {QStringLiteral("OK")});
    return;
  }
  *probing_ = true;
  const QUrl page(site + path);
  Reachability::probeLater(
      site,
      [probing = probing_, alive = alive_, page, act = std::move(act)](bool reachable) {
        *probing = false;
        if (!*alive) return;
        if (reachable)
          act(page);
        else
          Alert::show(kUnavailableTitle, kUnavailableMessage, {QStringLiteral("OK")});
      },
      probeSeconds_);
}
