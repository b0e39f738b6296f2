#pragma once
// The window messages between the monitor and its configuration application,
// and the names by which each finds the other.
namespace vxm::app {

inline constexpr unsigned kMsgReloadProfiles = 7035;   // from the configuration application
inline constexpr unsigned kMsgMonitorExiting = 7036;   // to it
inline constexpr unsigned kMsgReloadSettings = 7037;   // from it
inline constexpr unsigned kMsgProfileSwitched = 7040;  // to it
inline constexpr unsigned kMsgDeviceValue = 7042;      // to it
inline constexpr unsigned ButtonEventMessage = 7524;   // to the monitor itself
// To the monitor itself, from the audio system's thread: the microphone's
// endpoint reported a change; the main thread reads its state.
inline constexpr unsigned kMsgMicrophoneChanged = 7525;
// 7524's wParam: a button index 0 to 18, or a profile switch to 0 to 4 as
// kFirstProfileEvent + the profile.
inline constexpr unsigned kFirstProfileEvent = 21;

inline constexpr char16_t kConfigWindowClass[] = u"TVXMCFGMAIN";
inline constexpr char16_t kConfigExecutable[] = u"VXMCFG.EXE";
// The monitor's window class, also the name of its single-instance mutex.
inline constexpr char16_t kMonitorWindowClass[] = u"TVXMMONMAIN";

}  // namespace vxm::app
