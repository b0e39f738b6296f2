#pragma once
// config.ini [options] and the data paths in the user's documents folder.
#include "common/text.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/system_paths.h"

namespace vxm {

struct TOptionsFromConfigFile {
    u16 ProfileRegFolder;
    u16 ProfileFolder;
    u16 ProfileNamePrefix;
    u16 ProfileMacroFolder;
    // The microphone's state on the tray icon and in its hint; a sound when
    // the mouse's button mutes or unmutes.
    bool MuteIndicator = true;
    bool MuteSound = false;
    // Which microphones the toggle acts on: "default", "all", or one
    // endpoint's id or name; blanks around it trimmed, empty gives "default".
    u16 MuteTarget = u"default";
    // The state where the player looks: 0 off, 1 while muted, 2 for two
    // seconds after each toggle.
    int MuteOverlay = 0;
};

// A switch of [options]: exactly "0" or "1" once surrounding blanks are
// trimmed; anything else (missing, empty, "yes", "01", "1 ; note") gives
// `defaultValue`.
bool ParseOptionSwitch(u16view text, bool defaultValue);
// MuteOverlay: exactly "0", "1" or "2" once blanks are trimmed, else 0.
int ParseMuteOverlay(u16view text);

// Reads the program's "config.ini" (ISystemPaths::ProgramFile); a missing file or key gives the
// defaults. "software\" is always put in front of the registry folder.
// MuteIndicator and MuteSound follow ParseOptionSwitch, MuteOverlay
// ParseMuteOverlay.
TOptionsFromConfigFile ReadOptionsFromConfigFile(platform::IIniReader& ini, platform::ISystemPaths& paths);

// Documents folder + ProfileFolder + "\", created (one level) when missing;
// InOutError when it cannot be.
u16 GetPersonalDocumentProfilePath(platform::IFileSystem& files, platform::ISystemPaths& paths,
                                   const TOptionsFromConfigFile& options);
// Profile folder + ProfileMacroFolder + "\MacroSet.MSDB"; both folders are
// created where missing, the file is not touched.
u16 GetPersonalDocumentMacroDatabasePath(platform::IFileSystem& files, platform::ISystemPaths& paths,
                                         const TOptionsFromConfigFile& options);

// Creates one folder level unless it exists; InOutError when that fails.
void ForceFolder(platform::IFileSystem& files, u16view folder);

}  // namespace vxm
