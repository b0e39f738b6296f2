#include "platform/win32/sound_win32.h"

#include <windows.h>
#include <mmsystem.h>

namespace vxm::win32 {

void SoundCues::Play(platform::SoundCue cue) {
    if (cue == platform::SoundCue::Error) {
        // The scheme's "Critical Stop", as an error message box sounds.
        if (PlaySoundW(L"SystemHand", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT)) return;
        MessageBeep(MB_ICONHAND);
        return;
    }
    // The scheme's sounds of a device going and coming: a falling and a
    // rising tone in the default scheme. Asynchronous, so the main thread
    // never waits for the sound; a scheme without them gets the plain beeps.
    const bool muted = cue == platform::SoundCue::MicrophoneMuted;
    const wchar_t* alias = muted ? L"DeviceDisconnect" : L"DeviceConnect";
    if (PlaySoundW(alias, nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT)) return;
    MessageBeep(muted ? MB_ICONHAND : MB_ICONASTERISK);
}

}  // namespace vxm::win32
