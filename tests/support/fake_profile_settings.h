#pragma once
// The profile manager as the main window sees it: counted reloads, a
// language to choose, an empty current profile; with a log, its creation and
// destruction are logged ("create:TDM", "destroy:TDM").
#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "profile/profile_settings.h"

namespace vxm::fake {

struct FakeProfileSettings final : IProfileSettings {
    explicit FakeProfileSettings(std::vector<std::string>* sink = nullptr) : log(sink) {
        if (log) log->push_back("create:TDM");
    }
    ~FakeProfileSettings() override {
        if (log) log->push_back("destroy:TDM");
    }
    std::uint8_t CurrentLanguage() const override { return language; }
    USAGE_AND_PAGE DeviceUsageAndPage() const override { return {0x0001, 0xFFA0}; }
    const TMouseProfileInfo& CurrentProfile() const override { return *profile; }
    u16 ProfileRegFolder() const override { return u"software\\test"; }
    bool MuteIndicator() const override { return muteIndicator; }
    bool MuteSound() const override { return muteSound; }
    int MuteButton() const override { return muteButton; }
    // With `refusal` set, a setting is refused as a damaged store refuses it.
    void SetMuteButton(int button) override {
        if (!refusal.empty()) throw StoreError(refusal);
        muteButton = button;
    }
    void SetCurrentLanguage(std::uint8_t index) override {
        if (!refusal.empty()) throw StoreError(refusal);
        language = index;
    }
    u16 MuteTarget() const override { return muteTarget; }
    int MuteOverlay() const override { return muteOverlay; }
    void LoadProfileGroupSettingInfoFromRegistry() override { ++groupLoads; }
    void LoadAllProfileInfoFromRegistry() override { ++settingsLoads; }
    bool LoadCurrentProfileInfoFromRegistry() override {
        ++profileLoads;
        return true;
    }
    u16 StartupErrorText() const override { return startupError; }

    int groupLoads = 0, settingsLoads = 0, profileLoads = 0;
    std::unique_ptr<TMouseProfileInfo> profile = std::make_unique<TMouseProfileInfo>();
    std::vector<std::string>* log;
    std::uint8_t language = 0;
    int muteButton = -1;
    std::string refusal;
    u16 startupError;  // as a start-up that stopped says it
    // Off unless a test turns them on: the plain tray that most tests describe.
    bool muteIndicator = false;
    bool muteSound = false;
    u16 muteTarget = u"default";
    int muteOverlay = 0;
};

}  // namespace vxm::fake
