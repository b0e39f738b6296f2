// config.ini as GetPrivateProfileStringW reads it, from files of any size,
// encoding and state of repair.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>

#include "hid/hid_data.h"
#include "platform/linux/ini_linux.h"
#include "profile/options.h"
#include "support/fake_hid.h"
#include "support/fake_platform.h"
#include "temp_dir.h"

namespace vxm::linuxos {
namespace {

u16 Lookup(const std::string& text, u16view section, u16view key, u16view def = u"<default>") {
    IniScanner scanner(section, key);
    scanner.Feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    scanner.Finish();
    return scanner.Result(def);
}

// The same lookup with the text handed over one byte at a time.
u16 LookupBytewise(const std::string& text, u16view section, u16view key, u16view def = u"<default>") {
    IniScanner scanner(section, key);
    for (const char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        scanner.Feed(&b, 1);
    }
    scanner.Finish();
    return scanner.Result(def);
}

TEST(Ini, ReadsAsThePlatformReaderDoes) {
    const std::string text =
        "; settings\r\n"
        "early=before any section\r\n"
        "[ Options ]\r\n"
        "  ProfileRegFolder =  software\\vendor  \r\n"
        "empty=\r\n"
        "quoted=\"  spaced  \"\r\n"
        "single='x'\r\n"
        "lonequote=\"\r\n"
        "inline=a ; not a comment\r\n"
        ";profileFolder=commented\r\n"
        "novalue\r\n"
        "novalue=later\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "[broken\r\n"
        "afterbroken=still options\r\n"
        "[other]\r\n"
        "dup=other\r\n"
        "[OPTIONS]\r\n"
        "onlyinsecond=x\r\n";
    for (auto* lookup : {&Lookup, &LookupBytewise}) {
        EXPECT_EQ(lookup(text, u"options", u"profileregfolder", u""), u"software\\vendor");
        EXPECT_EQ(lookup(text, u"  OPTIONS ", u" ProfileRegFolder ", u""), u"software\\vendor");
        EXPECT_EQ(lookup(text, u"options", u"empty", u"<default>"), u"");  // present and empty is not missing
        EXPECT_EQ(lookup(text, u"options", u"missing", u"<default>"), u"<default>");
        EXPECT_EQ(lookup(text, u"options", u"quoted", u""), u"  spaced  ");
        EXPECT_EQ(lookup(text, u"options", u"single", u""), u"x");
        EXPECT_EQ(lookup(text, u"options", u"lonequote", u""), u"\"");
        EXPECT_EQ(lookup(text, u"options", u"inline", u""), u"a ; not a comment");
        EXPECT_EQ(lookup(text, u"options", u"profileFolder", u"ZRNProfile"), u"ZRNProfile");
        EXPECT_EQ(lookup(text, u"options", u"novalue", u"<default>"), u"<default>");  // the first line decides
        EXPECT_EQ(lookup(text, u"options", u"dup", u""), u"first");
        EXPECT_EQ(lookup(text, u"options", u"afterbroken", u""), u"still options");
        EXPECT_EQ(lookup(text, u"other", u"dup", u""), u"other");
        EXPECT_EQ(lookup(text, u"options", u"onlyinsecond", u"<default>"), u"<default>");  // the first section counts
        EXPECT_EQ(lookup(text, u"", u"early", u"<default>"), u"<default>");
        EXPECT_EQ(lookup(text, u"options", u"", u"<default>"), u"<default>");
    }
    // The default loses trailing spaces and enclosing quotes, as the platform's does.
    EXPECT_EQ(Lookup("", u"s", u"k", u"'value'  "), u"value");
    EXPECT_EQ(Lookup("", u"s", u"k", u"  lead"), u"  lead");
}

TEST(Ini, EncodingsAndLineEnds) {
    const std::string body = "[s]\rk=caf\xC3\xA9\r[t]\nk=2\n";
    EXPECT_EQ(Lookup(body, u"s", u"k"), u"caf\u00e9");
    EXPECT_EQ(Lookup("\xEF\xBB\xBF" + body, u"s", u"k"), u"caf\u00e9");
    EXPECT_EQ(Lookup("\xEF\xBB\xBF" + body, u"t", u"k"), u"2");
    auto utf16 = [](const u16& text, bool little) {
        std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t c : text) {
            const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
            out += little ? std::string{lo, hi} : std::string{hi, lo};
        }
        return out;
    };
    const u16 text16 = u"[Sect]\r\nName=\u4e2d\u6587 \U0001F600\r\n";
    for (const bool little : {true, false}) {
        EXPECT_EQ(Lookup(utf16(text16, little), u"sect", u"name"), u"\u4e2d\u6587 \U0001F600");
        EXPECT_EQ(LookupBytewise(utf16(text16, little), u"sect", u"name"), u"\u4e2d\u6587 \U0001F600");
    }
    // Bytes that are no UTF-8 do not stop the reader.
    EXPECT_EQ(Lookup("[s]\nbad=\xFF\xFE\xC3\nk=ok\n", u"s", u"k"), u"ok");
    EXPECT_EQ(Lookup("[s]\nk=v", u"s", u"k"), u"v");  // no line end at the end
    EXPECT_EQ(Lookup("k", u"s", u"k"), u"<default>");
}

TEST(Ini, HugeLinesAndValuesStayBounded) {
    // A line longer than anything the reader keeps, then the key asked for.
    std::string text = "[s]\nlong=" + std::string(8u << 20, 'x') + "\nk=found\n";
    EXPECT_EQ(Lookup(text, u"s", u"k"), u"found");
    const u16 cut = Lookup(text, u"s", u"long");
    EXPECT_EQ(cut.size(), kMaxIniValue);
    EXPECT_EQ(cut, u16(kMaxIniValue, u'x'));
    // A file of random bytes, with the key hidden in it: found or not, no crash.
    std::mt19937 random(19);
    for (int round = 0; round < 200; ++round) {
        std::string noise(static_cast<std::size_t>(random() % 4096), '\0');
        for (char& c : noise) c = static_cast<char>(random() % 8 == 0 ? "[]=;\n\r\"'"[random() % 8] : random());
        const u16 value = Lookup(noise + "\n[s]\nk=end\n", u"s", u"k");
        EXPECT_LE(value.size(), kMaxIniValue);
        LookupBytewise(noise, u"s", u"k");
    }
}

TEST(Ini, ReaderOverFiles) {
    testing::TempDir dir;
    IniReader ini;
    const u16 folder = Utf16(dir.Path()) + u"/";
    EXPECT_EQ(ini.ReadString(folder + u"config.ini", u"options", u"k", u"def"), u"def");  // no file
    testing::WriteBytes(dir / "Config.INI", "[options]\nk=from file\n");
    EXPECT_EQ(ini.ReadString(folder + u"config.ini", u"options", u"k", u"def"), u"from file");
    EXPECT_EQ(ini.ReadString(Utf16(dir.Path()) + u"\\CONFIG.ini", u"OPTIONS", u"K", u"def"), u"from file");
    ::mkfifo((dir / "fifo.ini").c_str(), 0600);
    EXPECT_EQ(ini.ReadString(folder + u"fifo.ini", u"options", u"k", u"def"), u"def");  // not waited on
    ::mkdir((dir / "folder.ini").c_str(), 0700);
    EXPECT_EQ(ini.ReadString(folder + u"folder.ini", u"options", u"k", u"def"), u"def");

}

TEST(Ini, OptionsAndIncludeListOfTheCore) {
    testing::TempDir dir;
    testing::WriteBytes(dir / "config.ini",
                        "[Options]\nprofileregfolder=vendor\nPROFILEFOLDER=\n[includehiddevicelist]\n"
                        "ID1 = HID\\VID_1234&PID_5678\nid2=\"HID\\VID_1234&PID_9999\"\nid4=skipped\n");
    struct Paths final : platform::ISystemPaths {
        u16 folder;
        u16 ExecutableFolder() override { return folder; }
        u16 PersonalDocumentsFolder() override { return u16(); }
    } paths;
    paths.folder = Utf16(dir.Path()) + u"/";
    IniReader ini;
    const TOptionsFromConfigFile o = ReadOptionsFromConfigFile(ini, paths);
    EXPECT_EQ(o.ProfileRegFolder, u"software\\vendor");
    EXPECT_EQ(o.ProfileFolder, u"");
    EXPECT_EQ(o.ProfileNamePrefix, u"ZRNProfile");
    EXPECT_EQ(o.ProfileMacroFolder, u"MacroDB");

    fake::FakeHidSystem hid;
    fake::FakeDispatcher main;
    fake::FakeDebugOutput debug;
    TuiHIDData data(HidDependencies{hid, ini, main, debug, paths.folder, nullptr});
    EXPECT_EQ(data.GetHIDDeviceList(), (std::vector<u16>{u"HID\\VID_1234&PID_5678", u"HID\\VID_1234&PID_9999"}));
}

}  // namespace
}  // namespace vxm::linuxos
