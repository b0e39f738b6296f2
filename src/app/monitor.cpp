#include "app/monitor.h"

#include "app/monitor_language_data.h"
#include "app/report_decoder.h"
#include "common/bytes.h"
#include "lang/translate.h"
#include "profile/mute_button.h"
#include "profile/tables.h"

namespace vxm::app {

namespace {

// On the audio system's thread: one post to the window's own queue, whose
// handler takes in the reports on the main thread.
std::function<void()> PostMicrophoneChanged(MonitorDependencies& deps) {
    platform::IWindowMessages* windows = &deps.windows;
    const platform::WindowHandle window = deps.mainWindow.MainWindow();
    return [windows, window] { windows->PostWindowMessage(window, kMsgMicrophoneChanged, 0, 0); };
}

}  // namespace

TVXMMONMAIN::TVXMMONMAIN(MonitorDependencies deps, IProfileSettings& dm)
    : deps_(deps),
      dm_(dm),
      muteIndicator_(dm.MuteIndicator()),
      muteSound_(dm.MuteSound()),
      muteOverlay_(dm.MuteOverlay()),
      audio_(MicrophoneMuteControl::Deps{deps.coreAudio, deps.mixer, deps.messageBox, deps.debug, deps.os,
                                         MuteTargetChoice::Parse(dm.MuteTarget())},
             PostMicrophoneChanged(deps)) {
    BuildAboutPage();
    form_.DefineProperty(
        u"Caption", [this] { return title_; },
        [this](u16view t) {
            title_ = u16(t);
            deps_.mainWindow.SetApplicationTitle(t);
        });
    auto component = [this](u16 cls, u16 name) -> TComponent& {
        formComponents_.push_back(std::make_unique<TComponent>(std::move(cls), std::move(name), &form_));
        return *formComponents_.back();
    };
    // No handlers: creating it binds the hook library (and says so when it is missing).
    uiHook1_ = std::make_unique<TuiHook>(HookDependencies{
        deps_.hookLibrary, deps_.dispatcher, [this](u16view t, u16view c) { deps_.messageBox.ShowError(t, c); },
        false, [this](u16view t) { deps_.debug.DebugOutput(u"hook record handler failed: " + u16(t)); }});
    component(u"TuiHook", u"uiHook1");
    // A translator's ui.local: wherever the system keeps the program's files.
    u16 languageFolder;
    u16 languageName;
    SplitPath(deps_.paths.ProgramFile(u"ui.local"), languageFolder, languageName);
    uiLanguage1_ = std::make_unique<TuiLanguage>(
        &form_, LanguageDependencies{deps_.nls, deps_.files, languageFolder, u16(), false,
                                     [this](u16view t) { deps_.debug.DebugOutput(t); }});
    component(u"TuiLanguage", u"uiLanguage1");
    trayIcon1_ = deps_.shell.CreateTrayIcon();
    component(u"TTrayIcon", u"TrayIcon1")
        .DefineProperty(
            u"Hint", [this] { return hint_; },
            [this](u16view t) {
                hint_ = u16(t);
                ApplyHint();
            });
    myPopupMenu_ = deps_.shell.CreatePopupMenu(*trayIcon1_);
    component(u"TPopupMenu", u"MyPopupMenu");
    for (const char16_t* item : {u"Config1", u"About1", u"Exit1"}) component(u"TMenuItem", item);
    component(u"TvgResources", u"vgResources1");
    const bool settings = deps_.shell.SettingsInTrayMenu();
    myPopupMenu_->AddItem(u"Config1", u"Config", !settings || deps_.shell.ConfigApplicationInstalled(),
                          [this] { Config1Click(); });
    myPopupMenu_->AddItem(u"About1", u"About", false, [this] { About1Click(); });
    if (settings) {
        // Filled once the languages are there (UpdateLanguageAndCaptions).
        const auto report = [this](const u16& error) {
            if (!error.empty()) deps_.messageBox.ShowError(error, u"Error");
        };
        muteMenuIndex_ = 2;
        myPopupMenu_->AddChoices(u"MuteButton1", kMuteButtonMenuText, {}, -1,
                                 [this, report](int choice) { report(SetMuteButton(choice - 1)); });
        languageMenuIndex_ = 3;
        myPopupMenu_->AddChoices(u"Language1", kLanguageMenuText, {}, -1, [this, report](int choice) {
            report(SetLanguage(uiLanguage1_->GetLanguageShortIDByIndex(choice)));
        });
        exitMenuIndex_ = 4;
    }
    myPopupMenu_->AddItem(u"Exit1", u"Exit", true, [this] { Exit1Click(); });
    trayIcon1_->OnClick = [this] { TrayIconDblClick(); };
    trayIcon1_->SetVisible(true);
    uiHIDData1_ = deps_.shell.CreateHidData();
    component(u"TuiHIDData", u"uiHIDData1");
    uiHIDData1_->FastOnData = false;
    uiHIDData1_->OnData = [this](const u16& id, const u16& path, std::uint8_t reportId, const std::uint8_t* data,
                                 std::uint16_t size) { uiHIDData1Data(id, path, reportId, data, size); };
    timerDeviceArrial_ = deps_.shell.CreateTimer(1500);
    component(u"TTimer", u"TimerDeviceArrial");
    timerDeviceArrial_->OnTimer = [this] { TimerDeviceArrialTimer(); };
    uiHIDEvent1_ = deps_.shell.CreateHidEvent();
    uiHIDEvent1_->OnDeviceArrival = [this] { uiHIDEvent1DeviceArrival(); };
    component(u"TuiHIDEvent", u"uiHIDEvent1");
    if (muteOverlay_ == 2) {
        muteOverlayTimer_ = deps_.shell.CreateTimer(kMuteOverlayMs);
        muteOverlayTimer_->OnTimer = [this] { MuteOverlayTimer(); };
    }
    // The form's stored data: the language component's ResourcesBin, then Loaded.
    uiLanguage1_->ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
    FormCreate();
    // Complete: the shell's messages may reach it now.
    deps_.shell.Attach(this);
}

TVXMMONMAIN::~TVXMMONMAIN() {
    // Detached before anything goes: removing the tray icon waits on the
    // shell, and what another process sends meanwhile must not reach
    // components that are already gone.
    deps_.shell.Attach(nullptr);
    // Reading stops first; then the members go in reverse order of declaration:
    // the audio field, then the components in reverse form order.
    FormDestroy();
}

void BuildAboutScene(ui::Scene& scene) {
    using ui::Align;
    using ui::TextStyle;
    scene.AddText(u"BtnOK", u"OK", {208, 325, 94, 27}, TextStyle{u"Myriad Pro", 13, true, 0xFFFFFF, Align::Center});
    scene.AddButton(u"BtnOK", {208, 325, 94, 27});
    // The frame Rectangle1 at (43,81), 425 x 223, holds the labels; their
    // positions are relative to the page.
    scene.AddText(u"Label1", u"Hardware & Software Information:", {63, 96, 385, 24}, TextStyle{u"Tahoma", 16, true});
    scene.AddText(u"Label2", u"Hardware Core:1.00.00", {63, 128, 385, 20}, TextStyle{u"Tahoma", 13, false});
    scene.AddText(u"Label3", u"Software Core:1.00.00", {63, 152, 385, 20}, TextStyle{u"Tahoma", 13, false});
    scene.AddText(u"Label4", u"Software Update Website:", {63, 188, 385, 24}, TextStyle{u"Tahoma", 16, true});
    auto& web = scene.AddText(u"TextWeb", kMakerWebAddress, {63, 216, 385, 20}, TextStyle{u"Tahoma", 13, false});
    web.AutoTranslate = false;  // an address is not translated
    scene.AddButton(u"BtnGoWeb", {43 + 25, 81 + 182, 77, 31});
    scene.UpdateResource();
}

void TVXMMONMAIN::BuildAboutPage() { BuildAboutScene(vgScene1); }

void TVXMMONMAIN::FormCreate() { InitMonitor(); }

void TVXMMONMAIN::InitMonitor() {
    LoadTrayIcon();
    UpdateLanguageAndCaptions();
    if (deps_.os.GetOsVersion().IsNt6OrLater()) audio_.CreateAudioEndpoint();
    if (muteIndicator_ || muteOverlay_ == 1) RefreshMicrophoneState();
}

namespace {

const char16_t* StateText(MicrophoneState state) {
    switch (state) {
        case MicrophoneState::Muted:
            return kMicrophoneMutedText;
        case MicrophoneState::Live:
            return kMicrophoneLiveText;
        case MicrophoneState::NoMicrophone:
            return kNoMicrophoneText;
        case MicrophoneState::Unknown:
            break;
    }
    return kMicrophoneUnknownText;
}

}  // namespace

void TVXMMONMAIN::MicrophoneMute() {
    const MuteToggleResult result = audio_.ToggleMute();
    // The icon first: starting a sound may take the audio system a moment.
    RefreshMicrophoneState();
    if (!muteIndicator_) {
        // The tray shows no state, but a press that did nothing says so there.
        std::optional<MicrophoneState> line;
        if (!result.Changed()) {
            line = result.failure == MuteFailure::NoMicrophone ? MicrophoneState::NoMicrophone : MicrophoneState::Unknown;
        }
        if (line != hintState_) {
            hintState_ = line;
            ApplyHint();
        }
    }
    if (!result.Changed()) {
        if (muteSound_) {
            deps_.sounds.Play(platform::SoundCue::Error);
            deps_.debug.DebugOutput(u"sound cue: error");
        }
        static constexpr const char16_t* kDetails[] = {
            u"", u"no microphone: the press changed nothing", u"no sound server: the press changed nothing",
            u"the microphone's state cannot be read: the press changed nothing",
            u"the sound server did not answer in time: the press is not confirmed",
            u"the sound system refused the change"};
        deps_.notices.TellFailure(
            TranslateText(result.failure == MuteFailure::NoMicrophone ? kNoMicrophoneText : kMicrophoneNotChangedText),
            kDetails[static_cast<int>(result.failure)]);
        return;
    }
    // The button's own toggle only; a change made elsewhere stays silent.
    const bool muted = result.set == MicrophoneState::Muted;
    if (muteSound_) {
        deps_.sounds.Play(muted ? platform::SoundCue::MicrophoneMuted : platform::SoundCue::MicrophoneLive);
        deps_.debug.DebugOutput(muted ? u"sound cue: muted" : u"sound cue: live");
    }
    if (muteOverlayTimer_) {
        deps_.notices.ShowState(muted, TranslateText(StateText(result.set)), kMuteOverlayMs);
        // Off then on: two seconds from this toggle.
        muteOverlayTimer_->SetEnabled(false);
        muteOverlayTimer_->SetEnabled(true);
    }
}

void TVXMMONMAIN::MuteOverlayTimer() {
    muteOverlayTimer_->SetEnabled(false);
    deps_.notices.HideState();
}

void TVXMMONMAIN::RefreshMicrophoneState() {
    // Inside a toggle (a message it shows lets a posted change in), the
    // mixer's handle is the toggle's; the toggle reads the state when done.
    if (audio_.Busy()) return;
    if (!muteIndicator_ && muteOverlay_ != 1) {
        // Followed all the same: the next toggle decides from it.
        audio_.Update();
        return;
    }
    ShowMicrophoneState(audio_.ReadState());
}

void TVXMMONMAIN::ShowMicrophoneState(MicrophoneState state) {
    if (micStateTaken_ && state == micState_) return;
    const bool wasMuted = micStateTaken_ && micState_ == MicrophoneState::Muted;
    micStateTaken_ = true;
    micState_ = state;
    deps_.debug.DebugOutput(state == MicrophoneState::Muted          ? u"microphone muted"
                            : state == MicrophoneState::Live         ? u"microphone live"
                            : state == MicrophoneState::NoMicrophone ? u"no microphone"
                                                                     : u"microphone state unknown");
    const bool muted = state == MicrophoneState::Muted;
    if (muteOverlay_ == 1 && muted != wasMuted) {
        if (muted) {
            deps_.notices.ShowState(true, TranslateText(kMicrophoneMutedText), 0);
        } else {
            deps_.notices.HideState();
        }
    }
    if (!muteIndicator_) return;
    trayIcon1_->SetMuteBadge(muted);
    hintState_ = state;
    ApplyHint();
}

void TVXMMONMAIN::ApplyHint() {
    if (!hintState_) {
        trayIcon1_->SetHint(CutUtf16(hint_, platform::kTrayHintMax));
        return;
    }
    const u16 line = TranslateText(StateText(*hintState_));
    // The state line is what the user looks for: a long first line gives way.
    const u16view state = CutUtf16(line, platform::kTrayHintMax - 1);
    const u16view first = CutUtf16(hint_, platform::kTrayHintMax - 1 - state.size());
    trayIcon1_->SetHint(u16(first) + u"\n" + u16(state));
}

void TVXMMONMAIN::LoadTrayIcon() {
    // Without the file the tray keeps the program's own icon.
    trayIcon1_->LoadIconFromFile(deps_.paths.ProgramFile(kTrayIconFile));
}

void TVXMMONMAIN::UpdateLanguageAndCaptions() {
    const int current = uiLanguage1_->GetLanguageIndexByShortID(uiLanguage1_->Lang());
    const int wanted = dm_.CurrentLanguage();
    if (current != wanted) uiLanguage1_->SetLang(uiLanguage1_->GetLanguageShortIDByIndex(wanted));
    title_ = TranslateText(kMonitorTitle);
    deps_.mainWindow.SetApplicationTitle(title_);
    const u16 captions[3] = {TranslateText(u"Config"), TranslateText(u"About"), TranslateText(u"Exit")};
    const int indexes[3] = {0, 1, exitMenuIndex_};
    for (int i = 0; i < 3; ++i) myPopupMenu_->SetCaption(indexes[i], captions[i]);
    UpdateSettingsMenu();
    hint_ = TranslateText(kTrayHint);
    ApplyHint();
    deps_.debug.DebugOutput(u"language " + uiLanguage1_->Lang() + u": " + captions[0] + u" | " + captions[2]);
}

void TVXMMONMAIN::UpdateSettingsMenu() {
    if (muteMenuIndex_ < 0) return;
    myPopupMenu_->SetCaption(muteMenuIndex_, TranslateText(kMuteButtonMenuText));
    std::vector<u16> buttons{TranslateText(kNoMuteButtonText)};
    const u16 button = TranslateText(kButtonText);
    for (int i = 1; i <= kButtonCount; ++i) buttons.push_back(button + u" " + ToU16(i));
    myPopupMenu_->SetChoices(muteMenuIndex_, std::move(buttons), dm_.MuteButton() + 1);
    myPopupMenu_->SetCaption(languageMenuIndex_, TranslateText(kLanguageMenuText));
    std::vector<u16> languages;
    for (std::size_t i = 0; i < uiLanguage1_->LanguageCount(); ++i) languages.push_back(uiLanguage1_->LanguageName(i));
    myPopupMenu_->SetChoices(languageMenuIndex_, std::move(languages), dm_.CurrentLanguage());
}

u16 TVXMMONMAIN::SetMuteButton(int button) {
    if (button < kNoMuteButton || button >= kButtonCount) {
        return u"There is no button " + ToU16(button + 1) + u": the buttons are 1 to 19.";
    }
    try {
        dm_.SetMuteButton(button);
    } catch (const std::exception& e) {
        UpdateSettingsMenu();
        return u"The mute button was not changed: " + Utf16(e.what());
    }
    deps_.debug.DebugOutput(u"mute button " + (button < 0 ? u16(u"none") : ToU16(button + 1)));
    UpdateSettingsMenu();
    return {};
}

u16 TVXMMONMAIN::SetLanguage(u16view name) {
    const int index = uiLanguage1_->GetLanguageIndexByShortID(name);
    // The stored index is a byte: a language further down the list cannot be chosen.
    if (index < 0 || index > 0xFF) {
        u16 names;
        for (std::size_t i = 0; i < uiLanguage1_->LanguageCount() && i <= 0xFF; ++i) {
            names += (i ? u", " : u"") + uiLanguage1_->LanguageName(i);
        }
        return u"There is no language \"" + u16(name) + u"\": the languages are " + names + u".";
    }
    try {
        dm_.SetCurrentLanguage(static_cast<std::uint8_t>(index));
    } catch (const std::exception& e) {
        UpdateSettingsMenu();
        return u"The language was not changed: " + Utf16(e.what());
    }
    UpdateLanguageAndCaptions();
    return {};
}

void TVXMMONMAIN::ToggleMute() {
    const int button = dm_.MuteButton();
    DoButtonFunction(static_cast<std::uint8_t>(button < 0 ? 0 : button), kMicrophoneMuteFunction, 1);
}

void TVXMMONMAIN::ShowConfigApplication() {
    platform::IWindowMessages& windows = deps_.windows;
    if (const platform::WindowHandle config = windows.FindWindowByClass(kConfigWindowClass)) {
        configStart_.reset();
        // Without waiting for its thread, which may hang; a minimized window
        // is restored, since showing leaves it minimized.
        windows.ShowWindowAsync(config, windows.IsIconic(config) ? platform::kSwRestore : platform::kSwShow);
        windows.SetForegroundWindow(config);
        return;
    }
    // The clicks of a burst come before the first start has made its window:
    // one start is enough, unless it ended or is taking too long.
    if (configStart_ && configStart_->Running() && deps_.ticks.TickCount() - configStartTick_ < kConfigStartGraceMs) {
        return;
    }
    // Started by its full path only: nothing of that name in the current
    // folder or on the search path is ever run. A failed start stays silent.
    const u16 folder = deps_.paths.ExecutableFolder();
    configStart_ = deps_.programs.StartProgram(u"open", folder + kConfigExecutable, folder, platform::kSwShow);
    configStartTick_ = deps_.ticks.TickCount();
}

void TVXMMONMAIN::About1Click() {
    deps_.mainWindow.ShowMainWindow(true);
    ProcessMessageAndSleep50ms();
    deps_.windows.SetForegroundWindow(deps_.mainWindow.MainWindow());
}

void TVXMMONMAIN::BtnOKClick() { deps_.mainWindow.ShowMainWindow(false); }

void TVXMMONMAIN::BtnGoWebClick() {
    const ui::TextObject* web = vgScene1.FindText(u"TextWeb");
    deps_.programs.ShellExecuteFile(deps_.mainWindow.MainWindow(), u"open",
                                    web ? web->GetText() : u16(kMakerWebAddress), u"", platform::kSwShowNormal);
}

void TVXMMONMAIN::AboutPageClick(int x, int y) {
    // Anyone may post a click to the hidden window: the buttons act only on
    // the page the user sees.
    if (!deps_.mainWindow.MainWindowVisible()) return;
    const ui::ButtonObject* b = vgScene1.ButtonAt(x, y);
    if (!b) return;
    if (b->Name == u"BtnOK") BtnOKClick();
    if (b->Name == u"BtnGoWeb") BtnGoWebClick();
}

void TVXMMONMAIN::Exit1Click() {
    if (!endRequested_) {
        endRequested_ = true;
        deps_.windows.PostWindowMessage(deps_.windows.FindWindowByClass(kConfigWindowClass), kMsgMonitorExiting, 0,
                                        0);
    }
    deps_.messageLoop.Terminate();
}

bool TVXMMONMAIN::RequestEnd(bool now) {
    Exit1Click();
    if (!now || !FinishNow) return false;
    const std::function<void()> finish = FinishNow;  // it destroys this window, and FinishNow with it
    finish();
    return true;
}

void TVXMMONMAIN::ReportStartupError(u16view text) {
    if (text.empty()) return;
    deps_.debug.DebugOutput(u"start-up error: " + u16(text));
    deps_.messageBox.ShowWarning(text);
}

void TVXMMONMAIN::FormDestroy() {
    if (uiHIDData1_) uiHIDData1_->HidStopRead();
}

void TVXMMONMAIN::uiHIDEvent1DeviceArrival() {
    // Off then on restarts the period, so a burst of arrivals collapses into one restart.
    timerDeviceArrial_->SetEnabled(false);
    timerDeviceArrial_->SetEnabled(true);
}

void TVXMMONMAIN::TimerDeviceArrialTimer() {
    timerDeviceArrial_->SetEnabled(false);
    RestartDeviceReading();
}

void TVXMMONMAIN::RestartDeviceReading() {
    uiHIDData1_->HidStopRead();
    ProcessMessageAndSleep50ms();
    uiHIDData1_->HidFindAndReadDevice(dm_.DeviceUsageAndPage(), u"*");
}

void TVXMMONMAIN::ProcessMessageAndSleep50ms() {
    deps_.messageLoop.ProcessMessages();
    deps_.ticks.Sleep(50);
}

void TVXMMONMAIN::uiHIDData1Data(const u16&, const u16&, std::uint8_t ReportID, const std::uint8_t* Data,
                                 std::uint16_t Size) {
    const ReportAction action = DecodeReport(ReportID, Data, Size);
    platform::IWindowMessages& windows = deps_.windows;
    switch (action.kind) {
        case ReportAction::Kind::Key:
            deps_.debug.DebugOutput(u"KeyIndex = " + ToU16(action.value) + u" postmessage record!");
            windows.PostWindowMessage(deps_.mainWindow.MainWindow(), ButtonEventMessage, action.value, 1);
            return;
        case ReportAction::Kind::Profile:
            windows.PostWindowMessage(deps_.mainWindow.MainWindow(), ButtonEventMessage,
                                      kFirstProfileEvent + action.value, 1);
            return;
        case ReportAction::Kind::DeviceValue:
            windows.PostWindowMessage(windows.FindWindowByClass(kConfigWindowClass), kMsgDeviceValue, action.value, 0);
            return;
        case ReportAction::Kind::None:
            return;
    }
}

bool TVXMMONMAIN::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    // Any process may send these: every value is checked before it is used,
    // and a failed reload is reported without bringing the monitor down.
    try {
        switch (msg) {
            case ButtonEventMessage:
                ButtonEvent(wParam, lParam);
                return true;
            case kMsgReloadProfiles:
                dm_.LoadProfileGroupSettingInfoFromRegistry();
                dm_.LoadAllProfileInfoFromRegistry();
                dm_.LoadCurrentProfileInfoFromRegistry();
                // "ProfileID" names a profile, 0 to 4; judged before any
                // narrowing, so that no wider value lands on one of them.
                if (lParam >= 0 && lParam <= 4) SaveProfileID(static_cast<std::int32_t>(lParam));
                UpdateSettingsMenu();
                return true;
            case kMsgReloadSettings:
                dm_.LoadAllProfileInfoFromRegistry();
                UpdateLanguageAndCaptions();
                return true;
            case kMsgMicrophoneChanged:
                // Anyone may post it: it only takes in what the sound system reported.
                RefreshMicrophoneState();
                return true;
            default:
                return false;
        }
    } catch (const std::exception& e) {
        deps_.debug.DebugOutput(u"message " + ToU16(msg) + u" failed: " + Utf16(e.what()));
        return true;
    }
}

void TVXMMONMAIN::ButtonEvent(std::uintptr_t w, std::intptr_t l) {
    if (w >= kFirstProfileEvent && w <= kFirstProfileEvent + 4) {
        const auto profile = static_cast<std::int32_t>(w - kFirstProfileEvent);
        // The registry names the profile the device switched to, 0 to 4.
        SaveProfileID(profile);
        deps_.windows.SendWindowMessage(deps_.windows.FindWindowByClass(kConfigWindowClass), kMsgProfileSwitched,
                                        w - kFirstProfileEvent, 0);
        return;
    }
    if (w > 18 || l < 0 || l > 255) return;  // outside the message's range
    const Word function = ButtonFunctionIndex(dm_.CurrentProfile(), static_cast<int>(w));
    DoButtonFunction(static_cast<std::uint8_t>(w), function, static_cast<std::uint8_t>(l));
}

void TVXMMONMAIN::DoButtonFunction(std::uint8_t, Word functionIndex, std::uint8_t) {
    if (functionIndex == kMicrophoneMuteFunction) MicrophoneMute();
}

bool TVXMMONMAIN::SaveProfileID(std::int32_t value) {
    long error = 0;
    auto key = deps_.registry.OpenKey(platform::RegRoot::CurrentUser, dm_.ProfileRegFolder(), false, error);
    if (!key) return false;
    const auto bytes = Le32Bytes(static_cast<std::uint32_t>(value));
    return key->SetValue(u"ProfileID", platform::kRegDword, bytes.data(), bytes.size()) == platform::kErrorSuccess;
}

}  // namespace vxm::app
