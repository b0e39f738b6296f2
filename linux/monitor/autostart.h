#pragma once
// Whether the monitor starts with the desktop session, and the user's switch
// for it. The switch is the desktops' own: the user's copy of the entry
// "vxmmon.desktop" in $XDG_CONFIG_HOME/autostart, which hides the system's
// entry of that name; "Hidden=true" (or GNOME's
// "X-GNOME-Autostart-enabled=false") in it turns the start off. The session
// managers read it, and so does the user unit (its start condition asks
// `vxmmon --autostart`), so one switch holds for every way it starts.
#include <string>
#include <string_view>

namespace vxm::linuxmon {

inline constexpr char kAutostartEntryName[] = "vxmmon.desktop";

struct AutostartState {
    bool enabled = false;
    std::string entry;  // the entry that decides; empty when there is none
};

// The entry that applies (the user's, else the first of $XDG_CONFIG_DIRS)
// and what it says. No entry at all: off.
AutostartState ReadAutostart();

// Turns the start off (Hidden=true in the user's copy, made when missing,
// every other line of it kept) or on again (the keys that turn it off
// removed; a copy that only said "off" removed, so the system's entry
// applies again). False, with the reason, when the file cannot be written.
bool SetAutostart(bool enabled, std::string& error);

// Whether an entry's text turns the start off: "Hidden=true" or
// "X-GNOME-Autostart-enabled=false" in its [Desktop Entry] group.
bool AutostartEntryHidden(std::string_view text);

}  // namespace vxm::linuxmon
