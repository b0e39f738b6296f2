#include "profile/options.h"

#include "common/errors.h"

namespace vxm {

namespace {
u16view TrimBlanks(u16view text) {
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}
}  // namespace

TOptionsFromConfigFile ReadOptionsFromConfigFile(platform::IIniReader& ini, platform::ISystemPaths& paths) {
    const u16 file = paths.ProgramFile(u"config.ini");
    TOptionsFromConfigFile o;
    // The configuration application reads the same key, doubled prefix included.
    o.ProfileRegFolder = u"software\\" + ini.ReadString(file, u"options", u"ProfileRegFolder", u"software\\zrngmmouse");
    o.ProfileFolder = ini.ReadString(file, u"options", u"profileFolder", u"ZRNProfile");
    o.ProfileNamePrefix = ini.ReadString(file, u"options", u"profilePrefix", u"ZRNProfile");
    o.ProfileMacroFolder = ini.ReadString(file, u"options", u"profileMacroFolder", u"MacroDB");
    o.MuteIndicator = ParseOptionSwitch(ini.ReadString(file, u"options", u"MuteIndicator", u""), true);
    o.MuteSound = ParseOptionSwitch(ini.ReadString(file, u"options", u"MuteSound", u""), false);
    const u16 target = ini.ReadString(file, u"options", u"MuteTarget", u"");
    if (const u16view t = TrimBlanks(target); !t.empty()) o.MuteTarget = u16(t);
    o.MuteOverlay = ParseMuteOverlay(ini.ReadString(file, u"options", u"MuteOverlay", u""));
    return o;
}

int ParseMuteOverlay(u16view text) {
    text = TrimBlanks(text);
    if (text == u"1") return 1;
    if (text == u"2") return 2;
    return 0;
}

bool ParseOptionSwitch(u16view text, bool defaultValue) {
    text = TrimBlanks(text);
    if (text == u"0") return false;
    if (text == u"1") return true;
    return defaultValue;
}

void ForceFolder(platform::IFileSystem& files, u16view folder) {
    if (files.DirectoryExists(folder)) return;
    if (!files.CreateFolder(folder)) throw InOutError("cannot create the folder \"" + Utf8(folder) + "\"");
}

u16 GetPersonalDocumentProfilePath(platform::IFileSystem& files, platform::ISystemPaths& paths,
                                   const TOptionsFromConfigFile& options) {
    const u16 documents = paths.PersonalDocumentsFolder();
    if (documents.empty()) throw InOutError("the documents folder is unknown");
    const u16 folder = WithTrailingBackslash(documents) + options.ProfileFolder + u"\\";
    ForceFolder(files, folder);
    return folder;
}

u16 GetPersonalDocumentMacroDatabasePath(platform::IFileSystem& files, platform::ISystemPaths& paths,
                                         const TOptionsFromConfigFile& options) {
    const u16 profileFolder = GetPersonalDocumentProfilePath(files, paths, options);
    ForceFolder(files, profileFolder + options.ProfileMacroFolder);
    return profileFolder + options.ProfileMacroFolder + u"\\MacroSet.MSDB";
}

}  // namespace vxm
