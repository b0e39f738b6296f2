#include "platform/linux/hid_linux.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vxm::linuxos {
namespace {

constexpr long kErrorInvalidUserBuffer = 1784;
// The size field of the feature ioctls holds 14 bits.
constexpr std::size_t kMaxIoctlSize = (1u << 14) - 1;

u16 Hex(unsigned value, int digits) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    u16 out(static_cast<std::size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = kHex[value & 15];
        value >>= 4;
    }
    return out;
}

std::optional<HidReportDescriptor> DescriptorOf(int fd) {
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) return std::nullopt;
    hidraw_report_descriptor d {};
    d.size = static_cast<__u32>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &d) < 0) return std::nullopt;
    return ParseReportDescriptor(d.value, std::min<std::size_t>(d.size, sizeof(d.value)));
}

// The descriptor as sysfs shows it, readable without opening the node.
std::optional<HidReportDescriptor> DescriptorOfNode(const std::string& node) {
    const std::size_t slash = node.rfind('/');
    const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    std::vector<std::uint8_t> bytes;
    if (ReadRegularFileAt(AT_FDCWD, "/sys/class/hidraw/" + name + "/device/report_descriptor", 65536, bytes) !=
        platform::kErrorSuccess) {
        return std::nullopt;
    }
    return ParseReportDescriptor(bytes.data(), bytes.size());
}

UniqueFd OpenNode(const std::string& node, bool nonBlocking) {
    if (node.empty()) return UniqueFd();
    return UniqueFd(::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | (nonBlocking ? O_NONBLOCK : 0)));
}

class Device final : public platform::IHidDevice {
public:
    Device(UniqueFd fd, std::size_t collection) : fd_(std::move(fd)), collection_(collection) {}

    std::optional<platform::HidCaps> Capabilities() override {
        hidraw_devinfo info {};
        if (::ioctl(fd_.Get(), HIDIOCGRAWINFO, &info) < 0) return std::nullopt;
        const std::optional<HidReportDescriptor> d = DescriptorOf(fd_.Get());
        if (!d || collection_ >= d->collections.size()) return std::nullopt;
        const HidCollection& c = d->collections[collection_];
        return platform::HidCaps{c.usage, c.usagePage, c.inputReportByteLength, c.outputReportByteLength,
                                 c.featureReportByteLength};
    }
    long Write(const std::uint8_t* data, std::size_t size) override {
        if (!data || size == 0) return platform::kErrorInvalidParameter;
        for (;;) {
            const ssize_t n = ::write(fd_.Get(), data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return WindowsError(errno);
            return static_cast<std::size_t>(n) == size ? platform::kErrorSuccess : kErrorWriteFault;
        }
    }
    long GetFeature(std::uint8_t* buffer, std::size_t size) override {
        if (!buffer || size == 0 || size > kMaxIoctlSize) return platform::kErrorInvalidParameter;
        return ::ioctl(fd_.Get(), HIDIOCGFEATURE(size), buffer) < 0 ? WindowsError(errno) : platform::kErrorSuccess;
    }
    long SetFeature(const std::uint8_t* buffer, std::size_t size) override {
        if (!buffer || size == 0 || size > kMaxIoctlSize) return platform::kErrorInvalidParameter;
        // The ioctl takes a writable buffer; the caller's stays as it was.
        std::vector<std::uint8_t> copy(buffer, buffer + size);
        return ::ioctl(fd_.Get(), HIDIOCSFEATURE(size), copy.data()) < 0 ? WindowsError(errno)
                                                                          : platform::kErrorSuccess;
    }
    std::uintptr_t NativeHandle() const override { return static_cast<std::uintptr_t>(fd_.Get()); }

private:
    UniqueFd fd_;
    std::size_t collection_;
};

class ReadChannel final : public platform::IHidReadChannel, private platform::IWaker {
public:
    ReadChannel(UniqueFd fd, HidReadCollection collection)
        : fd_(std::move(fd)),
          wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          collection_(std::move(collection)) {}
    ~ReadChannel() override { Close(); }
    ReadChannel(const ReadChannel&) = delete;
    ReadChannel& operator=(const ReadChannel&) = delete;

    int InputReportLength() const override { return collection_.caps.inputReportByteLength; }

    long StartRead(std::uint8_t* buffer, std::size_t size) override {
        if (!fd_.Valid() || !wake_.Valid()) return platform::kErrorInvalidHandle;
        buffer_ = buffer;
        size_ = size;
        // Room for the report ID byte and at least one byte of data.
        started_ = buffer && size >= 2;
        done_ = false;
        return started_ ? platform::kErrorIoPending : kErrorInvalidUserBuffer;
    }

    bool WaitForCompletion(platform::IStopSource& stop) override {
        // One poll: a report, the node going away, or the stop ends it;
        // nothing else wakes an idle thread.
        stop.AddWaker(this);
        bool completed = false;
        while (!stop.Stopped()) {
            pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {fd_.Get(), POLLIN, 0}};
            const int r = ::poll(fds, started_ ? 2 : 1, -1);
            if (r < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (started_ && fds[1].revents != 0 && TryRead(fds[1].revents)) {
                completed = true;
                break;
            }
            if (fds[0].revents != 0 && !stop.Stopped()) DrainWake();
        }
        stop.RemoveWaker(this);
        DrainWake();
        return completed;
    }

    bool Result(std::uint32_t& bytes, long& error) override {
        if (!done_) {
            error = platform::kErrorIoPending;
            return false;
        }
        if (error_ != 0) {
            error = error_;
            return false;
        }
        bytes = bytes_;
        error = 0;
        return true;
    }

    std::uint32_t MaxUsageListLength() override { return collection_.caps.MaxUsageListLength(); }

    bool GetUsages(const std::uint8_t* report, std::size_t size, std::vector<std::uint16_t>& usages) override {
        return collection_.caps.GetUsages(report, size, usages);
    }

    // Reads are never left running in the kernel: closing is all there is.
    void Close() override {
        fd_.Reset();
        started_ = false;
    }

private:
    void Wake() override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof(one));
    }

    void DrainWake() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wake_.Get(), &count, sizeof(count));
    }

    void Complete(std::uint32_t bytes, long error) {
        done_ = true;
        bytes_ = bytes;
        error_ = error;
    }

    // One read after poll() saw `revents`; true when it completed the read.
    bool TryRead(short revents) {
        if (revents & POLLNVAL) {
            Complete(0, platform::kErrorDeviceNotConnected);
            return true;
        }
        const bool numbered = collection_.numbered;
        std::uint8_t* into = numbered ? buffer_ : buffer_ + 1;
        const std::size_t room = numbered ? size_ : size_ - 1;
        const ssize_t n = ::read(fd_.Get(), into, room);
        if (n > 0) {
            if (!numbered) buffer_[0] = 0;
            const std::size_t got = static_cast<std::size_t>(n) + (numbered ? 0 : 1);
            const std::vector<std::uint8_t>& ids = collection_.caps.inputReportIds;
            if (collection_.filter && std::find(ids.begin(), ids.end(), buffer_[0]) == ids.end()) {
                std::memset(buffer_, 0, size_);  // another collection's report
                return false;
            }
            // Every report of the collection arrives at its full length, as on Windows.
            std::memset(buffer_ + got, 0, size_ - got);
            Complete(static_cast<std::uint32_t>(size_), 0);
            return true;
        }
        if (n == 0) {
            // An empty message of a stand-in, or its other end gone.
            Complete(0, (revents & (POLLHUP | POLLERR)) ? platform::kErrorDeviceNotConnected : 0);
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            if (!(revents & (POLLHUP | POLLERR))) return false;
        }
        // Whatever else a read of the node fails with, it cannot be read again.
        Complete(0, platform::kErrorDeviceNotConnected);
        return true;
    }

    UniqueFd fd_;
    UniqueFd wake_;
    HidReadCollection collection_;
    std::uint8_t* buffer_ = nullptr;
    std::size_t size_ = 0;
    bool started_ = false;
    bool done_ = false;
    std::uint32_t bytes_ = 0;
    long error_ = 0;
};

}  // namespace

std::vector<u16> HidHardwareIds(const HidDeviceIds& ids, std::uint16_t usagePage, std::uint16_t usage, int collection) {
    const u16 vidPid = u"HID\\VID_" + Hex(ids.vendorId, 4) + u"&PID_" + Hex(ids.productId, 4);
    const u16 rev = u"&REV_" + Hex(ids.release, 4);
    const u16 col = collection > 0 ? u"&Col" + Hex(static_cast<unsigned>(collection), 2) : u16();
    std::vector<u16> out;
    if (ids.interfaceNumber >= 0) {
        const u16 mi = u"&MI_" + Hex(static_cast<unsigned>(ids.interfaceNumber) & 0xFF, 2);
        out.push_back(vidPid + rev + mi + col);
        out.push_back(vidPid + mi + col);
    }
    out.push_back(vidPid + rev + col);
    out.push_back(vidPid + col);
    if (!col.empty()) out.push_back(vidPid);
    const u16 up = u"UP:" + Hex(usagePage, 4) + u"_U:" + Hex(usage, 4);
    out.push_back(u"HID\\VID_" + Hex(ids.vendorId, 4) + u"&" + up);
    out.push_back(u"HID_DEVICE_" + up);
    out.push_back(u"HID_DEVICE");
    return out;
}

void SplitCollectionPath(const std::string& path, std::string& node, std::size_t& index) {
    node = path;
    index = 0;
    const std::size_t amp = path.rfind("&col");
    if (amp == std::string::npos || path.size() - amp != 6) return;
    unsigned value = 0;
    for (std::size_t i = amp + 4; i < path.size(); ++i) {
        const char c = path[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : (c >= 'A' && c <= 'F' ? c - 'A' + 10 : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1));
        if (digit < 0) return;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (value == 0) return;
    node = path.substr(0, amp);
    index = value - 1;
}

std::vector<platform::HidInterface> HidSystem::EnumerateInterfaces() {
    std::vector<platform::HidInterface> out;
    hid_device_info* list = hid_enumerate(0, 0);
    std::vector<std::string> seen;
    for (const hid_device_info* d = list; d; d = d->next) {
        if (!d->path) continue;
        const std::string node = d->path;
        // hidapi lists a node once per collection it finds; the descriptor tells.
        if (std::find(seen.begin(), seen.end(), node) != seen.end()) continue;
        seen.push_back(node);
        HidDeviceIds ids;
        ids.vendorId = d->vendor_id;
        ids.productId = d->product_id;
        ids.release = d->release_number;
        ids.interfaceNumber = d->bus_type == HID_API_BUS_USB ? d->interface_number : -1;
        const std::optional<HidReportDescriptor> descriptor = DescriptorOfNode(node);
        if (!descriptor || descriptor->collections.empty()) {
            out.push_back({Utf16(node), HidHardwareIds(ids, d->usage_page, d->usage, 0)});
            continue;
        }
        const std::size_t count = descriptor->collections.size();
        for (std::size_t i = 0; i < count; ++i) {
            const HidCollection& c = descriptor->collections[i];
            std::string path = node;
            if (count > 1) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                const std::size_t n = (i + 1) & 0xFF;
                path += "&col";
                path += kHex[n >> 4];
                path += kHex[n & 15];
            }
            out.push_back({Utf16(path), HidHardwareIds(ids, c.usagePage, c.usage, count > 1 ? static_cast<int>(i + 1) : 0)});
        }
    }
    hid_free_enumeration(list);
    return out;
}

std::unique_ptr<platform::IHidDevice> HidSystem::Open(u16view path, bool overlapped) {
    std::string node;
    std::size_t index = 0;
    SplitCollectionPath(Utf8(path), node, index);
    UniqueFd fd = OpenNode(node, overlapped);
    if (!fd.Valid()) return nullptr;
    return std::make_unique<Device>(std::move(fd), index);
}

std::unique_ptr<platform::IHidReadChannel> HidSystem::OpenReadChannel(u16view path) {
    std::string node;
    std::size_t index = 0;
    SplitCollectionPath(Utf8(path), node, index);
    // A node that cannot be opened still gives a channel: its first read
    // fails with ERROR_INVALID_HANDLE and the thread ends quietly.
    UniqueFd fd = OpenNode(node, true);
    HidReadCollection collection;
    if (fd.Valid()) {
        if (const std::optional<HidReportDescriptor> d = DescriptorOf(fd.Get()); d && index < d->collections.size()) {
            collection.caps = d->collections[index];
            collection.numbered = d->numbered;
            collection.filter = d->collections.size() > 1;
        }
    }
    return MakeHidReadChannel(std::move(fd), std::move(collection));
}

std::unique_ptr<platform::IHidReadChannel> MakeHidReadChannel(UniqueFd fd, HidReadCollection collection) {
    return std::make_unique<ReadChannel>(std::move(fd), std::move(collection));
}

}  // namespace vxm::linuxos
