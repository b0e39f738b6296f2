#include "profile/tdm.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "common/fixed_text.h"

namespace vxm {

USAGE_AND_PAGE DeviceUsageAndPage;

namespace {
template <typename T>
std::unique_ptr<T> ZeroRecord() {
    auto p = std::make_unique<T>();
    std::memset(p.get(), 0, sizeof(T));
    return p;
}
}  // namespace

TDM::TDM(ProfilePlatform platform, std::function<std::uint8_t()> factoryLanguage)
    : journal_(platform.registry, platform.files),
      uiProfileAllSettingInfo(journal_.Registry(), journal_.Files()),
      uiProfileGame1(journal_.Registry(), journal_.Files()),
      uiProfileGame2(journal_.Registry(), journal_.Files()),
      uiProfileGame3(journal_.Registry(), journal_.Files()),
      uiProfileGame4(journal_.Registry(), journal_.Files()),
      uiProfileGame5(journal_.Registry(), journal_.Files()),
      uiProfileSettingGroup(journal_.Registry(), journal_.Files()),
      uiProfileDefaultGame(journal_.Registry(), journal_.Files()),
      uiProfileTest(journal_.Registry(), journal_.Files()),
      uiProfileRecordMacroInfo(journal_.Registry(), journal_.Files()),
      FAllProfileSettingInfo(ZeroRecord<TALLGAMESINFO>()),
      FProfileSettingGroup(ZeroRecord<TProfileSettingGroup>()),
      FCurrentProfileInfo(ZeroRecord<TMouseProfileInfo>()),
      FDefaultProfileInfo(ZeroRecord<TMouseProfileInfo>()),
      FTestProfileInfo(ZeroRecord<TMouseProfileInfo>()),
      FRecordMacroInfo(ZeroRecord<TMACROKEYINFO>()),
      platform_(platform),
      factoryLanguage_(std::move(factoryLanguage)) {
    BindDefaults();
    try {
        DataModuleCreate();
    } catch (const std::exception&) {
        // Kept in startupError_ for the monitor to show.
    }
}

void TDM::BindDefaults() {
    TuiProfile* games[5] = {&uiProfileGame1, &uiProfileGame2, &uiProfileGame3, &uiProfileGame4, &uiProfileGame5};
    for (int i = 0; i < 5; ++i) {
        // Always there, placed or not: no operation meets an empty entry,
        // whatever step start-up stopped at.
        FProfileGroup[i] = games[i];
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
    uiProfileAllSettingInfo.OnRestoreToDefault = [this](TMemoryStream& s) {
        RestoreAllSettingDefaults(s, factoryLanguage_ ? factoryLanguage_() : Byte{0});
    };
    uiProfileSettingGroup.RecordSize = sizeof(TProfileSettingGroup);
    uiProfileSettingGroup.OnRestoreToDefault = [this](TMemoryStream& s) {
        RestoreProfileSettingGroupDefaults(s, FOptionsFromConfigFile, journal_.Files(), platform_.paths);
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

void TDM::ResetToCreation() {
    for (TuiProfile* c : {&uiProfileAllSettingInfo, &uiProfileGame1, &uiProfileGame2, &uiProfileGame3, &uiProfileGame4,
                          &uiProfileGame5, &uiProfileSettingGroup, &uiProfileDefaultGame, &uiProfileTest,
                          &uiProfileRecordMacroInfo}) {
        c->Clear();
    }
    std::memset(FAllProfileSettingInfo.get(), 0, sizeof(TALLGAMESINFO));
    std::memset(FProfileSettingGroup.get(), 0, sizeof(TProfileSettingGroup));
    std::memset(FCurrentProfileInfo.get(), 0, sizeof(TMouseProfileInfo));
    std::memset(FDefaultProfileInfo.get(), 0, sizeof(TMouseProfileInfo));
    std::memset(FTestProfileInfo.get(), 0, sizeof(TMouseProfileInfo));
    std::memset(FRecordMacroInfo.get(), 0, sizeof(TMACROKEYINFO));
    std::fill(std::begin(FProfileChanged), std::end(FProfileChanged), false);
    FProfileGroupIndex = 0;
    FProfileIndex = 0;
    FOptionsFromConfigFile = {};
}

void TDM::DataModuleCreate() {
    // A second run starts where a fresh start does: nothing of the earlier
    // run (a short record's tail, a folder set then) leaks into it.
    ResetToCreation();
    startupComplete_ = false;
    startupError_.clear();
    journal_.StartRecording();
    try {
        RunStartup();
    } catch (const std::exception& e) {
        journal_.StopRecording();
        startupError_ = e.what();
        throw;
    }
    journal_.StopRecording();
    startupComplete_ = true;
}

void TDM::RunStartup() {
    FOptionsFromConfigFile = ReadOptionsFromConfigFile(platform_.ini, platform_.paths);
    vxm::DeviceUsageAndPage = {0x0001, 0xFFA0};
    FProfileGroupIndex = 0;

    Place(uiProfileSettingGroup, u"ProfileSettingGroup.pfd");
    uiProfileSettingGroup.WriteRecord(*ZeroRecord<TProfileSettingGroup>());
    LoadGroupRecord();

    Place(uiProfileAllSettingInfo, u"allsettings.pfd");
    uiProfileAllSettingInfo.WriteRecord(*FAllProfileSettingInfo);
    LoadAllSettingsRecord();

    Place(uiProfileRecordMacroInfo, u"RecordRPROFILE.pfd");
    uiProfileRecordMacroInfo.WriteRecord(*FRecordMacroInfo);

    const auto zero = ZeroRecord<TMouseProfileInfo>();
    for (int i = 0; i < kProfileCount; ++i) {
        TuiProfile& p = *FProfileGroup[i];
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
            if (!journal_.Files().FileExists(full)) {
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

u16 TDM::StartupErrorText() const {
    if (startupComplete_) return {};
    u16 text = u"The mouse settings could not be loaded:\n\n" + Utf16(startupError_) + u"\n\n";
    const auto& writes = journal_.Entries();
    if (writes.empty()) {
        text += u"Nothing stored was changed.";
    } else {
        // Defaults written before the error stay: they are what a start over
        // the same data writes as well.
        text += u"Before it stopped, start-up stored:\n";
        constexpr std::size_t kShown = 8;
        for (std::size_t i = 0; i < writes.size() && i < kShown; ++i) text += u"- " + writes[i] + u"\n";
        if (writes.size() > kShown) text += u"- and " + ToU16(static_cast<long long>(writes.size() - kShown)) + u" more\n";
        text += u"Nothing else stored was changed.";
    }
    text += u"\n\nThe monitor keeps running; open the configuration application to repair the settings. "
            u"They are loaded when it next tells the monitor to reload.";
    return text;
}

void TDM::CompleteStartup() {
    if (!startupComplete_) DataModuleCreate();
}

void TDM::RequireStartup() const {
    if (startupComplete_) return;
    throw StoreError("nothing is saved while the stored profile data is not loaded (start-up stopped: " +
                     startupError_ + ")");
}

void TDM::LoadProfileGroupSettingInfoFromRegistry() {
    CompleteStartup();
    LoadGroupRecord();
}

void TDM::LoadAllProfileInfoFromRegistry() {
    CompleteStartup();
    LoadAllSettingsRecord();
}

void TDM::LoadOrRestoreFromRegistry(TuiProfile& component) {
    if (component.LoadStreamFromRegistry()) return;
    component.RestoreToDefault();
    component.SaveStreamToRegistry();
}

void TDM::LoadGroupRecord() {
    LoadOrRestoreFromRegistry(uiProfileSettingGroup);
    uiProfileSettingGroup.ReadRecord(*FProfileSettingGroup);
    SelectGroupProfile();
}

void TDM::LoadAllSettingsRecord() {
    LoadOrRestoreFromRegistry(uiProfileAllSettingInfo);
    uiProfileAllSettingInfo.ReadRecord(*FAllProfileSettingInfo);
}

bool TDM::LoadCurrentProfileInfoFromRegistry() {
    CompleteStartup();
    const bool loaded = Current().LoadStreamFromRegistry();
    Current().ReadRecord(*FCurrentProfileInfo);
    return loaded;
}

bool TDM::SwitchToProfile(int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
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
    RequireStartup();
    SaveBackToCurrentProfileInfo();
    Current().SaveStreamToRegistry();
}

void TDM::SaveCurrentProfileInfoToFile() {
    RequireStartup();
    Current().SaveStreamToFile();
}

void TDM::SaveCurrentProfileInfoToFile(u16view AFile) {
    RequireStartup();
    Current().SaveStreamToFile(AFile);
}

bool TDM::SaveBackToProfileInfo(const TMouseProfileInfo& AProfileInfo, int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    FProfileGroup[AProfileIndex]->WriteRecord(AProfileInfo);
    return true;
}

bool TDM::SaveProfileInfoToRegistry(int AProfileIndex) {
    if (!IsProfileIndexInRange(AProfileIndex)) return false;
    RequireStartup();
    FProfileGroup[AProfileIndex]->SaveStreamToRegistry();
    return true;
}

void TDM::SaveBackAllProfileInfoToRegistry() {
    RequireStartup();
    for (int i = 0; i < kProfileCount; ++i) FProfileGroup[i]->SaveStreamToRegistry();
}

void TDM::SaveBackAllProfileInfoToFile() {
    RequireStartup();
    for (int i = 0; i < kProfileCount; ++i) FProfileGroup[i]->SaveStreamToFile();
}

void TDM::SaveBackAllProfileSettingInfo() {
    RequireStartup();
    FAllProfileSettingInfo->CurrentGame = static_cast<Word>(FProfileIndex);
    uiProfileAllSettingInfo.WriteRecord(*FAllProfileSettingInfo);
    uiProfileAllSettingInfo.SaveStreamToRegistry();
}

void TDM::SaveBackToProfileGroupSettingInfo() { uiProfileSettingGroup.WriteRecord(*FProfileSettingGroup); }

void TDM::SaveProfileGroupSettingInfoToRegistry() {
    RequireStartup();
    SaveBackToProfileGroupSettingInfo();
    uiProfileSettingGroup.SaveStreamToRegistry();
}

void TDM::SaveBackRecordMacroInfoToRegistry(const TMACROKEYINFO& ARecordMacroInfo) {
    RequireStartup();
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
    RequireStartup();
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
    return vxm::GetPersonalDocumentProfilePath(journal_.Files(), platform_.paths, FOptionsFromConfigFile);
}

u16 TDM::GetPersonalDocumentMacroDatabasePath() {
    return vxm::GetPersonalDocumentMacroDatabasePath(journal_.Files(), platform_.paths, FOptionsFromConfigFile);
}

void TDM::SetMuteButton(int button) {
    if (button != kNoMuteButton && (button < 0 || button >= kButtonCount)) {
        throw RangeError("button " + std::to_string(button) + " is out of range 0 to 18");
    }
    TDM(platform_, factoryLanguage_).WriteMuteButton(button);
    DataModuleCreate();
}

void TDM::SetCurrentLanguage(std::uint8_t language) {
    TDM(platform_, factoryLanguage_).WriteCurrentLanguage(language);
    DataModuleCreate();
}

void TDM::WriteMuteButton(int button) {
    RequireStartup();
    // Every profile first: one that is damaged stops the edit before any is written.
    std::vector<int> kept;
    for (int i = 0; i < kProfileCount; ++i) {
        const Byte where = FProfileSettingGroup->ProfileSettingList[i].StoreInFile;
        if (where != 0 && where != 1) continue;  // kept nowhere: nothing to write
        const std::size_t size = FProfileGroup[i]->Stream().size();
        if (size != sizeof(TMouseProfileInfo)) {
            throw StoreError("the stored record of profile " + std::to_string(i + 1) + " (\"" +
                             Utf8(FProfileGroup[i]->FileName()) + "\") holds " + std::to_string(size) +
                             " bytes, not " + std::to_string(sizeof(TMouseProfileInfo)) +
                             ": it is damaged and left as it is; no profile was changed");
        }
        kept.push_back(i);
    }
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (const int i : kept) {
        TuiProfile& p = *FProfileGroup[i];
        p.ReadRecord(*profile);
        AssignMuteButton(*profile, button);
        p.WriteRecord(*profile);
        const TGAMESETTINGINFO& e = FProfileSettingGroup->ProfileSettingList[i];
        if (e.StoreInFile == 0) {
            p.SaveStreamToRegistry();
        } else {
            p.SaveStreamToFile(WithTrailingBackslash(ReadFixedText(e.FilePath)) + ReadFixedText(e.FileName));
        }
    }
}

void TDM::WriteCurrentLanguage(std::uint8_t language) {
    RequireStartup();
    const std::size_t size = uiProfileAllSettingInfo.Stream().size();
    if (size != sizeof(TALLGAMESINFO)) {
        throw StoreError("the stored global settings (\"allsettings.pfd\") hold " + std::to_string(size) +
                         " bytes, not " + std::to_string(sizeof(TALLGAMESINFO)) +
                         ": they are damaged and left as they are");
    }
    auto settings = std::make_unique<TALLGAMESINFO>();
    uiProfileAllSettingInfo.ReadRecord(*settings);
    settings->CurrentLanguage = language;
    uiProfileAllSettingInfo.WriteRecord(*settings);
    uiProfileAllSettingInfo.SaveStreamToRegistry();
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
