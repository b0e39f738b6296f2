#pragma once
// The binary records shared with the configuration application. Each struct is
// the exact little-endian byte image that is stored in the registry or in a
// .pfd file; every padding byte is an explicit member so that it is carried
// unchanged and the layout does not depend on the compiler's ABI.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace vxm {

using Byte = std::uint8_t;
using Word = std::uint16_t;
using Integer = std::int32_t;
using Cardinal = std::uint32_t;

// One 8-byte value seen three ways; 8-aligned so that the record it sits in
// lands at the same offsets on i686, where a bare double aligns to 4.
union alignas(8) TProfileUIDData {
    Byte RawData[8];
    double DataTime;  // days since 1899-12-30 plus the fraction of the day
    double DoubleData;
};

struct TProfileHeader {
    Integer FFileVersion;
    Byte FFileType[8];
    Byte FFileName[44];
    Cardinal FProfileSize;
    Byte Padding60[4];
    TProfileUIDData FProfileUID;
};

struct TFUNCTIONLIST {
    Byte FunctionInfo[800];
};

struct TBUTTONFUNCINFO {
    Byte Opaque0[2];
    Word KeyValue;
    Word KeyExtended;
    Byte Opaque6[1102];
    Word MacroIndex;
    Byte Opaque1110[2946];
    Byte ReportMask[3];
    Byte Opaque4059;
    Word ButtonIndex;
    Word FunctionIndex;
    Byte FunctionKind;
    Byte Padding4065[3];
    Integer FunctionType;
    Integer FunctionCode;
    Byte Opaque4076[4];
};

struct TCPILEVELINFO {
    Word X;
    Word Y;
    Word Used;
    Byte Opaque6[4];
};

struct TLEDCONFIG {
    Byte R;
    Byte G;
    Byte B;
    Byte BRIGHT_LEVEL;
    Byte BREATH_SPEED;
    Byte BREATH_SECOND;
};

struct TSENSORLIFT {
    Byte SensorLift;
};

struct TPROFILE_MACRO_PATH {
    Byte FilePath[1026];
};

inline constexpr int kButtonCount = 19;     // buttons 0 to 18 have a function entry
inline constexpr int kCpiLevelCount = 11;   // CPI levels 0 to 10

struct TMOUSECONFIGINFO {
    TBUTTONFUNCINFO ButtonFuncInfo[kButtonCount];
    TBUTTONFUNCINFO VWheelButtonFuncInfo[2];
    TBUTTONFUNCINFO HWheelButtonFuncInfo[2];
    Word VWheelType;
    Word HWheelType;
    Word VWheelSpeed;
    Word HWheelSpeed;
    Word DoubleClickSpeed;
    Word PointerSpeed;
    Word PointerAcceleration;
    Word UseSystemPointerSpeedSetting;
    Word ReportRate;
    Byte Padding93858[2];
    Integer CurrentCPIIndex;
    Word CurrentCPIX;
    Word CurrentCPIY;
    Word MinCPI;
    Word MaxCPI;
    Word UseDiffentXY[kCpiLevelCount];
    Word UseCPIOnScreenFlyShow;
    TCPILEVELINFO CPIState[kCpiLevelCount];
    Word CPILevel;
    Word AutoSwitchProfileWhenAppRun;
    Byte ApplicationList[10260];
    TLEDCONFIG LEDConfig;
    TSENSORLIFT Sensorlift;
    Byte Padding104277[3];
    Integer ButtonCount;
    TPROFILE_MACRO_PATH ProfilePath;
    TPROFILE_MACRO_PATH MacroPath;
    Integer FireKeySpeed;
    Integer FireKeyCount;
};

struct TMACROKEYINFO {
    Byte MacroList[768];
    Integer MacroListCount;
    Word nAutoAddDelay;
    Word nLoopCount;
    Word nMacroIndex;
    Byte MacroUse;
    Byte Padding779;
    char16_t szMacroName[50];
    Cardinal Version;
    Integer HaveErrors;
    Integer ErrorCount;
};

struct TMACROKEYINFOLIST {
    TMACROKEYINFO MacroInfos[30];
    Word nMacroInfoCount;
    Byte Padding26762[2];
};

struct TMACROINFOLIST_TO_DEVICE {
    Byte MacroInfos[4460];
    Word nMacroInfoCount;
    Byte Padding4462[2];
};

struct TOtherConfig {
    Integer ShowNumLock;
    Integer ShowCapsLock;
    Integer ShowScrollLock;
    Integer ShowLockStatePop;
    Byte HelpFile[4];
    Integer Nologo;
};

struct TMouseProfileInfo {
    TProfileHeader ProfileHeader;
    TFUNCTIONLIST FunctionList;
    TMOUSECONFIGINFO ConfigInfo;
    TFUNCTIONLIST HWheelFunctionList;
    TFUNCTIONLIST VWheelFunctionList;
    TMACROKEYINFOLIST MacroKeyInfoList;
    TMACROINFOLIST_TO_DEVICE MacroInfoToDevice;
    TOtherConfig OtherConfig;
    Byte Padding140068[4];
};

struct THID_CODE_INFO {
    Word nKeyValue1;
    Word nKeyValue2;
    Word nModifier;
};

struct TCOMBOKEYINFO {
    Word nKeyValue1;
    Word nKey1Extended;
    Word nKeyValue2;
    Word nKey2Extended;
    Word nModifier;
    Byte ComboKeyText[62];
};

struct TGAMESETTINGINFO {
    Word SettingFlag;
    char16_t FilePath[1024];
    char16_t KeyPath[1024];
    char16_t FileName[21];
    char16_t MacroPath[1024];
    Byte StoreInFile;
    Byte Padding6189;
};

inline constexpr int kProfileCount = 5;  // profiles 0 to 4
inline constexpr int kGroupCount = 2;    // groups 0 and 1

struct TProfileSettingGroup {
    Integer CurrentProfileGroup;
    Integer ProfileIndexOfProfileGroup[kGroupCount];
    TGAMESETTINGINFO ProfileSettingList[kProfileCount];
    Byte Padding30962[2];
};

struct TALLGAMESINFO {
    TGAMESETTINGINFO Allgameset[kProfileCount];
    Word CurrentGame;
    Byte CurrentLanguage;
    Byte Padding30953;
};

// Byte images: a record is loaded by copying stored bytes over it and saved
// by copying it out. A shorter image fills only the leading bytes; the rest of
// the record keeps what it held.
template <typename Record>
std::size_t LoadRecordImage(Record& record, const Byte* data, std::size_t size) {
    static_assert(std::is_trivially_copyable_v<Record>);
    const std::size_t n = size < sizeof(Record) ? size : sizeof(Record);
    if (n != 0) std::memcpy(&record, data, n);
    return n;
}

template <typename Record>
std::vector<Byte> SaveRecordImage(const Record& record) {
    static_assert(std::is_trivially_copyable_v<Record>);
    std::vector<Byte> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

// Function index of button 0..18 of a profile; a higher number is a range error.
Word ButtonFunctionIndex(const TMouseProfileInfo& profile, int button);

}  // namespace vxm
