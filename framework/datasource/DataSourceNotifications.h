#pragma once

// Names of the notifications of the data-source tree and its controller.
namespace DataSourceNotifications {

// Posted after every setDataSource and changeNameFrom (object null).
inline constexpr char SourcesChanged[] = "QKDSSourcesChangedNotification";
// Posted when a node that menus show was added, removed or moved (object
// null).
inline constexpr char ReloadContextualMenus[] = "QKDSReloadContextualMenusNotification";
// Object: the DataSourceController; user info {"hardwareLearnMode": bool}.
inline constexpr char HardwareLearnModeChanged[] = "QKDSHardwareLearnModeChangedNotification";
inline constexpr char HardwareLearnModeKey[] = "hardwareLearnMode";
// Posted by an object that wants the controller, synchronously, with itself
// as object. The object must be a DataSourceControllerClient* (passed as
// void*): the controller answers by calling its setDataSourceController
// before the post returns.
inline constexpr char ControllerFinder[] = "QKDSControllerFinderNotification";
// Object: the DataSource* that was pressed (an infrequent float of type 0,
// or of type 5 rising to exactly 1.0).
inline constexpr char ButtonDetect[] = "QKButtonDetectNotification";

}  // namespace DataSourceNotifications
