#pragma once
// Factory contents of the records, written into a component's stream.
#include "profile/options.h"
#include "profile/profile_store.h"
#include "profile/records.h"

namespace vxm {

// Game profiles 1 to 5 (index 0 to 4): one button layout, their own colour
// and active CPI level.
void RestoreGameProfileDefaults(TMemoryStream& stream, int profileIndex, double now);
void RestoreTestProfileDefaults(TMemoryStream& stream, double now);
// `language`: CurrentLanguage, the first language (0) at the factory.
void RestoreAllSettingDefaults(TMemoryStream& stream, Byte language = 0);
// Needs the options and creates the profile and macro folders.
void RestoreProfileSettingGroupDefaults(TMemoryStream& stream, const TOptionsFromConfigFile& options,
                                        platform::IFileSystem& files, platform::ISystemPaths& paths);

// The function button `button` (0 to 18) has in the game profiles' factory
// layout: its row, kind and, for a key, the key; nothing else of the entry.
void RestoreFactoryButtonFunction(TBUTTONFUNCINFO& b, int button);

void RestoreToDefaultCPISetting(TMouseProfileInfo& profile);
void RestoreToDefaultLightAndReportAdvancedSetting(TMouseProfileInfo& profile);

}  // namespace vxm
