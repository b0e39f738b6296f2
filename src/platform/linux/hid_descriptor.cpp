#include "platform/linux/hid_descriptor.h"

#include <algorithm>

namespace vxm::linuxos {
namespace {

constexpr std::uint64_t kMaxReportBits = 65534ull * 8;  // with the ID byte, 65535 bytes
constexpr std::size_t kMaxLocalUsages = 4096;
constexpr std::size_t kMaxPushDepth = 64;

enum ReportType { kInput = 0, kOutput = 1, kFeature = 2 };

struct Globals {
    std::uint32_t usagePage = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

struct Locals {
    std::vector<std::uint32_t> usages;
    bool hasMin = false, hasMax = false;
    std::uint32_t usageMin = 0, usageMax = 0;
    void Clear() { *this = Locals(); }
};

// Bits used so far by one report (type and ID), and where the items of each
// collection that uses it end.
struct ReportUse {
    int type;
    std::uint8_t id;
    std::uint64_t bits = 0;
    std::vector<std::pair<int, std::uint64_t>> ends;
};

ReportUse& Use(std::vector<ReportUse>& uses, int type, std::uint8_t id) {
    for (ReportUse& u : uses) {
        if (u.type == type && u.id == id) return u;
    }
    uses.push_back({type, id, 0, {}});
    return uses.back();
}

std::uint32_t Extended(std::uint32_t value, std::size_t dataSize, std::uint32_t page) {
    return dataSize == 4 ? value : ((page & 0xFFFFu) << 16) | (value & 0xFFFFu);
}

// Little-endian bits [bitPos, bitPos + n) of `data`; false past its end.
bool Bits(const std::uint8_t* data, std::size_t bytes, std::uint64_t bitPos, std::uint32_t n, std::uint32_t& out) {
    if (n > 32 || bitPos + n > static_cast<std::uint64_t>(bytes) * 8) return false;
    out = 0;
    for (std::uint32_t j = 0; j < n; ++j) {
        const std::uint64_t p = bitPos + j;
        if ((data[p >> 3] >> (p & 7)) & 1u) out |= 1u << j;
    }
    return true;
}

}  // namespace

std::uint32_t HidButtonField::UsageAt(std::uint32_t i) const {
    if (!usages.empty()) {
        if (i < usages.size()) return usages[i];
        return array ? 0 : usages.back();  // the last usage covers the remaining fields
    }
    if (usageMax < usageMin) return 0;
    if (i > usageMax - usageMin) return array ? 0 : usageMax;
    return usageMin + i;
}

std::uint32_t HidCollection::MaxUsageListLength() const {
    std::uint64_t total = 0;
    for (const HidButtonField& f : inputButtons) total += f.count;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
}

bool HidCollection::GetUsages(const std::uint8_t* report, std::size_t size, std::vector<std::uint16_t>& usages) const {
    if (!report || size < 1) return false;
    const std::uint8_t id = report[0];
    if (std::find(inputReportIds.begin(), inputReportIds.end(), id) == inputReportIds.end()) return false;
    const std::uint8_t* data = report + 1;
    const std::size_t bytes = size - 1;
    std::vector<std::uint16_t> found;
    for (const HidButtonField& f : inputButtons) {
        if (f.reportId != id) continue;
        for (std::uint32_t k = 0; k < f.count; ++k) {
            std::uint32_t value = 0;
            if (!Bits(data, bytes, f.bitOffset + static_cast<std::uint64_t>(k) * f.bitSize, f.bitSize, value)) {
                return false;
            }
            std::uint32_t pressed = 0;
            if (!f.array) {
                if (value != 0) pressed = f.UsageAt(k);
            } else {
                std::int64_t v = value;
                if (f.logicalMin < 0 && f.bitSize > 0 && f.bitSize < 32 && (value >> (f.bitSize - 1)) & 1u) {
                    v -= std::int64_t{1} << f.bitSize;  // a signed field
                }
                if (v >= f.logicalMin && v <= f.logicalMax) pressed = f.UsageAt(static_cast<std::uint32_t>(v - f.logicalMin));
            }
            if ((pressed & 0xFFFFu) != 0) found.push_back(static_cast<std::uint16_t>(pressed & 0xFFFFu));
        }
    }
    usages = std::move(found);
    return true;
}

std::optional<HidReportDescriptor> ParseReportDescriptor(const std::uint8_t* data, std::size_t size) {
    if (!data && size != 0) return std::nullopt;
    HidReportDescriptor out;
    Globals g;
    std::vector<Globals> pushed;
    Locals l;
    std::vector<ReportUse> uses;
    struct Pending {
        int collection;
        HidButtonField field;
    };
    std::vector<Pending> buttons;
    int depth = 0;
    int top = -1;
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t prefix = data[pos];
        if (prefix == 0xFE) {
            // A long item: none is defined, so it is skipped.
            if (size - pos < 3 || size - pos - 3 < data[pos + 1]) return std::nullopt;
            pos += 3 + data[pos + 1];
            continue;
        }
        const std::size_t n = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (size - pos - 1 < n) return std::nullopt;
        std::uint32_t u = 0;
        for (std::size_t i = 0; i < n; ++i) u |= static_cast<std::uint32_t>(data[pos + 1 + i]) << (8 * i);
        std::int32_t s = static_cast<std::int32_t>(u);
        if (n == 1) s = static_cast<std::int8_t>(u);
        if (n == 2) s = static_cast<std::int16_t>(u);
        pos += 1 + n;
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (type == 0) {  // main
            if (tag == 0x8 || tag == 0x9 || tag == 0xB) {
                const int report = tag == 0x8 ? kInput : (tag == 0x9 ? kOutput : kFeature);
                ReportUse& use = Use(uses, report, g.reportId);
                const std::uint64_t bits = static_cast<std::uint64_t>(g.reportSize) * g.reportCount;
                const std::uint64_t offset = use.bits;
                if (bits > kMaxReportBits || offset + bits > kMaxReportBits) return std::nullopt;
                use.bits = offset + bits;
                if (depth > 0 && top >= 0) {
                    auto end = std::find_if(use.ends.begin(), use.ends.end(), [top](const auto& e) { return e.first == top; });
                    if (end == use.ends.end()) end = use.ends.insert(use.ends.end(), {top, 0});
                    end->second = std::max(end->second, offset + bits);
                    const bool constant = u & 1;
                    const bool array = !(u & 2);
                    const bool hasUsages = !l.usages.empty() || (l.hasMin && l.hasMax);
                    if (report == kInput && !constant && hasUsages && g.reportCount > 0 && g.reportSize > 0 &&
                        (array ? g.reportSize <= 32 : g.reportSize == 1)) {
                        HidButtonField f;
                        f.reportId = g.reportId;
                        f.bitOffset = static_cast<std::uint32_t>(offset);
                        f.bitSize = g.reportSize;
                        f.count = g.reportCount;
                        f.array = array;
                        f.logicalMin = g.logicalMin;
                        f.logicalMax = g.logicalMax;
                        f.usages = l.usages;
                        f.usageMin = l.usageMin;
                        f.usageMax = l.hasMax ? l.usageMax : l.usageMin;
                        buttons.push_back({top, std::move(f)});
                    }
                }
            } else if (tag == 0xA) {  // collection
                if (depth == 0) {
                    HidCollection c;
                    const std::uint32_t first = !l.usages.empty() ? l.usages.front() : (l.hasMin ? l.usageMin : 0);
                    c.usagePage = static_cast<std::uint16_t>(first >> 16);
                    c.usage = static_cast<std::uint16_t>(first & 0xFFFFu);
                    out.collections.push_back(std::move(c));
                    top = static_cast<int>(out.collections.size()) - 1;
                }
                ++depth;
            } else if (tag == 0xC) {  // end of collection
                if (depth > 0) --depth;
            }
            l.Clear();
        } else if (type == 1) {  // global
            switch (tag) {
                case 0x0: g.usagePage = u & 0xFFFFu; break;
                case 0x1: g.logicalMin = s; break;
                case 0x2:
                    // A maximum written without a sign bit of its own reads unsigned.
                    g.logicalMax = (s < g.logicalMin && u <= 0x7FFFFFFFu) ? static_cast<std::int32_t>(u) : s;
                    break;
                case 0x7: g.reportSize = u; break;
                case 0x8:
                    g.reportId = static_cast<std::uint8_t>(u & 0xFFu);
                    out.numbered = true;
                    break;
                case 0x9: g.reportCount = u; break;
                case 0xA:
                    if (pushed.size() < kMaxPushDepth) pushed.push_back(g);
                    break;
                case 0xB:
                    if (!pushed.empty()) {
                        g = pushed.back();
                        pushed.pop_back();
                    }
                    break;
                default: break;
            }
        } else if (type == 2) {  // local
            switch (tag) {
                case 0x0:
                    if (l.usages.size() < kMaxLocalUsages) l.usages.push_back(Extended(u, n, g.usagePage));
                    break;
                case 0x1:
                    l.usageMin = Extended(u, n, g.usagePage);
                    l.hasMin = true;
                    break;
                case 0x2:
                    l.usageMax = Extended(u, n, g.usagePage);
                    l.hasMax = true;
                    break;
                default: break;
            }
        }
    }
    for (const ReportUse& use : uses) {
        for (const auto& [index, endBit] : use.ends) {
            if (endBit == 0) continue;
            const auto length = static_cast<std::uint16_t>((endBit + 7) / 8 + 1);
            HidCollection& c = out.collections[static_cast<std::size_t>(index)];
            std::uint16_t& field = use.type == kInput    ? c.inputReportByteLength
                                   : use.type == kOutput ? c.outputReportByteLength
                                                         : c.featureReportByteLength;
            field = std::max(field, length);
            if (use.type == kInput) c.inputReportIds.push_back(use.id);
        }
    }
    for (Pending& p : buttons) out.collections[static_cast<std::size_t>(p.collection)].inputButtons.push_back(std::move(p.field));
    return out;
}

}  // namespace vxm::linuxos
