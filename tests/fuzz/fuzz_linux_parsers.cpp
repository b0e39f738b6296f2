// The Linux backends' readers of outside data, chosen by the first byte:
//  0: a HID report descriptor (from the hidraw device), then input reports of
//     any size through each collection's usage reader: the button usages a
//     report gives never exceed the collection's longest usage list;
//  1: config.ini as the INI reader scans it, fed in pieces the fuzzer cuts:
//     the value found is the same however the file is cut, and never longer
//     than the reader's bound;
//  2: a user-dirs.dirs text: the documents folder is empty or absolute (with
//     an absolute home folder);
//  3: registry names and value types as the file-backed registry stores
//     them (in a temporary folder): an escaped name has no "/", no control
//     character and, for a key, no "."; two names with the same escape are
//     the same text; every type's suffix parses back to it; a value written
//     under a fuzzer-chosen key and name reads back with its type and bytes;
//  4: a tray icon file: every image read from it is 1 to 512 pixels each way
//     with exactly its pixels' bytes, and takes the muted mark.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/hid_descriptor.h"
#include "platform/linux/ico_linux.h"
#include "platform/linux/ini_linux.h"
#include "platform/linux/registry_linux.h"
#include "ui/mute_mark.h"

namespace vxm::linuxos {
namespace {

void Descriptor(FuzzedDataProvider& in) {
    const auto bytes = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 512));
    const auto d = ParseReportDescriptor(bytes.data(), bytes.size());
    if (!d) return;
    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) {
        auto report = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 80));
        for (const HidCollection& c : d->collections) {
            std::vector<std::uint16_t> usages;
            if (!c.GetUsages(report.empty() ? nullptr : report.data(), report.size(), usages)) continue;
            FUZZ_CHECK(usages.size() <= c.MaxUsageListLength(), "a report gives %zu usages, the longest list is %u",
                       usages.size(), c.MaxUsageListLength());
        }
    }
}

void Ini(FuzzedDataProvider& in) {
    static const char16_t* kSections[] = {u"options", u"IncludeHIDDeviceList", u" Options ", u""};
    static const char16_t* kKeys[] = {u"ProfileRegFolder", u"id1", u"profilefolder", u""};
    const u16 section = in.ConsumeBool() ? u16(in.PickValueInArray(kSections)) : fuzz::Text(in, 8);
    const u16 key = in.ConsumeBool() ? u16(in.PickValueInArray(kKeys)) : fuzz::Text(in, 8);
    const auto cuts = in.ConsumeBytes<std::uint8_t>(8);
    const auto file = in.ConsumeRemainingBytes<std::uint8_t>();
    IniScanner whole(section, key);
    whole.Feed(file.data(), file.size());
    whole.Finish();
    IniScanner pieces(section, key);
    std::size_t at = 0;
    for (std::size_t i = 0; at < file.size() && !pieces.Done(); ++i) {
        const std::size_t n = std::min<std::size_t>(file.size() - at, i < cuts.size() ? cuts[i] % 7 + 1 : file.size());
        pieces.Feed(file.data() + at, n);
        at += n;
    }
    pieces.Finish();
    FUZZ_CHECK(whole.Value() == pieces.Value(), "the value depends on how the file is cut (%s against %s)",
               whole.Value() ? fuzz::Show(*whole.Value()).c_str() : "none",
               pieces.Value() ? fuzz::Show(*pieces.Value()).c_str() : "none");
    if (whole.Value()) FUZZ_CHECK(whole.Value()->size() <= kMaxIniValue, "a value of %zu units", whole.Value()->size());
}

void UserDirs(FuzzedDataProvider& in) {
    const std::string home = in.ConsumeBool() ? "/home/u" : in.ConsumeRandomLengthString(16);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::string folder = DocumentsFolderFromUserDirs(text, home);
    // "$HOME/..." is as absolute as the home folder it names.
    if (home.empty() || home[0] == '/') {
        FUZZ_CHECK(folder.empty() || folder[0] == '/', "the documents folder \"%s\" is not absolute", folder.c_str());
    }
}

// A temporary folder for the process, removed when it ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char name[] = "/tmp/vxm-fuzz-registry-XXXXXX";
        const char* made = ::mkdtemp(name);
        if (!made) std::abort();
        path = made;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::string& Scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

void RegistryNames(FuzzedDataProvider& in) {
    const u16 a = in.ConsumeBool() ? fuzz::Units(in, 12) : fuzz::Text(in, 12);
    const u16 b = in.ConsumeBool() ? fuzz::Units(in, 12) : fuzz::Text(in, 12);
    for (bool keyName : {false, true}) {
        const std::string e = EscapeRegistryName(a, keyName);
        for (unsigned char c : e) {
            FUZZ_CHECK(c != '/' && c >= 0x20 && c != 0x7F && !(keyName && c == '.'),
                       "the escaped name \"%s\" holds 0x%02x", e.c_str(), c);
        }
        if (e == EscapeRegistryName(b, keyName)) {
            FUZZ_CHECK(Utf8(a) == Utf8(b), "\"%s\" and \"%s\" escape alike", fuzz::Show(a).c_str(), fuzz::Show(b).c_str());
        }
    }
    const std::uint32_t type = in.ConsumeIntegral<std::uint32_t>();
    std::uint32_t back = 0;
    FUZZ_CHECK(ParseRegistryTypeSuffix(RegistryTypeSuffix(type), back) && back == type, "type %u does not read back", type);
    std::uint32_t ignored = 0;
    ParseRegistryTypeSuffix(in.ConsumeRandomLengthString(16), ignored);

    // A value through the files: same type, same bytes.
    if (a.empty() || b.empty()) return;
    const auto bytes = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 64));
    std::filesystem::remove_all(Scratch() + "/store");
    Registry registry(Scratch() + "/store");
    long error = 0;
    auto key = registry.OpenKey(platform::RegRoot::CurrentUser, u"software\\" + b, true, error);
    if (!key) return;
    if (key->SetValue(a, type, bytes.data(), bytes.size()) != platform::kErrorSuccess) return;
    platform::RegValue value;
    FUZZ_CHECK(key->QueryValue(a, value) == platform::kErrorSuccess, "a value written under \"%s\" does not read back",
               fuzz::Show(a).c_str());
    FUZZ_CHECK(value.type == type && value.data == bytes, "the value \"%s\" reads back as type %u, %zu bytes",
               fuzz::Show(a).c_str(), value.type, value.data.size());
}

void Icon(FuzzedDataProvider& in) {
    const auto bytes = in.ConsumeRemainingBytes<std::uint8_t>();
    for (const IconPixmap& p : IconPixmapsFromIco(bytes.data(), bytes.size())) {
        FUZZ_CHECK(p.width >= 1 && p.width <= 512 && p.height >= 1 && p.height <= 512, "an image of %dx%d",
                   static_cast<int>(p.width), static_cast<int>(p.height));
        const std::size_t count = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height);
        FUZZ_CHECK(p.argb.size() == count * 4, "a %dx%d image holds %zu bytes", static_cast<int>(p.width),
                   static_cast<int>(p.height), p.argb.size());
        std::vector<std::uint32_t> words(count);
        ui::DrawMuteMark(words, p.width, p.height);
    }
}

}  // namespace
}  // namespace vxm::linuxos

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    FuzzedDataProvider in(data + 1, size - 1);
    switch (data[0] % 5) {
        case 0: vxm::linuxos::Descriptor(in); break;
        case 1: vxm::linuxos::Ini(in); break;
        case 2: vxm::linuxos::UserDirs(in); break;
        case 3: vxm::linuxos::RegistryNames(in); break;
        default: vxm::linuxos::Icon(in); break;
    }
    return 0;
}
