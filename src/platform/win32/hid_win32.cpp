#include "platform/win32/hid_win32.h"

#include <setupapi.h>
#include <hidsdi.h>
#include <hidpi.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/handle_win32.h"
#include "platform/win32/library_win32.h"
#include "platform/win32/overlapped_read_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

constexpr GUID kHidClassGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace

// Every function may be missing; a missing one is never called. The
// libraries are released with the last holder of the bindings.
struct HidSystem::Api {
    Api() = default;
    Api(const Api&) = delete;
    Api& operator=(const Api&) = delete;
    // Declared first, freed last: the functions below point into them.
    Library setupApi;
    Library hidDll;
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
    a.setupApi = Library::FromSystemFolder(L"SetupApi.dll");
    if (a.setupApi) a.hidDll = Library::FromSystemFolder(L"HID.dll");
    const Library& setup = a.setupApi;
    const Library& hid = a.hidDll;
    a.GetClassDevs = setup.Bind<decltype(a.GetClassDevs)>("SetupDiGetClassDevsW");
    a.EnumDeviceInterfaces = setup.Bind<decltype(a.EnumDeviceInterfaces)>("SetupDiEnumDeviceInterfaces");
    a.GetDeviceInterfaceDetail = setup.Bind<decltype(a.GetDeviceInterfaceDetail)>("SetupDiGetDeviceInterfaceDetailW");
    a.GetDeviceRegistryProperty =
        setup.Bind<decltype(a.GetDeviceRegistryProperty)>("SetupDiGetDeviceRegistryPropertyW");
    a.DestroyDeviceInfoList = setup.Bind<decltype(a.DestroyDeviceInfoList)>("SetupDiDestroyDeviceInfoList");
    a.GetHidGuid = hid.Bind<decltype(a.GetHidGuid)>("HidD_GetHidGuid");
    a.GetAttributes = hid.Bind<decltype(a.GetAttributes)>("HidD_GetAttributes");
    a.GetPreparsedData = hid.Bind<decltype(a.GetPreparsedData)>("HidD_GetPreparsedData");
    a.FreePreparsedData = hid.Bind<decltype(a.FreePreparsedData)>("HidD_FreePreparsedData");
    a.GetCaps = hid.Bind<decltype(a.GetCaps)>("HidP_GetCaps");
    a.GetFeature = hid.Bind<decltype(a.GetFeature)>("HidD_GetFeature");
    a.SetFeature = hid.Bind<decltype(a.SetFeature)>("HidD_SetFeature");
    a.MaxUsageListLength = hid.Bind<decltype(a.MaxUsageListLength)>("HidP_MaxUsageListLength");
    a.GetUsagesEx = hid.Bind<decltype(a.GetUsagesEx)>("HidP_GetUsagesEx");
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
    Device(ApiRef api, HANDLE h) : apiRef_(std::move(api)), api_(*apiRef_), handle_(h) {}
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    std::optional<platform::HidCaps> Capabilities() override { return api_.Caps(handle_.Get()); }
    // Whatever the outcome, the error code the system reports afterwards.
    long Write(const std::uint8_t* data, std::size_t size) override {
        SetLastError(0);
        DWORD written = 0;
        WriteFile(handle_.Get(), data, static_cast<DWORD>(size), &written, nullptr);
        return static_cast<long>(GetLastError());
    }
    long GetFeature(std::uint8_t* buffer, std::size_t size) override {
        if (!api_.GetFeature) return ERROR_PROC_NOT_FOUND;
        SetLastError(0);
        if (api_.GetFeature(handle_.Get(), buffer, static_cast<ULONG>(size))) return 0;
        return static_cast<long>(GetLastError());
    }
    long SetFeature(const std::uint8_t* buffer, std::size_t size) override {
        if (!api_.SetFeature) return ERROR_PROC_NOT_FOUND;
        SetLastError(0);
        std::vector<std::uint8_t> copy(buffer, buffer + size);
        if (api_.SetFeature(handle_.Get(), copy.data(), static_cast<ULONG>(size))) return 0;
        return static_cast<long>(GetLastError());
    }
    std::uintptr_t NativeHandle() const override { return reinterpret_cast<std::uintptr_t>(handle_.Get()); }

private:
    ApiRef apiRef_;
    const HidSystem::Api& api_;
    UniqueHandle handle_;
};

class ReadChannel final : public platform::IHidReadChannel {
public:
    ReadChannel(ApiRef api, HANDLE h) : apiRef_(std::move(api)), api_(*apiRef_), read_(h) {
        if (read_.Handle() && api_.GetPreparsedData && api_.GetCaps && api_.GetPreparsedData(read_.Handle(), &pp_)) {
            HIDP_CAPS caps{};
            if (api_.GetCaps(pp_, &caps) == HIDP_STATUS_SUCCESS) length_ = caps.InputReportByteLength;
        }
    }
    ~ReadChannel() override { Close(); }
    ReadChannel(const ReadChannel&) = delete;
    ReadChannel& operator=(const ReadChannel&) = delete;

    int InputReportLength() const override { return length_; }
    long StartRead(std::uint8_t* buffer, std::size_t size) override { return read_.Start(buffer, size); }
    bool WaitForCompletion(platform::IStopSource& stop) override { return read_.Wait(stop); }
    bool Result(std::uint32_t& bytes, long& error) override { return read_.Result(bytes, error); }
    std::uint32_t MaxUsageListLength() override {
        if (!api_.MaxUsageListLength || !pp_) return 0;
        return api_.MaxUsageListLength(HidP_Input, 0, pp_);
    }
    bool GetUsages(const std::uint8_t* report, std::size_t size, std::vector<std::uint16_t>& usages) override {
        if (!api_.GetPreparsedData || !api_.GetUsagesEx || !api_.MaxUsageListLength) return false;
        PHIDP_PREPARSED_DATA fresh = nullptr;
        if (!read_.Handle() || !api_.GetPreparsedData(read_.Handle(), &fresh)) return false;
        // The data it replaces is released, not leaked on every report.
        if (pp_ && api_.FreePreparsedData) api_.FreePreparsedData(pp_);
        pp_ = fresh;
        // Room for every usage the collection can report, however many.
        const ULONG most = api_.MaxUsageListLength(HidP_Input, 0, pp_);
        std::vector<::USAGE_AND_PAGE> list(std::max<ULONG>(most, 1));
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
        read_.Close();
        if (pp_ && api_.FreePreparsedData) api_.FreePreparsedData(pp_);
        pp_ = nullptr;
    }

private:
    ApiRef apiRef_;
    const HidSystem::Api& api_;
    OverlappedRead read_;
    PHIDP_PREPARSED_DATA pp_ = nullptr;
    int length_ = 0;
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

}  // namespace vxm::win32
