#pragma once
// The monitor's hidden main window: owns its components in form order, runs
// the tray, starts device reading and the configuration application.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/monitor_shell.h"
#include "app/mute.h"
#include "app/protocol.h"
#include "hook/hook.h"
#include "lang/component.h"
#include "lang/language.h"
#include "profile/profile_settings.h"
#include "profile/records.h"
#include "ui/scene.h"

namespace vxm::app {

inline constexpr char16_t kMonitorTitle[] = u"GAMING MOUSE MONITOR";
inline constexpr char16_t kTrayHint[] = u"GAMING MOUSE DRIVER";
// The tray hint's second line: the microphone's state.
inline constexpr char16_t kMicrophoneMutedText[] = u"Microphone muted";
inline constexpr char16_t kMicrophoneLiveText[] = u"Microphone live";
// The tray menu's settings where no configuration application sets them.
inline constexpr char16_t kMuteButtonMenuText[] = u"Mute button";
inline constexpr char16_t kLanguageMenuText[] = u"Language";
inline constexpr char16_t kNoMuteButtonText[] = u"None";
inline constexpr char16_t kButtonText[] = u"Button";
inline constexpr char16_t kMicrophoneUnknownText[] = u"Microphone state unknown";
inline constexpr char16_t kNoMicrophoneText[] = u"No microphone";
// What a press that changed nothing tells.
inline constexpr char16_t kMicrophoneNotChangedText[] = u"The microphone was not changed";
// How long MuteOverlay 2 shows the state after a toggle.
inline constexpr unsigned kMuteOverlayMs = 2000;
inline constexpr char16_t kTrayIconFile[] = u"\\images\\0409\\icons\\logo.ico";
inline constexpr char16_t kMakerWebAddress[] = u"https://www.example.com/gaming-mouse";
// How long a start of the configuration application may take to show its
// window before a further click starts another.
inline constexpr std::uint32_t kConfigStartGraceMs = 10000;

// The About page's texts and buttons; the translation editor collects the
// same texts.
void BuildAboutScene(ui::Scene& scene);

class TVXMMONMAIN {
public:
    TVXMMONMAIN(MonitorDependencies deps, IProfileSettings& dm);
    ~TVXMMONMAIN();
    TVXMMONMAIN(const TVXMMONMAIN&) = delete;
    TVXMMONMAIN& operator=(const TVXMMONMAIN&) = delete;

    void FormCreate();
    void InitMonitor();
    void LoadTrayIcon();
    void UpdateLanguageAndCaptions();
    void ShowConfigApplication();
    void TrayIconDblClick() { ShowConfigApplication(); }
    void Config1Click() { ShowConfigApplication(); }
    void About1Click();
    void BtnOKClick();
    void BtnGoWebClick();
    // Tells the configuration window once, however often the monitor is
    // asked to end, and asks the loop to end each time (a loop nested in a
    // handler may have taken the earlier request).
    void Exit1Click();
    // Windows ends the session, or the installer asks the monitor to end: the
    // same ending as "Exit". With `now`, the rest of the ending (FinishNow)
    // runs before this returns, because Windows may end the process as soon
    // as its handler returns; the window is then gone, and true says so.
    bool RequestEnd(bool now);
    std::function<void()> FinishNow;  // set by RunMonitor
    // Exit or a request to end came: the monitor opens nothing more.
    bool EndRequested() const { return endRequested_; }
    // Stored settings that start-up could not load: said once, with what it
    // stored before it stopped (`text`, empty when nothing failed), and the
    // monitor goes on with its tray, so that the configuration application
    // can repair them (its reload then loads the repaired data).
    void ReportStartupError(u16view text);
    void FormDestroy();
    void uiHIDEvent1DeviceArrival();
    void TimerDeviceArrialTimer();
    void RestartDeviceReading();
    void ProcessMessageAndSleep50ms();

    // The road of a button press: the report decoder (OnData of uiHIDData1,
    // on the main thread), the window messages, the assigned function.
    void uiHIDData1Data(const u16& ADeviceID, const u16& ADevicePath, std::uint8_t ReportID, const std::uint8_t* Data,
                        std::uint16_t Size);
    // True when the message is one of the protocol's (handled or refused).
    bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void DoButtonFunction(std::uint8_t buttonIndex, Word functionIndex, std::uint8_t parameter);
    bool SaveProfileID(std::int32_t value);
    // The settings the tray menu and the bus set where no configuration
    // application does: the mute button (0 to 18, -1 for none) in all five
    // profiles, and the language by its name in the language component's
    // list. Empty when done; else why nothing was changed.
    u16 SetMuteButton(int button);
    u16 SetLanguage(u16view name);
    // The microphone toggle, as a press of the mute button runs it.
    void ToggleMute();
    // The toggle; with MuteIndicator the state it left is shown, with
    // MuteSound a sound says whether it muted or unmuted, or that it
    // changed nothing (then the user is told why); MuteOverlay shows it
    // where the user looks.
    void MicrophoneMute();
    const MicrophoneMuteControl& Audio() const { return audio_; }
    // Takes in the microphone's state and shows it on the tray
    // (MuteIndicator) and the overlay (MuteOverlay 1).
    void RefreshMicrophoneState();
    MicrophoneState ShownMicrophoneState() const { return micState_; }

    // The About page's scene, drawn by the window when it is shown.
    const ui::Scene& AboutScene() const { return vgScene1; }
    void AboutPageClick(int x, int y);

    // Components, for the shell and for tests.
    platform::ITrayIcon& TrayIcon1() { return *trayIcon1_; }
    platform::ITimer& TimerDeviceArrial() { return *timerDeviceArrial_; }
    TuiLanguage& uiLanguage1() { return *uiLanguage1_; }
    TuiHook& uiHook1() { return *uiHook1_; }
    // Unbound on the window; they record a mouse macro on uiHook1.
    void Button1Click() { uiHook1_->RecordMouseMacro(); }
    void Button2Click() { uiHook1_->StopRecordMouseMacro(); }
    TComponent& Form() { return form_; }
    TuiHIDData& uiHIDData1() { return *uiHIDData1_; }

private:
    void BuildAboutPage();
    void ButtonEvent(std::uintptr_t w, std::intptr_t l);
    // The hint's first line, then the microphone's state line when one is shown.
    void ApplyHint();
    // The settings' submenus: captions, choices and the checked ones as stored.
    void UpdateSettingsMenu();
    void ShowMicrophoneState(MicrophoneState state);
    void MuteOverlayTimer();

    MonitorDependencies deps_;
    IProfileSettings& dm_;
    // A start of the configuration application that has not shown its window yet.
    std::unique_ptr<platform::IStartedProgram> configStart_;
    std::uint32_t configStartTick_ = 0;
    bool endRequested_ = false;
    // The window as the language walk sees it, with its components.
    TComponent form_{u"TVXMMONMAIN", u"VXMMONMAIN", nullptr, TComponent::Kind::Form};
    TComponent sceneComponent_{u"TvgScene", u"vgScene1", &form_, TComponent::Kind::Scene};
    ui::Scene vgScene1;
    u16 title_;
    u16 hint_;  // the hint's first line
    // config.ini's MuteIndicator, MuteSound and MuteOverlay, as the window was created.
    const bool muteIndicator_;
    const bool muteSound_;
    const int muteOverlay_;
    MicrophoneState micState_ = MicrophoneState::Unknown;  // as last taken in
    bool micStateTaken_ = false;
    // The state whose line the hint shows: micState_ with MuteIndicator;
    // without it, only what the last press could not do.
    std::optional<MicrophoneState> hintState_;
    // Menu items by their index; the settings' submenus only where the menu has them.
    int muteMenuIndex_ = -1;
    int languageMenuIndex_ = -1;
    int exitMenuIndex_ = 2;
    std::vector<std::unique_ptr<TComponent>> formComponents_;
    // Form order; destroyed in reverse.
    std::unique_ptr<TuiHook> uiHook1_;
    std::unique_ptr<TuiLanguage> uiLanguage1_;
    std::unique_ptr<platform::ITrayIcon> trayIcon1_;
    std::unique_ptr<platform::IPopupMenu> myPopupMenu_;
    std::unique_ptr<TuiHIDData> uiHIDData1_;
    std::unique_ptr<platform::ITimer> timerDeviceArrial_;
    std::unique_ptr<TuiHIDEvent> uiHIDEvent1_;
    // Ends MuteOverlay 2's showing; made only for it.
    std::unique_ptr<platform::ITimer> muteOverlayTimer_;
    // The window's audio fields.
    MicrophoneMuteControl audio_;
};

}  // namespace vxm::app
