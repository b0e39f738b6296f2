#include "profile/tdm.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "common/fixed_text.h"

namespace vxm {

app::USAGE_AND_PAGE DeviceUsageAndPage;

namespace {
template <typename T>
std::unique_ptr<T> ZeroRecord() {
    auto p = std::make_unique<T>();
    std::memset(p.get(), 0, sizeof(T));
    return p;
}
}  // namespace

TDM::TDM(ProfilePlatform platform)
    : uiProfileAllSettingInfo(platform.registry, platform.files),
      uiProfileGame1(platform.registry, platform.files),
      uiProfileGame2(platform.registry, platform.files),
      uiProfileGame3(platform.registry, platform.files),
      uiProfileGame4(platform.registry, platform.files),
      uiProfileGame5(platform.registry, platform.files),
      uiProfileSettingGroup(platform.registry, platform.files),
      uiProfileDefaultGame(platform.registry, platform.files),
      uiProfileTest(platform.registry, platform.files),
      uiProfileRecordMacroInfo(platform.registry, platform.files),
      FAllProfileSettingInfo(ZeroRecord<TALLGAMESINFO>()),
      FProfileSettingGroup(ZeroRecord<TProfileSettingGroup>()),
      FCurrentProfileInfo(ZeroRecord<TMouseProfileInfo>()),
      FDefaultProfileInfo(ZeroRecord<TMouseProfileInfo>()),
      FTestProfileInfo(ZeroRecord<TMouseProfileInfo>()),
      FRecordMacroInfo(ZeroRecord<TMACROKEYINFO>()),
      platform_(platform) {
    BindDefaults();
    try {
        DataModuleCreate();
    } catch (const std::exception& e) {
        startupError_ = e.what();
    }
}

void TDM::BindDefaults() {
    TuiProfile* games[5] = {&uiProfileGame1, &uiProfileGame2, &uiProfileGame3, &uiProfileGame4, &uiProfileGame5};
    for (int i = 0; i < 5; ++i) {
        games[i]->RecordSize = sizeof(TMouseProfileInfo);
        games[i]->OnRestoreToDefault = [this, i](TMemoryStream& s) {
            RestoreGameProfileDefaults(s, i, platform_.clock.LocalDateTime());
        };
    }
    uiProfileDefaultGame.RecordSize = sizeof(TMouseProfileInfo);
    uiProfileDefaultGame.OnRestoreToDefault = [this](TMemoryStream& s) {
        RestoreGameProfileDefaults(s, 0, platform_.clock.LocalDateTime());
    };
    uiProfileTest.RecordSize = sizeof(TMouseProfileInfo);
    uiProfileTest.OnRestoreToDefault = [this](TMemoryStream& s) {
        RestoreTestProfileDefaults(s, platform_.clock.LocalDateTime());
    };
    uiProfileAllSettingInfo.RecordSize = sizeof(TALLGAMESINFO);
    uiProfileAllSettingInfo.OnRestoreToDefault = [](TMemoryStream& s) { RestoreAllSettingDefaults(s); };
    uiProfileSettingGroup.RecordSize = sizeof(TProfileSettingGroup);
    uiProfileSettingGroup.OnRestoreToDefault = [this](TMemoryStream& s) {
        RestoreProfileSettingGroupDefaults(s, FOptionsFromConfigFile, platform_.files, platform_.paths);
    };
    uiProfileRecordMacroInfo.RecordSize = sizeof(TMACROKEYINFO);
}

void TDM::Place(TuiProfile& component, u16view fileName) {
    component.SetRootKey(platform::RegRoot::CurrentUser);
    component.SetFileName(fileName);
    component.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
}

int TDM::CheckedProfile(int index) {
    if (!IsProfileIndexInRange(index)) {
        throw RangeError("profile index " + std::to_string(index) + " is out of range 0 to 4");
    }
    return index;
}

void TDM::SelectGroupProfile() {
    FProfileGroupIndex = FProfileSettingGroup->CurrentProfileGroup;
    if (!IsProfileGroupIndexInRange(FProfileGroupIndex)) {
        throw RangeError("profile group " + std::to_string(FProfileGroupIndex) + " is out of range 0 to 1");
    }
    FProfileIndex = CheckedProfile(FProfileSettingGroup->ProfileIndexOfProfileGroup[FProfileGroupIndex]);
}

void TDM::DataModuleCreate() {
    FOptionsFromConfigFile = ReadOptionsFromConfigFile(platform_.ini, platform_.paths);
    vxm::DeviceUsageAndPage = {0x0001, 0xFFA0};
    FProfileGroupIndex = 0;

    Place(uiProfileSettingGroup, u"ProfileSettingGroup.pfd");
    uiProfileSettingGroup.WriteRecord(*ZeroRecord<TProfileSettingGroup>());
    LoadProfileGroupSettingInfoFromRegistry();

    Place(uiProfileAllSettingInfo, u"allsettings.pfd");
    uiProfileAllSettingInfo.WriteRecord(*FAllProfileSettingInfo);
    LoadAllProfileInfoFromRegistry();

    Place(uiProfileRecordMacroInfo, u"RecordRPROFILE.pfd");
    uiProfileRecordMacroInfo.WriteRecord(*FRecordMacroInfo);

    TuiProfile* games[5] = {&uiProfileGame1, &uiProfileGame2, &uiProfileGame3, &uiProfileGame4, &uiProfileGame5};
    const auto zero = ZeroRecord<TMouseProfileInfo>();
    for (int i = 0; i < kProfileCount; ++i) {
        FProfileGroup[i] = games[i];
        TuiProfile& p = *games[i];
        const TGAMESETTINGINFO& e = FProfileSettingGroup->ProfileSettingList[i];
        p.SetRootKey(platform::RegRoot::CurrentUser);
        p.SetFileName(ReadFixedText(e.FileName));
        p.SetFilePath(ReadFixedText(e.FilePath));
        p.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
        p.WriteRecord(*zero);
        if (e.StoreInFile == 0) {
            if (!p.LoadStreamFromRegistry()) p.RestoreToDefault();
        } else if (e.StoreInFile == 1) {
            const u16 full = WithTrailingBackslash(ReadFixedText(e.FilePath)) + ReadFixedText(e.FileName);
            if (!platform_.files.FileExists(full)) {
                p.RestoreToDefault();
                p.SaveStreamToFile(full);
            } else if (!p.LoadStreamFromFile(full)) {
                p.RestoreToDefault();
                p.SaveStreamToFile();
            }
        }
    }
    SwitchToProfile(FAllProfileSettingInfo->CurrentGame);
}

void TDM::LoadProfileGroupSettingInfoFromRegistry() {
    if (!uiProfileSettingGroup.LoadStreamFromRegistry()) {
        uiProfileSettingGroup.RestoreToDefault();
        uiProfileSettingGroup.SaveStreamToRegistry();
    }
    uiProfileSettingGroup.ReadRecord(*FProfileSettingGroup);
    SelectGroupProfile();
}

void TDM::LoadAllProfileInfoFromRegistry() {
    if (!uiProfileAllSettingInfo.LoadStreamFromRegistry()) {
        uiProfileAllSettingInfo.RestoreToDefault();
        uiProfileAllSettingInfo.SaveStreamToRegistry();
    }
    uiProfileAllSettingInfo.ReadRecord(*FAllProfileSettingInfo);
}

bool TDM::LoadCurrentProfileInfoFromRegistry() {
    const bool loaded = Current().LoadStreamFromRegistry();
    Current().ReadRecord(*FCurrentProfileInfo);
    return loaded;
}

bool TDM::SwitchToProfile(int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex) || !FProfileGroup[AProfileIndex]) return false;
    FProfileIndex = AProfileIndex;
    Current().ReadRecord(*FCurrentProfileInfo);
    FAllProfileSettingInfo->CurrentGame = static_cast<Word>(AProfileIndex);
    return true;
}

bool TDM::SwitchToProfileGroup(int AProfileGroupIndex) {
    if (!IsProfileGroupIndexInRange(AProfileGroupIndex)) return false;
    FProfileSettingGroup->CurrentProfileGroup = AProfileGroupIndex;
    FProfileGroupIndex = AProfileGroupIndex;
    const int profile = CheckedProfile(FProfileSettingGroup->ProfileIndexOfProfileGroup[AProfileGroupIndex]);
    FProfileIndex = profile;
    return SwitchToProfile(profile);
}

bool TDM::ReadCurrentProfileInfo() {
    Current().ReadRecord(*FCurrentProfileInfo);
    return true;
}

bool TDM::ReadProfileInfo(TMouseProfileInfo& AProfileInfo, int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    FProfileGroup[AProfileIndex]->ReadRecord(AProfileInfo);
    return true;
}

bool TDM::LoadProfileInfoFromRegistry(int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    return FProfileGroup[AProfileIndex]->LoadStreamFromRegistry();
}

bool TDM::LoadCurrentProfileInfoFromFile(u16view AFile) {
    const bool loaded = Current().LoadStreamFromFile(AFile);
    Current().ReadRecord(*FCurrentProfileInfo);
    return loaded;
}

void TDM::SaveBackToCurrentProfileInfo() {
    Current().WriteRecord(*FCurrentProfileInfo);
    FProfileChanged[FProfileIndex] = true;
}

void TDM::SaveCurrentProfileInfoToRegistry() {
    SaveBackToCurrentProfileInfo();
    Current().SaveStreamToRegistry();
}

void TDM::SaveCurrentProfileInfoToFile() { Current().SaveStreamToFile(); }
void TDM::SaveCurrentProfileInfoToFile(u16view AFile) { Current().SaveStreamToFile(AFile); }

bool TDM::SaveBackToProfileInfo(const TMouseProfileInfo& AProfileInfo, int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    FProfileGroup[AProfileIndex]->WriteRecord(AProfileInfo);
    return true;
}

bool TDM::SaveProfileInfoToRegistry(int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    FProfileGroup[AProfileIndex]->SaveStreamToRegistry();
    return true;
}

void TDM::SaveBackAllProfileInfoToRegistry() {
    for (int i = 0; i < kProfileCount; ++i) FProfileGroup[i]->SaveStreamToRegistry();
}

void TDM::SaveBackAllProfileInfoToFile() {
    for (int i = 0; i < kProfileCount; ++i) FProfileGroup[i]->SaveStreamToFile();
}

void TDM::SaveBackAllProfileSettingInfo() {
    FAllProfileSettingInfo->CurrentGame = static_cast<Word>(FProfileIndex);
    uiProfileAllSettingInfo.WriteRecord(*FAllProfileSettingInfo);
    uiProfileAllSettingInfo.SaveStreamToRegistry();
}

void TDM::SaveBackToProfileGroupSettingInfo() { uiProfileSettingGroup.WriteRecord(*FProfileSettingGroup); }

void TDM::SaveProfileGroupSettingInfoToRegistry() {
    SaveBackToProfileGroupSettingInfo();
    uiProfileSettingGroup.SaveStreamToRegistry();
}

void TDM::SaveBackRecordMacroInfoToRegistry(const TMACROKEYINFO& ARecordMacroInfo) {
    uiProfileRecordMacroInfo.WriteRecord(ARecordMacroInfo);
    uiProfileRecordMacroInfo.SaveStreamToRegistry();
}

void TDM::LoadRecordMacroInfoFromRegistry() {
    uiProfileRecordMacroInfo.LoadStreamFromRegistry();
    uiProfileRecordMacroInfo.ReadRecord(*FRecordMacroInfo);
}

void TDM::RestoreCurrentProfileInfoToDefault() {
    Current().RestoreToDefault();
    Current().ReadRecord(*FCurrentProfileInfo);
    FProfileChanged[FProfileIndex] = true;
}

void TDM::RestoreAllProfileInfoToDefault() {
    for (int i = 0; i < kProfileCount; ++i) {
        FProfileGroup[i]->RestoreToDefault();
        FProfileChanged[i] = true;
    }
    Current().ReadRecord(*FCurrentProfileInfo);
}

bool TDM::RestoreProfileInfoToDefault(int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    FProfileGroup[AProfileIndex]->RestoreToDefault();
    FProfileChanged[AProfileIndex] = true;
    return true;
}

bool TDM::RestoreProfileGroupToDefault(int AProfileGroupIndex) {
    if (!IsProfileGroupIndexInRange(AProfileGroupIndex)) return false;
    const int profile = CheckedProfile(FProfileSettingGroup->ProfileIndexOfProfileGroup[AProfileGroupIndex]);
    if (profile == FProfileIndex) {
        RestoreCurrentProfileInfoToDefault();
    } else {
        FProfileGroup[profile]->RestoreToDefault();
    }
    return true;
}

void TDM::RestoreProfileSettingGroupToDefault() {
    uiProfileSettingGroup.RestoreToDefault();
    uiProfileSettingGroup.SaveStreamToRegistry();
}

void TDM::SetProfileChanged(int AIndex, bool AIsChanged) {
    if (IsProfileIndexInRange(AIndex)) FProfileChanged[AIndex] = AIsChanged;
}

bool TDM::IsProfileChanged(int AIndex) const { return IsProfileIndexInRange(AIndex) && FProfileChanged[AIndex]; }

bool TDM::ChangeCurrentProfileFileNameAndPath(u16view AProfileFilePath) {
    u16 folder, name;
    SplitPath(AProfileFilePath, folder, name);
    Current().SetFileName(name);
    Current().SetFilePath(folder);
    TGAMESETTINGINFO& e = FProfileSettingGroup->ProfileSettingList[FProfileIndex];
    WriteFixedTextCut(e.FileName, name);
    WriteFixedTextCut(e.FilePath, folder);
    return true;
}

std::vector<int> TDM::GetAllProfilesMacroIndexList() {
    std::vector<int> list;
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < kProfileCount; ++p) {
        std::memset(profile.get(), 0, sizeof(TMouseProfileInfo));
        FProfileGroup[p]->ReadRecord(*profile);
        // A stored count is data from outside: never past the 19 entries.
        const int count = std::clamp<int>(profile->ConfigInfo.ButtonCount, 0, kButtonCount);
        for (int i = 0; i < count; ++i) {
            const TBUTTONFUNCINFO& b = profile->ConfigInfo.ButtonFuncInfo[i];
            if (b.FunctionKind != 4) continue;
            if (std::find(list.begin(), list.end(), b.MacroIndex) == list.end()) list.push_back(b.MacroIndex);
        }
    }
    return list;
}

u16 TDM::GetPersonalDocumentProfilePath() {
    return vxm::GetPersonalDocumentProfilePath(platform_.files, platform_.paths, FOptionsFromConfigFile);
}

u16 TDM::GetPersonalDocumentMacroDatabasePath() {
    return vxm::GetPersonalDocumentMacroDatabasePath(platform_.files, platform_.paths, FOptionsFromConfigFile);
}

void TDM::InitTestDefaultValue() {
    Place(uiProfileTest, u"Q7310ProfileTest.pfd");
    uiProfileTest.WriteRecord(*FTestProfileInfo);
    uiProfileTest.RestoreToDefault();
    uiProfileTest.ReadRecord(*FTestProfileInfo);
    Place(uiProfileDefaultGame, u"Q7310ProfileDef.pfd");
    uiProfileDefaultGame.WriteRecord(*FDefaultProfileInfo);
    uiProfileDefaultGame.RestoreToDefault();
    uiProfileDefaultGame.ReadRecord(*FDefaultProfileInfo);
}

}  // namespace vxm
