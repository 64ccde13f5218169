#pragma once

#include <QString>

#include <cstdint>
#include <memory>

class DataSource;
class DataSourceController;

// A root group that the plug-ins of one kind share ("Oscillators",
// "NotesToValue"), each publishing one source under its instance name. The
// group is made by its first member (ticked, type 6, when its members are
// frequent sources that need the tick; else shown but never ticked, type 8)
// and removed with its last one.
class SharedSourceGroup {
 public:
  // Installs `source` at [group, name], making the group when missing.
  static bool join(DataSourceController* controller, const QString& group, const QString& name,
                   std::shared_ptr<DataSource> source, std::int32_t holderType);
  // Moves the member's source, with its subscribers, to the new name.
  static bool rename(DataSourceController* controller, const QString& group, const QString& from,
                     const QString& to);
  // Removes the member's source; the group goes when that leaves it empty.
  static void leave(DataSourceController* controller, const QString& group, const QString& name);
};
