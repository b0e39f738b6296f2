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
};

// Reads "config.ini" beside the executable; a missing file or key gives the
// defaults. "software\" is always put in front of the registry folder.
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
