#include "platform/win32/hid_win32.h"

#include <setupapi.h>
#include <hidsdi.h>
#include <hidpi.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/wide.h"

namespace vxm::win32 {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path(folder, n);
    path += L"\\";
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace {

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

constexpr GUID kHidClassGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace

// Every function may be missing; a missing one is never called. The
// libraries are released with the last holder of the bindings.
struct HidSystem::Api {
    Api() = default;
    Api(const Api&) = delete;
    Api& operator=(const Api&) = delete;
    ~Api() {
        if (hidDll) FreeLibrary(hidDll);
        if (setupApi) FreeLibrary(setupApi);
    }
    HMODULE setupApi = nullptr;
    HMODULE hidDll = nullptr;
    // Missing before Windows Vista; CancelIo then cancels the reads this
    // thread started, which is all a read channel needs.
    BOOL(WINAPI* CancelIoEx)(HANDLE, LPOVERLAPPED) = nullptr;
    decltype(&SetupDiGetClassDevsW) GetClassDevs = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) EnumDeviceInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailW) GetDeviceInterfaceDetail = nullptr;
    decltype(&SetupDiGetDeviceRegistryPropertyW) GetDeviceRegistryProperty = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = nullptr;
    decltype(&HidD_GetHidGuid) GetHidGuid = nullptr;
    decltype(&HidD_GetAttributes) GetAttributes = nullptr;
    decltype(&HidD_GetPreparsedData) GetPreparsedData = nullptr;
    decltype(&HidD_FreePreparsedData) FreePreparsedData = nullptr;
    decltype(&HidP_GetCaps) GetCaps = nullptr;
    decltype(&HidD_GetFeature) GetFeature = nullptr;
    decltype(&HidD_SetFeature) SetFeature = nullptr;
    decltype(&HidP_MaxUsageListLength) MaxUsageListLength = nullptr;
    decltype(&HidP_GetUsagesEx) GetUsagesEx = nullptr;

    bool CanEnumerate() const {
        return GetClassDevs && EnumDeviceInterfaces && GetDeviceInterfaceDetail && GetDeviceRegistryProperty &&
               DestroyDeviceInfoList;
    }
    bool CanQueryCaps() const { return GetAttributes && GetPreparsedData && FreePreparsedData && GetCaps; }

    std::optional<platform::HidCaps> Caps(HANDLE h) const {
        if (!CanQueryCaps()) return std::nullopt;
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof(attributes);
        if (!GetAttributes(h, &attributes)) return std::nullopt;
        PHIDP_PREPARSED_DATA pp = nullptr;
        if (!GetPreparsedData(h, &pp)) return std::nullopt;
        HIDP_CAPS caps{};
        const NTSTATUS st = GetCaps(pp, &caps);
        FreePreparsedData(pp);
        if (st != HIDP_STATUS_SUCCESS) return std::nullopt;
        return platform::HidCaps{caps.Usage, caps.UsagePage, caps.InputReportByteLength, caps.OutputReportByteLength,
                                 caps.FeatureReportByteLength};
    }
};

HidSystem::HidSystem() : hidGuid_(kHidClassGuid) {
    auto api = std::make_shared<Api>();
    Api& a = *api;
    a.setupApi = LoadSystemLibrary(L"SetupApi.dll");
    if (a.setupApi) a.hidDll = LoadSystemLibrary(L"HID.dll");
    a.GetClassDevs = Bind<decltype(a.GetClassDevs)>(a.setupApi, "SetupDiGetClassDevsW");
    a.EnumDeviceInterfaces = Bind<decltype(a.EnumDeviceInterfaces)>(a.setupApi, "SetupDiEnumDeviceInterfaces");
    a.GetDeviceInterfaceDetail =
        Bind<decltype(a.GetDeviceInterfaceDetail)>(a.setupApi, "SetupDiGetDeviceInterfaceDetailW");
    a.GetDeviceRegistryProperty =
        Bind<decltype(a.GetDeviceRegistryProperty)>(a.setupApi, "SetupDiGetDeviceRegistryPropertyW");
    a.DestroyDeviceInfoList = Bind<decltype(a.DestroyDeviceInfoList)>(a.setupApi, "SetupDiDestroyDeviceInfoList");
    a.GetHidGuid = Bind<decltype(a.GetHidGuid)>(a.hidDll, "HidD_GetHidGuid");
    a.GetAttributes = Bind<decltype(a.GetAttributes)>(a.hidDll, "HidD_GetAttributes");
    a.GetPreparsedData = Bind<decltype(a.GetPreparsedData)>(a.hidDll, "HidD_GetPreparsedData");
    a.FreePreparsedData = Bind<decltype(a.FreePreparsedData)>(a.hidDll, "HidD_FreePreparsedData");
    a.GetCaps = Bind<decltype(a.GetCaps)>(a.hidDll, "HidP_GetCaps");
    a.GetFeature = Bind<decltype(a.GetFeature)>(a.hidDll, "HidD_GetFeature");
    a.SetFeature = Bind<decltype(a.SetFeature)>(a.hidDll, "HidD_SetFeature");
    a.MaxUsageListLength = Bind<decltype(a.MaxUsageListLength)>(a.hidDll, "HidP_MaxUsageListLength");
    a.GetUsagesEx = Bind<decltype(a.GetUsagesEx)>(a.hidDll, "HidP_GetUsagesEx");
    a.CancelIoEx = Bind<decltype(a.CancelIoEx)>(GetModuleHandleW(L"kernel32.dll"), "CancelIoEx");
    if (a.GetHidGuid) a.GetHidGuid(&hidGuid_);
    api_ = std::move(api);
}

HidSystem::~HidSystem() = default;

std::vector<platform::HidInterface> HidSystem::EnumerateInterfaces() {
    std::vector<platform::HidInterface> out;
    const Api& a = *api_;
    if (!a.CanEnumerate()) return out;
    HDEVINFO set = a.GetClassDevs(&hidGuid_, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return out;
    std::vector<BYTE> ids(32768);
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof(iface);
        if (!a.EnumDeviceInterfaces(set, nullptr, &hidGuid_, i, &iface)) break;
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof(info);
        DWORD required = 0;
        a.GetDeviceInterfaceDetail(set, &iface, nullptr, 0, &required, &info);
        if (required == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) continue;

        platform::HidInterface entry;
        std::fill(ids.begin(), ids.end(), BYTE{0});
        a.GetDeviceRegistryProperty(set, &info, SPDRP_HARDWAREID, nullptr, ids.data(),
                                    static_cast<DWORD>(ids.size() - 4), nullptr);
        // A multi-string: NUL-separated, ended by an empty string. The buffer
        // keeps two NULs at its end whatever the system wrote.
        const auto* text = reinterpret_cast<const wchar_t*>(ids.data());
        const std::size_t units = ids.size() / sizeof(wchar_t);
        for (std::size_t pos = 0; pos < units && text[pos] != L'\0';) {
            const std::size_t len = wcsnlen(text + pos, units - pos);
            entry.hardwareIds.push_back(U(std::wstring(text + pos, len)));
            pos += len + 1;
        }

        std::vector<BYTE> detailBuf(required + sizeof(wchar_t));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBuf.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (a.GetDeviceInterfaceDetail(set, &iface, detail, required, nullptr, nullptr)) {
            entry.path = U(detail->DevicePath);
        }
        out.push_back(std::move(entry));
    }
    a.DestroyDeviceInfoList(set);
    return out;
}

namespace {

using ApiRef = std::shared_ptr<const HidSystem::Api>;

class Device final : public platform::IHidDevice {
public:
    Device(ApiRef api, HANDLE h) : apiRef_(std::move(api)), api_(*apiRef_), h_(h) {}
    ~Device() override { CloseHandle(h_); }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    std::optional<platform::HidCaps> Capabilities() override { return api_.Caps(h_); }
    long Write(const std::uint8_t* data, std::size_t size) override {
        SetLastError(0);
        DWORD written = 0;
        if (!WriteFile(h_, data, static_cast<DWORD>(size), &written, nullptr)) return static_cast<long>(GetLastError());
        return static_cast<long>(GetLastError());
    }
    long GetFeature(std::uint8_t* buffer, std::size_t size) override {
        if (!api_.GetFeature) return ERROR_PROC_NOT_FOUND;
        SetLastError(0);
        return api_.GetFeature(h_, buffer, static_cast<ULONG>(size)) ? 0 : static_cast<long>(GetLastError());
    }
    long SetFeature(const std::uint8_t* buffer, std::size_t size) override {
        if (!api_.SetFeature) return ERROR_PROC_NOT_FOUND;
        SetLastError(0);
        std::vector<std::uint8_t> copy(buffer, buffer + size);
        return api_.SetFeature(h_, copy.data(), static_cast<ULONG>(size)) ? 0 : static_cast<long>(GetLastError());
    }
    std::uintptr_t NativeHandle() const override { return reinterpret_cast<std::uintptr_t>(h_); }

private:
    ApiRef apiRef_;
    const HidSystem::Api& api_;
    HANDLE h_;
};

VOID CALLBACK ReadDone(DWORD, DWORD, LPOVERLAPPED ov) {
    // hEvent is free for our use with ReadFileEx: it carries the "done" flag.
    *reinterpret_cast<volatile LONG*>(ov->hEvent) = 1;
}

class ReadChannel final : public platform::IHidReadChannel, private platform::IWaker {
public:
    ReadChannel(ApiRef api, HANDLE h) : apiRef_(std::move(api)), api_(*apiRef_), h_(h) {
        if (api_.GetPreparsedData && api_.GetCaps && api_.GetPreparsedData(h_, &pp_)) {
            HIDP_CAPS caps{};
            if (api_.GetCaps(pp_, &caps) == HIDP_STATUS_SUCCESS) length_ = caps.InputReportByteLength;
        }
    }
    // A stand-in device: any handle that delivers one report per read (a
    // message-mode pipe), with the input length given.
    ReadChannel(ApiRef api, HANDLE h, int inputLength, bool pipe)
        : apiRef_(std::move(api)), api_(*apiRef_), h_(h), length_(inputLength), pipe_(pipe) {}
    ~ReadChannel() override {
        Close();
        CloseHandle(wake_);
    }
    ReadChannel(const ReadChannel&) = delete;
    ReadChannel& operator=(const ReadChannel&) = delete;

    int InputReportLength() const override { return length_; }

    long StartRead(std::uint8_t* buffer, std::size_t size) override {
        if (h_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        ov_ = OVERLAPPED{};
        done_ = 0;
        ov_.hEvent = reinterpret_cast<HANDLE>(const_cast<LONG*>(&done_));
        SetLastError(0);
        if (ReadFileEx(h_, buffer, static_cast<DWORD>(size), &ov_, ReadDone)) pending_ = true;
        return static_cast<long>(GetLastError());
    }
    bool WaitForCompletion(platform::IStopSource& stop) override {
        // One alertable wait: the read's completion routine or the stop wakes
        // it; nothing else does, so an idle device costs no wake-ups.
        stop.AddWaker(this);
        bool completed = false;
        while (!stop.Stopped()) {
            const DWORD r = WaitForSingleObjectEx(wake_, INFINITE, TRUE);
            ++wakeUps_;
            if (r == WAIT_IO_COMPLETION && done_) {
                completed = true;
                break;
            }
            if (r == WAIT_FAILED) break;
        }
        stop.RemoveWaker(this);
        ResetEvent(wake_);
        if (completed) pending_ = false;
        return completed;
    }
    bool PollForCompletion() override {
        const DWORD r = SleepEx(1, TRUE);
        ++wakeUps_;
        if (r == WAIT_IO_COMPLETION && done_) {
            pending_ = false;
            return true;
        }
        return false;
    }
    std::uint64_t WakeUps() const override { return wakeUps_; }
    bool Result(std::uint32_t& bytes, long& error) override {
        DWORD n = 0;
        if (GetOverlappedResult(h_, &ov_, &n, FALSE)) {
            bytes = n;
            error = 0;
            return true;
        }
        error = static_cast<long>(GetLastError());
        // A stand-in whose other end went away is an unplugged device.
        if (pipe_ && (error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_BROKEN_PIPE)) {
            error = ERROR_DEVICE_NOT_CONNECTED;
        }
        return false;
    }
    std::uint32_t MaxUsageListLength() override {
        if (!api_.MaxUsageListLength || !pp_) return 0;
        return api_.MaxUsageListLength(HidP_Input, 0, pp_);
    }
    bool GetUsages(const std::uint8_t* report, std::size_t size, std::vector<std::uint16_t>& usages) override {
        if (!api_.GetPreparsedData || !api_.GetUsagesEx || !api_.MaxUsageListLength) return false;
        PHIDP_PREPARSED_DATA fresh = nullptr;
        if (!api_.GetPreparsedData(h_, &fresh)) return false;
        // The data it replaces is released, not leaked on every report.
        if (pp_ && api_.FreePreparsedData) api_.FreePreparsedData(pp_);
        pp_ = fresh;
        // Room for every usage the collection can report, however many.
        const ULONG most = api_.MaxUsageListLength(HidP_Input, 0, pp_);
        std::vector<USAGE_AND_PAGE> list(std::max<ULONG>(most, 1));
        ULONG length = static_cast<ULONG>(list.size());
        std::vector<std::uint8_t> copy(report, report + size);
        if (api_.GetUsagesEx(HidP_Input, 0, list.data(), &length, pp_, reinterpret_cast<PCHAR>(copy.data()),
                             static_cast<ULONG>(size)) != HIDP_STATUS_SUCCESS) {
            return false;
        }
        usages.clear();
        for (ULONG i = 0; i < length && i < list.size(); ++i) usages.push_back(list[i].Usage);
        return true;
    }
    void Close() override {
        if (h_ != INVALID_HANDLE_VALUE) {
            if (pending_) {
                // The read writes into the caller's buffer and into ov_ until
                // it completes: cancel it and wait for its completion routine,
                // however slow the driver is, before anything goes.
                if (api_.CancelIoEx) {
                    api_.CancelIoEx(h_, &ov_);
                } else {
                    CancelIo(h_);
                }
                while (!done_) SleepEx(INFINITE, TRUE);
                pending_ = false;
            }
            CloseHandle(h_);
            h_ = INVALID_HANDLE_VALUE;
        }
        if (pp_ && api_.FreePreparsedData) api_.FreePreparsedData(pp_);
        pp_ = nullptr;
    }

private:
    void Wake() override { SetEvent(wake_); }

    ApiRef apiRef_;
    const HidSystem::Api& api_;
    HANDLE h_;
    PHIDP_PREPARSED_DATA pp_ = nullptr;
    int length_ = 0;
    bool pipe_ = false;
    HANDLE wake_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::uint64_t wakeUps_ = 0;
    OVERLAPPED ov_{};
    volatile LONG done_ = 0;
    bool pending_ = false;
};

HANDLE OpenPath(u16view path, bool overlapped) {
    return CreateFileW(W(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::unique_ptr<platform::IHidDevice> HidSystem::Open(u16view path, bool overlapped) {
    if (!api_->CanQueryCaps()) return nullptr;
    HANDLE h = OpenPath(path, overlapped);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Device>(api_, h);
}

std::unique_ptr<platform::IHidReadChannel> HidSystem::OpenReadChannel(u16view path) {
    // A failed open still gives a channel: its first read fails with
    // ERROR_INVALID_HANDLE and the thread ends quietly.
    return std::make_unique<ReadChannel>(api_, OpenPath(path, true));
}

std::unique_ptr<platform::IHidReadChannel> HidSystem::OpenPipeReadChannel(u16view pipePath, int inputReportLength) {
    HANDLE h = CreateFileW(W(pipePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    }
    return std::make_unique<ReadChannel>(api_, h, inputReportLength, true);
}

void HidSystem::DebugOutput(u16view text) { OutputDebugStringW(W(text).c_str()); }

}  // namespace vxm::win32
