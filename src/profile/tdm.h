#pragma once
// TDM: owns every profile record of the running program, loads them at
// start-up (factory defaults where missing) and keeps one profile current.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "profile/defaults.h"
#include "profile/mute_button.h"
#include "profile/options.h"
#include "profile/profile_settings.h"
#include "profile/profile_store.h"
#include "profile/records.h"
#include "profile/store_journal.h"

namespace vxm {

struct ProfilePlatform {
    platform::IRegistry& registry;
    platform::IFileSystem& files;
    platform::IIniReader& ini;
    platform::ISystemPaths& paths;
    platform::IClock& clock;
};

// The program-wide selector of the mouse's vendor collection.
extern USAGE_AND_PAGE DeviceUsageAndPage;

class TDM final : public IProfileSettings {
public:
    // Runs the start-up sequence. A range or store error stops it where it
    // happened: the error is kept in StartupError(), with what start-up had
    // stored before it in StartupWrites(). Until a later reload runs the
    // sequence to its end, the operations that save refuse with a StoreError:
    // the stored data is what the user has to repair, and is never written
    // over from records that could not be loaded.
    // `factoryLanguage` (when given) chooses CurrentLanguage when the global
    // settings get their factory defaults; without it they get the factory's.
    explicit TDM(ProfilePlatform platform, std::function<std::uint8_t()> factoryLanguage = {});
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    bool StartupComplete() const { return startupComplete_; }
    const std::string& StartupError() const { return startupError_; }
    const std::vector<u16>& StartupWrites() const { return journal_.Entries(); }

    // IProfileSettings
    std::uint8_t CurrentLanguage() const override { return FAllProfileSettingInfo->CurrentLanguage; }
    USAGE_AND_PAGE DeviceUsageAndPage() const override { return vxm::DeviceUsageAndPage; }
    const TMouseProfileInfo& CurrentProfile() const override { return *FCurrentProfileInfo; }
    u16 ProfileRegFolder() const override { return FOptionsFromConfigFile.ProfileRegFolder; }
    bool MuteIndicator() const override { return FOptionsFromConfigFile.MuteIndicator; }
    bool MuteSound() const override { return FOptionsFromConfigFile.MuteSound; }
    int MuteButton() const override { return MuteButtonOf(*FCurrentProfileInfo); }
    // Each works on the records as they are stored now, loaded by a manager of
    // its own (this one keeps its state when that fails), checks them all
    // before it writes any, and then this manager loads them again as a start
    // does. A record that is not of its full size is damaged: it is refused,
    // never written over.
    void SetMuteButton(int button) override;
    void SetCurrentLanguage(std::uint8_t language) override;
    u16 MuteTarget() const override { return FOptionsFromConfigFile.MuteTarget; }
    int MuteOverlay() const override { return FOptionsFromConfigFile.MuteOverlay; }

    // The start-up sequence, from the state of a new module. After a start-up
    // error the three reloads run it again first (the user may have repaired
    // the data since), so that they end where a fresh start followed by the
    // same reload would.
    void DataModuleCreate();
    void LoadProfileGroupSettingInfoFromRegistry() override;
    void LoadAllProfileInfoFromRegistry() override;
    bool LoadCurrentProfileInfoFromRegistry() override;
    // Says what start-up stored before it stopped; empty once it completed.
    u16 StartupErrorText() const override;

    static bool IsProfileIndexInRange(int AProfileIndex) { return AProfileIndex >= 0 && AProfileIndex < kProfileCount; }
    static bool IsProfileGroupIndexInRange(int AProfileGroupIndex) {
        return AProfileGroupIndex >= 0 && AProfileGroupIndex < kGroupCount;
    }
    bool SwitchToProfile(int AProfileIndex);
    bool SwitchToProfileGroup(int AProfileGroupIndex);
    bool ReadCurrentProfileInfo();
    bool ReadProfileInfo(TMouseProfileInfo& AProfileInfo, int AProfileIndex);
    bool LoadProfileInfoFromRegistry(int AProfileIndex);
    bool LoadCurrentProfileInfoFromFile(u16view AFile);
    void SaveBackToCurrentProfileInfo();
    void SaveCurrentProfileInfoToRegistry();
    void SaveCurrentProfileInfoToFile();
    void SaveCurrentProfileInfoToFile(u16view AFile);
    bool SaveBackToProfileInfo(const TMouseProfileInfo& AProfileInfo, int AProfileIndex);
    bool SaveProfileInfoToRegistry(int AProfileIndex);
    void SaveBackAllProfileInfo() { SaveBackAllProfileInfoToRegistry(); }
    void SaveBackAllProfileInfoToRegistry();
    void SaveBackAllProfileInfoToFile();
    void SaveBackAllProfileSettingInfo();
    void SaveBackToProfileGroupSettingInfo();
    void SaveProfileGroupSettingInfoToRegistry();
    void SaveBackRecordMacroInfoToRegistry(const TMACROKEYINFO& ARecordMacroInfo);
    void LoadRecordMacroInfoFromRegistry();
    void RestoreCurrentProfileInfoToDefault();
    void RestoreAllProfileInfoToDefault();
    bool RestoreProfileInfoToDefault(int AProfileIndex);
    bool RestoreProfileGroupToDefault(int AProfileGroupIndex);
    void RestoreProfileSettingGroupToDefault();
    void SetProfileChanged(int AIndex, bool AIsChanged);
    bool IsProfileChanged(int AIndex) const;
    bool ChangeCurrentProfileFileNameAndPath(u16view AProfileFilePath);
    std::vector<int> GetAllProfilesMacroIndexList();
    u16 GetPersonalDocumentProfilePath();
    u16 GetPersonalDocumentMacroDatabasePath();
    void RestoreToDefaultCPISetting() { vxm::RestoreToDefaultCPISetting(*FCurrentProfileInfo); }
    void RestoreToDefaultLightAndReportAdvancedSetting() {
        vxm::RestoreToDefaultLightAndReportAdvancedSetting(*FCurrentProfileInfo);
    }
    void InitTestDefaultValue();

private:
    // Every store access of the components passes through it; declared first
    // because the components hold it.
    StoreJournal journal_;

public:
    // Components, in creation order.
    TuiProfile uiProfileAllSettingInfo;
    TuiProfile uiProfileGame1, uiProfileGame2, uiProfileGame3, uiProfileGame4, uiProfileGame5;
    TuiProfile uiProfileSettingGroup;
    TuiProfile uiProfileDefaultGame;
    TuiProfile uiProfileTest;
    TuiProfile uiProfileRecordMacroInfo;

    // Fields.
    std::unique_ptr<TALLGAMESINFO> FAllProfileSettingInfo;
    TuiProfile* FProfileGroup[6] = {};
    bool FProfileChanged[kProfileCount] = {};
    std::unique_ptr<TProfileSettingGroup> FProfileSettingGroup;
    int FProfileGroupIndex = 0;
    int FProfileIndex = 0;
    std::unique_ptr<TMouseProfileInfo> FCurrentProfileInfo;
    std::unique_ptr<TMouseProfileInfo> FDefaultProfileInfo;
    std::unique_ptr<TMouseProfileInfo> FTestProfileInfo;
    std::unique_ptr<TMACROKEYINFO> FRecordMacroInfo;
    TOptionsFromConfigFile FOptionsFromConfigFile;

private:
    void BindDefaults();
    // On a manager that has just started: edit and save the stored records.
    void WriteMuteButton(int button);
    void WriteCurrentLanguage(std::uint8_t language);
    void ResetToCreation();
    void RunStartup();
    void CompleteStartup();
    void RequireStartup() const;
    void Place(TuiProfile& component, u16view fileName);
    // The record from the registry, or its factory defaults, saved back.
    static void LoadOrRestoreFromRegistry(TuiProfile& component);
    void LoadGroupRecord();
    void LoadAllSettingsRecord();
    TuiProfile& Current() { return *FProfileGroup[FProfileIndex]; }
    void SelectGroupProfile();
    static int CheckedProfile(int index);

    ProfilePlatform platform_;
    std::function<std::uint8_t()> factoryLanguage_;
    std::string startupError_;
    bool startupComplete_ = false;
};

}  // namespace vxm
