#pragma once
// HID seam: enumeration of the HID interface class, opening a collection,
// reports, and the overlapped read channel of one read thread.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

// The usage selector of a HID top-level collection.
struct USAGE_AND_PAGE {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
};

struct HidCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
};

// One present interface of the HID class, as SetupAPI lists it.
struct HidInterface {
    u16 path;                      // empty when its detail could not be read
    std::vector<u16> hardwareIds;  // in the order the system gives them
};

inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorIoPending = 997;
inline constexpr long kErrorOperationAborted = 995;
inline constexpr long kErrorDeviceNotConnected = 1167;
inline constexpr long kErrorNotFound = 1168;

// Wakes a waiting read thread.
class IWaker {
public:
    virtual ~IWaker() = default;
    virtual void Wake() = 0;
};

// The stop a read thread obeys: asked before and after every wait, and able
// to wake the wait the moment it is set.
class IStopSource {
public:
    virtual ~IStopSource() = default;
    virtual bool Stopped() const = 0;
    virtual void AddWaker(IWaker* waker) = 0;
    virtual void RemoveWaker(IWaker* waker) = 0;
};

// A collection opened for the search (non-overlapped).
class IHidDevice {
public:
    virtual ~IHidDevice() = default;
    // HidD_GetAttributes, then the preparsed data and HidP_GetCaps; nothing
    // when any of them fails.
    virtual std::optional<HidCaps> Capabilities() = 0;
    // Each returns 0 or a Windows error code.
    virtual long Write(const std::uint8_t* data, std::size_t size) = 0;
    virtual long GetFeature(std::uint8_t* buffer, std::size_t size) = 0;
    virtual long SetFeature(const std::uint8_t* buffer, std::size_t size) = 0;
    virtual std::uintptr_t NativeHandle() const = 0;
};

// The overlapped reads of one read thread on its own handle.
class IHidReadChannel {
public:
    virtual ~IHidReadChannel() = default;
    // InputReportByteLength of the collection, 0 when unknown.
    virtual int InputReportLength() const = 0;
    // Starts a read of `size` bytes into `buffer` (which must live until the
    // read completes or Close returns); returns the error code the system
    // reports afterwards (ERROR_IO_PENDING for a started read).
    virtual long StartRead(std::uint8_t* buffer, std::size_t size) = 0;
    // Sleeps until the pending read completes (true) or the stop is set
    // (false), without waking in between.
    virtual bool WaitForCompletion(IStopSource& stop) = 0;
    // Outcome of the completed read: true with the byte count, or false with
    // the error code.
    virtual bool Result(std::uint32_t& bytes, long& error) = 0;
    // Button usages of an input report: the longest usage list (0 when
    // unknown), and every usage the report holds, however long the list (the
    // preparsed data is read again for it and the old one released).
    virtual std::uint32_t MaxUsageListLength() = 0;
    virtual bool GetUsages(const std::uint8_t* report, std::size_t size, std::vector<std::uint16_t>& usages) = 0;
    // Cancels a pending read and waits, however long that takes, until the
    // read has finished with the buffer; then closes. Called on the thread
    // that started the read whenever one is pending; closing twice is harmless.
    virtual void Close() = 0;
};

class IHidSystem {
public:
    virtual ~IHidSystem() = default;
    // Present interfaces of the HID class; empty when SetupAPI is missing.
    virtual std::vector<HidInterface> EnumerateInterfaces() = 0;
    // Null when the path cannot be opened or HID.dll is missing.
    virtual std::unique_ptr<IHidDevice> Open(u16view path, bool overlapped) = 0;
    virtual std::unique_ptr<IHidReadChannel> OpenReadChannel(u16view path) = 0;
};

}  // namespace vxm::platform
