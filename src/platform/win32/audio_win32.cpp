#include "platform/win32/audio_win32.h"

#include <windows.h>
#include <initguid.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <mmsystem.h>

#include <atomic>

#include "platform/win32/com_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

constexpr CLSID kClsidMMDeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr IID kIidIMMDeviceEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
constexpr IID kIidIAudioEndpointVolume = {0x5CDF2C82, 0x841E, 0x4546, {0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A}};
constexpr IID kIidIAudioEndpointVolumeCallback = {
    0x657804FA, 0xD6AD, 0x4496, {0x8A, 0x60, 0x35, 0x27, 0x52, 0xAF, 0x4F, 0x89}};
constexpr DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;  // 7

// Reports each mute change of the endpoint it is registered with, on the
// audio system's thread.
class TMyEndpointVolumeCallback final : public IAudioEndpointVolumeCallback {
public:
    TMyEndpointVolumeCallback(platform::AudioEventSink sink, u16 id) : sink_(std::move(sink)), id_(std::move(id)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidIAudioEndpointVolumeCallback)) {
            *out = static_cast<IAudioEndpointVolumeCallback*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) override {
        if (!data || !sink_) return S_OK;
        platform::AudioEvent e;
        e.kind = platform::AudioEvent::Kind::Changed;
        e.endpoint.id = id_;
        e.endpoint.muted = data->bMuted != FALSE;
        sink_(e);
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    platform::AudioEventSink sink_;
    u16 id_;
};

u16 DeviceId(IMMDevice* device) {
    CoTaskMemPtr<LPWSTR> id;
    if (FAILED(device->GetId(id.Put())) || !id.Get()) return u16();
    return U(id.Get());
}

// The default capture endpoint (eCapture, eMultimedia) and the enumerator
// that found it, in this thread's COM apartment; null when either is missing.
ComPtr<IMMDevice> DefaultCaptureDevice(ComPtr<IMMDeviceEnumerator>& enumerator) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // already in it: fine
    if (FAILED(CoCreateInstance(kClsidMMDeviceEnumerator, nullptr, kClassContext, kIidIMMDeviceEnumerator,
                                enumerator.PutVoid())) ||
        !enumerator) {
        return ComPtr<IMMDevice>();
    }
    ComPtr<IMMDevice> device;
    if (enumerator->GetDefaultAudioEndpoint(eCapture, eMultimedia, device.Put()) != S_OK) device.Reset();
    return device;
}

// The default capture endpoint's volume interface, its callback registered.
struct Bound {
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDevice> device;
    ComPtr<IAudioEndpointVolume> volume;
    u16 id;
};

bool BindDefault(const platform::AudioEventSink& sink, Bound& out) {
    Bound b;
    b.device = DefaultCaptureDevice(b.enumerator);
    if (!b.device) return false;
    if (b.device->Activate(kIidIAudioEndpointVolume, kClassContext, nullptr, b.volume.PutVoid()) != S_OK ||
        !b.volume) {
        return false;
    }
    b.id = DeviceId(b.device.Get());
    // The endpoint keeps the callback alive; our reference goes at once.
    const ComPtr<TMyEndpointVolumeCallback> callback(new TMyEndpointVolumeCallback(sink, b.id));
    b.volume->RegisterControlChangeNotify(callback.Get());
    out = std::move(b);
    return true;
}

// The default capture endpoint, bound once and bound again when a press
// finds another default: without endpoint notifications the default is
// asked at every press, and only the bound endpoint's mute is reported.
class Session final : public platform::ICaptureEndpoints {
public:
    Session(platform::AudioEventSink sink, Bound bound) : sink_(std::move(sink)), bound_(std::move(bound)) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool FollowsChanges() const override { return false; }

    bool Refresh() override {
        // Follow the user's choice of default microphone: a changed default
        // is bound again, or the toggle would leave the new microphone live.
        ComPtr<IMMDeviceEnumerator> enumerator;
        const ComPtr<IMMDevice> device = DefaultCaptureDevice(enumerator);
        const u16 current = device ? DeviceId(device.Get()) : u16();
        if (!current.empty() && current != bound_.id) {
            Bound again;
            if (BindDefault(sink_, again)) bound_ = std::move(again);
        }
        BOOL muted = FALSE;
        if (FAILED(bound_.volume->GetMute(&muted))) return false;
        platform::AudioEvent e;
        e.kind = platform::AudioEvent::Kind::Snapshot;
        e.endpoints.push_back(platform::CaptureEndpoint{bound_.id, u16(), muted != FALSE, false});
        e.defaultId = bound_.id;
        sink_(e);
        return true;
    }

    std::vector<platform::MuteSetResult> SetMute(const std::vector<u16>& ids, bool muted) override {
        std::vector<platform::MuteSetResult> results;
        for (const u16& id : ids) {
            if (id != platform::kDefaultCapture && id != bound_.id) {
                results.push_back(platform::MuteSetResult::Refused);
                continue;
            }
            results.push_back(SUCCEEDED(bound_.volume->SetMute(muted ? TRUE : FALSE, nullptr))
                                  ? platform::MuteSetResult::Done
                                  : platform::MuteSetResult::Refused);
        }
        return results;
    }

private:
    platform::AudioEventSink sink_;
    Bound bound_;
};

}  // namespace

std::unique_ptr<platform::ICaptureEndpoints> CoreAudio::Open(platform::AudioEventSink sink) {
    Bound bound;
    if (!BindDefault(sink, bound)) return nullptr;
    return std::make_unique<Session>(std::move(sink), std::move(bound));
}

unsigned Mixer::GetNumDevs() { return mixerGetNumDevs(); }

unsigned Mixer::Open() {
    Close();
    HMIXER h = nullptr;
    const MMRESULT rc = mixerOpen(&h, 0, 0, 0, MIXER_OBJECTF_MIXER);
    if (rc == MMSYSERR_NOERROR) handle_ = h;
    return rc;
}

unsigned Mixer::GetLineInfo(std::uint32_t componentType, std::uint32_t& lineId) {
    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = componentType;
    const MMRESULT rc = mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(handle_), &line,
                                          MIXER_GETLINEINFOF_COMPONENTTYPE);
    if (rc == MMSYSERR_NOERROR) lineId = line.dwLineID;
    return rc;
}

unsigned Mixer::GetMuteControl(std::uint32_t lineId, std::uint32_t& controlId) {
    MIXERCONTROLW control{};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSW controls{};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = lineId;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    const MMRESULT rc = mixerGetLineControlsW(reinterpret_cast<HMIXEROBJ>(handle_), &controls,
                                              MIXER_GETLINECONTROLSF_ONEBYTYPE);
    if (rc == MMSYSERR_NOERROR) controlId = control.dwControlID;
    return rc;
}

namespace {
// One Boolean value of one channel of a control.
MIXERCONTROLDETAILS OneBoolean(std::uint32_t controlId, MIXERCONTROLDETAILS_BOOLEAN& b) {
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof(d);
    d.dwControlID = controlId;
    d.cChannels = 1;
    d.cbDetails = sizeof(b);
    d.paDetails = &b;
    return d;
}
}  // namespace

unsigned Mixer::GetControlValue(std::uint32_t controlId, std::uint32_t& value) {
    MIXERCONTROLDETAILS_BOOLEAN b{};
    MIXERCONTROLDETAILS d = OneBoolean(controlId, b);
    const MMRESULT rc = mixerGetControlDetailsW(reinterpret_cast<HMIXEROBJ>(handle_), &d,
                                                MIXER_GETCONTROLDETAILSF_VALUE);
    if (rc == MMSYSERR_NOERROR) value = static_cast<std::uint32_t>(b.fValue);
    return rc;
}

unsigned Mixer::SetControlValue(std::uint32_t controlId, std::uint32_t value) {
    MIXERCONTROLDETAILS_BOOLEAN b{};
    b.fValue = static_cast<LONG>(value);
    MIXERCONTROLDETAILS d = OneBoolean(controlId, b);
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(handle_), &d, MIXER_SETCONTROLDETAILSF_VALUE);
}

void Mixer::Close() {
    if (handle_) mixerClose(static_cast<HMIXER>(handle_));
    handle_ = nullptr;
}

}  // namespace vxm::win32
