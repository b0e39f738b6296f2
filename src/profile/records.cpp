#include "profile/records.h"

#include <string>

#include "common/errors.h"

namespace vxm {

// Every reader and writer of the shared format depends on these numbers, so
// they are checked wherever the records are compiled (i686 and x86_64 Windows,
// x86_64 Linux).
#define VXM_AT(type, field, offset) static_assert(offsetof(type, field) == (offset), #type "." #field)
#define VXM_SIZE(type, size) \
    static_assert(sizeof(type) == (size), #type " size");     \
    static_assert(std::is_standard_layout_v<type> && std::is_trivially_copyable_v<type>, #type " layout")

VXM_SIZE(TProfileUIDData, 8);
VXM_SIZE(TProfileHeader, 72);
VXM_AT(TProfileHeader, FFileVersion, 0);
VXM_AT(TProfileHeader, FFileType, 4);
VXM_AT(TProfileHeader, FFileName, 12);
VXM_AT(TProfileHeader, FProfileSize, 56);
VXM_AT(TProfileHeader, FProfileUID, 64);

VXM_SIZE(TFUNCTIONLIST, 800);

VXM_SIZE(TBUTTONFUNCINFO, 4080);
VXM_AT(TBUTTONFUNCINFO, KeyValue, 2);
VXM_AT(TBUTTONFUNCINFO, KeyExtended, 4);
VXM_AT(TBUTTONFUNCINFO, MacroIndex, 1108);
VXM_AT(TBUTTONFUNCINFO, ReportMask, 4056);
VXM_AT(TBUTTONFUNCINFO, ButtonIndex, 4060);
VXM_AT(TBUTTONFUNCINFO, FunctionIndex, 4062);
VXM_AT(TBUTTONFUNCINFO, FunctionKind, 4064);
VXM_AT(TBUTTONFUNCINFO, FunctionType, 4068);
VXM_AT(TBUTTONFUNCINFO, FunctionCode, 4072);

VXM_SIZE(TCPILEVELINFO, 10);
VXM_AT(TCPILEVELINFO, X, 0);
VXM_AT(TCPILEVELINFO, Y, 2);
VXM_AT(TCPILEVELINFO, Used, 4);
VXM_SIZE(TLEDCONFIG, 6);
VXM_AT(TLEDCONFIG, R, 0);
VXM_AT(TLEDCONFIG, G, 1);
VXM_AT(TLEDCONFIG, B, 2);
VXM_AT(TLEDCONFIG, BRIGHT_LEVEL, 3);
VXM_AT(TLEDCONFIG, BREATH_SPEED, 4);
VXM_AT(TLEDCONFIG, BREATH_SECOND, 5);
VXM_SIZE(TSENSORLIFT, 1);
VXM_SIZE(TPROFILE_MACRO_PATH, 1026);

VXM_SIZE(TMOUSECONFIGINFO, 106344);
VXM_AT(TMOUSECONFIGINFO, ButtonFuncInfo, 0);
VXM_AT(TMOUSECONFIGINFO, VWheelButtonFuncInfo, 77520);
VXM_AT(TMOUSECONFIGINFO, HWheelButtonFuncInfo, 85680);
VXM_AT(TMOUSECONFIGINFO, VWheelType, 93840);
VXM_AT(TMOUSECONFIGINFO, HWheelType, 93842);
VXM_AT(TMOUSECONFIGINFO, VWheelSpeed, 93844);
VXM_AT(TMOUSECONFIGINFO, HWheelSpeed, 93846);
VXM_AT(TMOUSECONFIGINFO, DoubleClickSpeed, 93848);
VXM_AT(TMOUSECONFIGINFO, PointerSpeed, 93850);
VXM_AT(TMOUSECONFIGINFO, PointerAcceleration, 93852);
VXM_AT(TMOUSECONFIGINFO, UseSystemPointerSpeedSetting, 93854);
VXM_AT(TMOUSECONFIGINFO, ReportRate, 93856);
VXM_AT(TMOUSECONFIGINFO, CurrentCPIIndex, 93860);
VXM_AT(TMOUSECONFIGINFO, CurrentCPIX, 93864);
VXM_AT(TMOUSECONFIGINFO, CurrentCPIY, 93866);
VXM_AT(TMOUSECONFIGINFO, MinCPI, 93868);
VXM_AT(TMOUSECONFIGINFO, MaxCPI, 93870);
VXM_AT(TMOUSECONFIGINFO, UseDiffentXY, 93872);
VXM_AT(TMOUSECONFIGINFO, UseCPIOnScreenFlyShow, 93894);
VXM_AT(TMOUSECONFIGINFO, CPIState, 93896);
VXM_AT(TMOUSECONFIGINFO, CPILevel, 94006);
VXM_AT(TMOUSECONFIGINFO, AutoSwitchProfileWhenAppRun, 94008);
VXM_AT(TMOUSECONFIGINFO, ApplicationList, 94010);
VXM_AT(TMOUSECONFIGINFO, LEDConfig, 104270);
VXM_AT(TMOUSECONFIGINFO, Sensorlift, 104276);
VXM_AT(TMOUSECONFIGINFO, ButtonCount, 104280);
VXM_AT(TMOUSECONFIGINFO, ProfilePath, 104284);
VXM_AT(TMOUSECONFIGINFO, MacroPath, 105310);
VXM_AT(TMOUSECONFIGINFO, FireKeySpeed, 106336);
VXM_AT(TMOUSECONFIGINFO, FireKeyCount, 106340);

VXM_SIZE(TMACROKEYINFO, 892);
VXM_AT(TMACROKEYINFO, MacroList, 0);
VXM_AT(TMACROKEYINFO, MacroListCount, 768);
VXM_AT(TMACROKEYINFO, nAutoAddDelay, 772);
VXM_AT(TMACROKEYINFO, nLoopCount, 774);
VXM_AT(TMACROKEYINFO, nMacroIndex, 776);
VXM_AT(TMACROKEYINFO, MacroUse, 778);
VXM_AT(TMACROKEYINFO, szMacroName, 780);
VXM_AT(TMACROKEYINFO, Version, 880);
VXM_AT(TMACROKEYINFO, HaveErrors, 884);
VXM_AT(TMACROKEYINFO, ErrorCount, 888);

VXM_SIZE(TMACROKEYINFOLIST, 26764);
VXM_AT(TMACROKEYINFOLIST, nMacroInfoCount, 26760);
VXM_SIZE(TMACROINFOLIST_TO_DEVICE, 4464);
VXM_AT(TMACROINFOLIST_TO_DEVICE, nMacroInfoCount, 4460);

VXM_SIZE(TOtherConfig, 24);
VXM_AT(TOtherConfig, ShowNumLock, 0);
VXM_AT(TOtherConfig, ShowCapsLock, 4);
VXM_AT(TOtherConfig, ShowScrollLock, 8);
VXM_AT(TOtherConfig, ShowLockStatePop, 12);
VXM_AT(TOtherConfig, HelpFile, 16);
VXM_AT(TOtherConfig, Nologo, 20);

VXM_SIZE(TMouseProfileInfo, 140072);
VXM_AT(TMouseProfileInfo, ProfileHeader, 0);
VXM_AT(TMouseProfileInfo, FunctionList, 72);
VXM_AT(TMouseProfileInfo, ConfigInfo, 872);
VXM_AT(TMouseProfileInfo, HWheelFunctionList, 107216);
VXM_AT(TMouseProfileInfo, VWheelFunctionList, 108016);
VXM_AT(TMouseProfileInfo, MacroKeyInfoList, 108816);
VXM_AT(TMouseProfileInfo, MacroInfoToDevice, 135580);
VXM_AT(TMouseProfileInfo, OtherConfig, 140044);
static_assert(alignof(TMouseProfileInfo) == 8, "profile record aligns to 8");

VXM_SIZE(THID_CODE_INFO, 6);
VXM_AT(THID_CODE_INFO, nKeyValue2, 2);
VXM_AT(THID_CODE_INFO, nModifier, 4);
VXM_SIZE(TCOMBOKEYINFO, 72);
VXM_AT(TCOMBOKEYINFO, nKey1Extended, 2);
VXM_AT(TCOMBOKEYINFO, nKeyValue2, 4);
VXM_AT(TCOMBOKEYINFO, nKey2Extended, 6);
VXM_AT(TCOMBOKEYINFO, nModifier, 8);
VXM_AT(TCOMBOKEYINFO, ComboKeyText, 10);

VXM_SIZE(TGAMESETTINGINFO, 6190);
VXM_AT(TGAMESETTINGINFO, SettingFlag, 0);
VXM_AT(TGAMESETTINGINFO, FilePath, 2);
VXM_AT(TGAMESETTINGINFO, KeyPath, 2050);
VXM_AT(TGAMESETTINGINFO, FileName, 4098);
VXM_AT(TGAMESETTINGINFO, MacroPath, 4140);
VXM_AT(TGAMESETTINGINFO, StoreInFile, 6188);

VXM_SIZE(TProfileSettingGroup, 30964);
VXM_AT(TProfileSettingGroup, CurrentProfileGroup, 0);
VXM_AT(TProfileSettingGroup, ProfileIndexOfProfileGroup, 4);
VXM_AT(TProfileSettingGroup, ProfileSettingList, 12);

VXM_SIZE(TALLGAMESINFO, 30954);
VXM_AT(TALLGAMESINFO, Allgameset, 0);
VXM_AT(TALLGAMESINFO, CurrentGame, 30950);
VXM_AT(TALLGAMESINFO, CurrentLanguage, 30952);

#undef VXM_AT
#undef VXM_SIZE

Word ButtonFunctionIndex(const TMouseProfileInfo& profile, int button) {
    if (button < 0 || button >= kButtonCount) {
        throw RangeError("button " + std::to_string(button) + " is out of range 0 to 18");
    }
    return profile.ConfigInfo.ButtonFuncInfo[button].FunctionIndex;
}

}  // namespace vxm
