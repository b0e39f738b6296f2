#include "profile/defaults.h"

#include <cstring>
#include <memory>
#include <string>

#include "common/errors.h"
#include "common/fixed_text.h"
#include "profile/tables.h"

namespace vxm {
namespace {

// Edits the record that the stream holds, in place. A shorter stream is
// first extended with zeros, so nothing is written past its end and the
// handler only changes the fields it names.
template <typename Record, typename Fn>
void EditRecord(TMemoryStream& stream, Fn&& fn) {
    if (stream.size() < sizeof(Record)) stream.resize(sizeof(Record), 0);
    auto record = std::make_unique<Record>();
    std::memcpy(record.get(), stream.data(), sizeof(Record));
    fn(*record);
    std::memcpy(stream.data(), record.get(), sizeof(Record));
}

void SetFunction(TBUTTONFUNCINFO& b, int row) {
    b.FunctionIndex = static_cast<Word>(row);
    b.FunctionType = ButtonFunctionTable[row].FunctionType;
    b.FunctionCode = ButtonFunctionTable[row].FunctionCode;
}

void FiveCpiLevels(TMOUSECONFIGINFO& c) {
    static constexpr Word kCpi[5] = {1000, 2000, 4000, 8200, 16400};
    for (int i = 0; i < 5; ++i) {
        c.CPIState[i].X = c.CPIState[i].Y = c.CPIState[i].Used = 0;
    }
    for (int i = 0; i < 5; ++i) {
        c.CPIState[i].X = c.CPIState[i].Y = kCpi[i];
        c.CPIState[i].Used = 1;
    }
}

// Pointer, wheel, report rate, light and the five CPI levels that the game
// and test profiles share apart from the rate and the light's values.
void CommonSettings(TMOUSECONFIGINFO& c, Word reportRate, Byte breathSpeed, Byte r, Byte g, Byte b) {
    c.VWheelSpeed = 3;
    c.DoubleClickSpeed = 550;
    c.PointerSpeed = 10;
    c.ReportRate = reportRate;
    c.CPILevel = 5;
    c.CurrentCPIIndex = 0;
    c.PointerAcceleration = 0;
    c.LEDConfig.BRIGHT_LEVEL = 2;
    c.LEDConfig.BREATH_SPEED = breathSpeed;
    c.LEDConfig.R = r;
    c.LEDConfig.G = g;
    c.LEDConfig.B = b;
    FiveCpiLevels(c);
    for (int i = 0; i < 5; ++i) c.UseDiffentXY[i] = 1;
}

void GameProfile1(TMouseProfileInfo& p, double now) {
    p.ProfileHeader.FProfileUID.DataTime = now;
    p.ProfileHeader.FFileVersion = 259;
    TMOUSECONFIGINFO& c = p.ConfigInfo;
    c.ButtonCount = 18;
    for (auto& b : c.ButtonFuncInfo) std::memset(&b, 0, offsetof(TBUTTONFUNCINFO, ButtonIndex));
    for (int i = 0; i < kButtonCount; ++i) RestoreFactoryButtonFunction(c.ButtonFuncInfo[i], i);
    CommonSettings(c, 500, 3, 255, 255, 0);
}

}  // namespace

void RestoreFactoryButtonFunction(TBUTTONFUNCINFO& b, int button) {
    static constexpr int kMouseRows[6] = {0, 1, 2, 35, 33, 34};
    if (button < 0 || button >= kButtonCount) throw RangeError("button " + std::to_string(button) + " is out of range 0 to 18");
    b.ButtonIndex = static_cast<Word>(button);
    if (button < 6) {
        SetFunction(b, kMouseRows[button]);
        b.FunctionKind = 1;
    } else if (button < 18) {
        SetFunction(b, kKeyboardKeyFunction);
        b.FunctionKind = 8;
        // Digit keys 1 to 9, then 0, keypad add and keypad subtract.
        static constexpr Word kKeys[12] = {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0x6B, 0x6D};
        b.KeyValue = kKeys[button - 6];
        b.KeyExtended = 0;
    } else {
        b.FunctionIndex = 0;
        b.FunctionKind = 0;
        b.FunctionType = 13;  // its code is left as it was
    }
}

void RestoreGameProfileDefaults(TMemoryStream& stream, int profileIndex, double now) {
    struct Look {
        int cpi;
        Byte r, g, b;
    };
    static constexpr Look kLooks[5] = {{0, 255, 255, 0}, {1, 0, 255, 0}, {2, 0, 0, 255}, {3, 255, 0, 255}, {4, 255, 0, 0}};
    if (profileIndex < 0 || profileIndex >= kProfileCount) throw RangeError("profile index out of range");
    EditRecord<TMouseProfileInfo>(stream, [&](TMouseProfileInfo& p) {
        GameProfile1(p, now);
        const Look& look = kLooks[profileIndex];
        p.ConfigInfo.CurrentCPIIndex = look.cpi;
        p.ConfigInfo.LEDConfig.R = look.r;
        p.ConfigInfo.LEDConfig.G = look.g;
        p.ConfigInfo.LEDConfig.B = look.b;
    });
}

void RestoreTestProfileDefaults(TMemoryStream& stream, double now) {
    if (stream.empty()) return;
    EditRecord<TMouseProfileInfo>(stream, [&](TMouseProfileInfo& p) {
        std::memset(&p, 0, sizeof(p));
        p.ProfileHeader.FProfileUID.DataTime = now;
        p.ProfileHeader.FFileVersion = 259;
        TMOUSECONFIGINFO& c = p.ConfigInfo;
        c.ButtonCount = 19;
        for (int i = 0; i < kButtonCount; ++i) {
            TBUTTONFUNCINFO& b = c.ButtonFuncInfo[i];
            b.ButtonIndex = static_cast<Word>(i);
            if (i < 5) {
                SetFunction(b, i);
                b.FunctionKind = 1;
            } else {
                b.FunctionKind = 11;
                b.FunctionIndex = 14;
                b.FunctionType = 19;
                std::memcpy(b.ReportMask, &ButtonReportCodes[i][1], 3);
            }
        }
        CommonSettings(c, 125, 2, 255, 0, 0);
        p.MacroKeyInfoList.nMacroInfoCount = 0;
    });
}

void RestoreAllSettingDefaults(TMemoryStream& stream, Byte language) {
    EditRecord<TALLGAMESINFO>(stream, [language](TALLGAMESINFO& a) {
        for (auto& e : a.Allgameset) {
            e.SettingFlag = 0;
            e.StoreInFile = 0;
            e.FilePath[0] = u'\0';
        }
        a.CurrentGame = 2;
        a.Allgameset[0].SettingFlag = 1;
        a.CurrentLanguage = language;
    });
}

void RestoreProfileSettingGroupDefaults(TMemoryStream& stream, const TOptionsFromConfigFile& options,
                                        platform::IFileSystem& files, platform::ISystemPaths& paths) {
    // Texts are checked before anything is written: an option too long for
    // its field is refused with an error, never cut or written past the field.
    const u16 folder = GetPersonalDocumentProfilePath(files, paths, options);
    auto group = std::make_unique<TProfileSettingGroup>();
    if (stream.size() < sizeof(TProfileSettingGroup)) stream.resize(sizeof(TProfileSettingGroup), 0);
    std::memcpy(group.get(), stream.data(), sizeof(TProfileSettingGroup));
    for (int i = 0; i < kProfileCount; ++i) {
        const u16 n = ToU16(i + 1);
        TGAMESETTINGINFO& e = group->ProfileSettingList[i];
        e.SettingFlag = 0;
        e.StoreInFile = 0;
        WriteFixedText(e.FileName, options.ProfileNamePrefix + n + u".pfd");
        WriteFixedText(e.KeyPath, options.ProfileRegFolder);
        WriteFixedText(e.FilePath, folder);
        // The folder already ends with "\": the stored path has two before the
        // prefix, as the configuration application expects.
        const u16 macroPath = folder + u"\\" + options.ProfileNamePrefix + n + u"_Macros";
        WriteFixedText(e.MacroPath, macroPath);
        ForceFolder(files, folder);
        ForceFolder(files, macroPath);
    }
    group->CurrentProfileGroup = 0;
    group->ProfileIndexOfProfileGroup[0] = 0;
    group->ProfileIndexOfProfileGroup[1] = 1;
    std::memcpy(stream.data(), group.get(), sizeof(TProfileSettingGroup));
}

void RestoreToDefaultCPISetting(TMouseProfileInfo& profile) {
    static constexpr Word kCpi[4] = {1000, 2000, 4000, 8200};
    TMOUSECONFIGINFO& c = profile.ConfigInfo;
    for (int i = 0; i < 5; ++i) c.CPIState[i].X = c.CPIState[i].Y = c.CPIState[i].Used = 0;
    for (int i = 0; i < 4; ++i) {
        c.CPIState[i].X = c.CPIState[i].Y = kCpi[i];
        c.CPIState[i].Used = 1;
    }
    c.CurrentCPIIndex = 1;
    for (int i = 0; i < 4; ++i) c.UseDiffentXY[i] = 0;
}

void RestoreToDefaultLightAndReportAdvancedSetting(TMouseProfileInfo& profile) {
    TMOUSECONFIGINFO& c = profile.ConfigInfo;
    c.ReportRate = 125;
    c.LEDConfig.BRIGHT_LEVEL = 2;
    c.LEDConfig.BREATH_SPEED = 3;
    c.LEDConfig.R = 255;
    c.LEDConfig.G = 0;
    c.LEDConfig.B = 0;
}

}  // namespace vxm
