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
};

// A switch of [options]: exactly "0" or "1" once surrounding blanks are
// trimmed; anything else (missing, empty, "yes", "01", "1 ; note") gives
// `defaultValue`.
bool ParseOptionSwitch(u16view text, bool defaultValue);

// Reads the program's "config.ini" (ISystemPaths::ProgramFile); a missing file or key gives the
// defaults. "software\" is always put in front of the registry folder.
// MuteIndicator and MuteSound follow ParseOptionSwitch.
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
