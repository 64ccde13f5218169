#pragma once

class DataSourceController;

// An object that finds the controller by posting
// "QKDSControllerFinderNotification" with itself (as this interface) as the
// object; the controller calls setDataSourceController before the post
// returns.
class DataSourceControllerClient {
 public:
  virtual ~DataSourceControllerClient() = default;
  virtual void setDataSourceController(DataSourceController* controller) = 0;
};
