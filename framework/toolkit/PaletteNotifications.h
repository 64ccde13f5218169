#pragma once

// Names of the notifications palettes post and observe. Objects are passed as
// void*; each name says what its object is.
namespace PaletteNotifications {

// Window menu. Object: the QKWindow* that goes.
inline constexpr char RemoveWindow[] = "QKWMCRemoveWindowNotification";
// Object: the QKPaletteWindow* that wakes.
inline constexpr char AddPaletteWindow[] = "QKWMCAddPaletteWindowNotification";
// Object: the layer's QKWindow*.
inline constexpr char AddLayerWindow[] = "QKWMCAddLayerWindowNotification";
// Object: the plug-in's QKWindow*.
inline constexpr char AddPluginWindow[] = "QKWMCAddPluginWindowNotification";
// No object: the Window menu rebuilds.
inline constexpr char ReloadMenu[] = "QKWMCReloadMenuNotification";
// No object: every fixed palette goes to its default place (a new project).
inline constexpr char PalettesToDefaultLocation[] = "QKWMCPalettesToDefLocNotification";
// Object: a WindowMenuControllerClient*, answered before the post returns.
inline constexpr char FindWindowMenuController[] = "QKWMCFindWinMCNotification";
// Object: the WindowMenuControllerInterface* whose lock changed.
inline constexpr char LockChanged[] = "QKWMCLockChangedNotification";
// No object: the window colours changed.
inline constexpr char RedrawWindows[] = "QKWMCRedrawWindowsNotification";

// Palettes among themselves; the object is the QKWindowContentView* that
// acts (none for the size report).
inline constexpr char WindowFocus[] = "WSOBWindowFocusNotification";
inline constexpr char SizePosReport[] = "WSOBSizePosReport";
inline constexpr char MoveSetup[] = "WSOBMoveSetupNotification";
// User info: "optClick", "cmdClick" (booleans).
inline constexpr char CalculateAffectedArea[] = "WSOBCalculateAffectedAreaNotification";
inline constexpr char Move[] = "WSOBMoveNotification";
// User info: "delta", a QPointF (dx, dy).
inline constexpr char MoveAffected[] = "WSOBMoveAffectedNotification";
inline constexpr char OptClickKey[] = "optClick";
inline constexpr char CmdClickKey[] = "cmdClick";
inline constexpr char DeltaKey[] = "delta";

// Plug-ins. Object: the QKPlugin*.
inline constexpr char NewPlugin[] = "QKPluginNewPluginNotification";
// Object: the QKPlugin*; user info "oldName", "newName".
inline constexpr char PluginRenamed[] = "QKPluginRenamedNotification";

}  // namespace PaletteNotifications
