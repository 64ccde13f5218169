#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "platform/foundation/NotificationCenter.h"

// Asks for the data-source controller: it answers, before this returns, by
// calling the client's setDataSourceController (when there is one).
inline void findDataSourceController(DataSourceControllerClient* client) {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(DataSourceNotifications::ControllerFinder), client);
}
