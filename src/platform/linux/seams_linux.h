#pragma once
// The small seams on Linux: ticks, the OS version, the mixer and the hook
// library that Linux has no counterpart of, the debugger output on standard
// error, message boxes, and starting programs.
#include <sys/types.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio.h"
#include "platform/debug_output.h"
#include "platform/hook_library.h"
#include "platform/message_box.h"
#include "platform/os.h"
#include "platform/programs.h"
#include "platform/sound.h"
#include "platform/timer.h"

namespace vxm::linuxos {

class Ticks final : public platform::ITicks {
public:
    std::uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
};

// The mute logic's choice is by version: this says "NT 10", so the capture
// endpoint (libpulse) is used and the mixer never is.
class OsVersionSource final : public platform::IOsVersion {
public:
    platform::OsVersion GetOsVersion() override { return platform::OsVersion{2, 10}; }
};

// No mixer devices.
class NoMixer final : public platform::IMixer {
public:
    unsigned GetNumDevs() override { return 0; }
    unsigned Open() override { return kNoDriver; }
    unsigned GetLineInfo(std::uint32_t, std::uint32_t&) override { return kNoDriver; }
    unsigned GetMuteControl(std::uint32_t, std::uint32_t&) override { return kNoDriver; }
    unsigned GetControlValue(std::uint32_t, std::uint32_t&) override { return kNoDriver; }
    unsigned SetControlValue(std::uint32_t, std::uint32_t) override { return kNoDriver; }
    void Close() override {}

private:
    static constexpr unsigned kNoDriver = 6;  // MMSYSERR_NODRIVER
};

// There is no hook library on Linux, and nothing is ever hooked; nor is its
// absence worth a message.
class NoHookLibrary final : public platform::IHookLibrary {
public:
    platform::HookLibraryLoad Load() override { return platform::HookLibraryLoad::NotOnThisSystem; }
    void Unload() override {}
    void EnableKeyboardHook(platform::KeyboardProc) override {}
    void DisableKeyboardHook() override {}
    void EnableMouseHook(platform::MouseProc) override {}
    void DisableMouseHook() override {}
    bool IsKeyDown(int) override { return false; }
};

// One line per call on a descriptor (standard error), written whole, from
// any thread; nothing at all when not enabled.
class StreamDebugOutput final : public platform::IDebugOutput {
public:
    StreamDebugOutput(int fd, bool enabled) : fd_(fd), enabled_(enabled) {}
    void DebugOutput(u16view text) override;
    bool Enabled() const { return enabled_; }

private:
    int fd_;
    bool enabled_;
    std::mutex mutex_;
};

// No message boxes on Linux: their texts go to the debugger output, a
// warning to `warn` instead when one is given (the user's own channel).
class DebugMessageBoxes final : public platform::IMessageBox {
public:
    explicit DebugMessageBoxes(platform::IDebugOutput& debug, std::function<void(u16view)> warn = {})
        : debug_(debug), warn_(std::move(warn)) {}
    void ShowMessage(u16view text) override;
    void ShowError(u16view text, u16view caption) override;
    void ShowWarning(u16view text) override;

private:
    platform::IDebugOutput& debug_;
    std::function<void(u16view)> warn_;
};

// No event sounds here (they would need a sound-theme player); MuteSound
// only says which cue it would have played.
class DebugSoundCues final : public platform::ISoundCues {
public:
    explicit DebugSoundCues(platform::IDebugOutput& debug) : debug_(debug) {}
    void Play(platform::SoundCue cue) override {
        debug_.DebugOutput(cue == platform::SoundCue::MicrophoneMuted  ? u"sound cue: muted (none on Linux)"
                           : cue == platform::SoundCue::MicrophoneLive ? u"sound cue: live (none on Linux)"
                                                                       : u"sound cue: error (none on Linux)");
    }

private:
    platform::IDebugOutput& debug_;
};

// Programs started by full path with posix_spawn, in the folder given; a
// document or an address opens through xdg-open. Children that end are
// reaped by Reap (on SIGCHLD) and by the next start, so none stays a zombie.
class Programs final : public platform::IPrograms {
public:
    Programs();
    ~Programs() override;
    bool ShellExecuteFile(platform::WindowHandle owner, u16view verb, u16view file, u16view directory,
                          int show) override;
    std::unique_ptr<platform::IStartedProgram> StartProgram(u16view verb, u16view file, u16view directory,
                                                            int show) override;
    // Collects the children that ended.
    void Reap();

private:
    struct Children;
    pid_t Spawn(const std::vector<std::string>& argv, const std::string& directory, bool searchPath);
    std::shared_ptr<Children> children_;
};

}  // namespace vxm::linuxos
