// config.ini [options] and the data paths: defaults, values, the folders made.
#include <gtest/gtest.h>

#include "profile/options.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

using fake::FakePlatform;

TEST(ProfileOptions, DefaultsAndConfigValues) {
    FakePlatform p;
    auto o = ReadOptionsFromConfigFile(p.ini, p.paths);
    EXPECT_EQ(o.ProfileRegFolder, u"software\\software\\zrngmmouse");
    EXPECT_EQ(o.ProfileFolder, u"ZRNProfile");
    EXPECT_EQ(o.ProfileNamePrefix, u"ZRNProfile");
    EXPECT_EQ(o.ProfileMacroFolder, u"MacroDB");
    p.files.PutText(p.paths.exeFolder + u"config.ini", "[Options]\nPROFILEREGFOLDER=Mine\nprofileFolder=\n");
    o = ReadOptionsFromConfigFile(p.ini, p.paths);
    EXPECT_EQ(o.ProfileRegFolder, u"software\\Mine");
    EXPECT_EQ(o.ProfileFolder, u"");
    p.paths.documents = u"D:\\Docs\\";
    p.files.AddDirectories(u"D:\\Docs");
    o.ProfileFolder = u"P";
    EXPECT_EQ(GetPersonalDocumentMacroDatabasePath(p.files, p.paths, o), u"D:\\Docs\\P\\MacroDB\\MacroSet.MSDB");
    EXPECT_TRUE(p.files.DirectoryExists(u"D:\\Docs\\P\\MacroDB"));
}

TEST(ProfileOptions, MuteOptionsAcceptOnlyTheirValuesAndOtherwiseKeepTheirDefaults) {
    FakePlatform p;
    auto o = ReadOptionsFromConfigFile(p.ini, p.paths);
    EXPECT_TRUE(o.MuteIndicator) << "no file";
    EXPECT_FALSE(o.MuteSound);
    EXPECT_EQ(o.MuteTarget, u"default");
    EXPECT_EQ(o.MuteOverlay, 0);
    const u16 file = p.paths.exeFolder + u"config.ini";
    p.files.PutText(file, "[options]\nmuteindicator= 0\t\nMUTESOUND=1 \nMuteTarget= Headset Mic \nmuteoverlay=2\n");
    o = ReadOptionsFromConfigFile(p.ini, p.paths);
    EXPECT_FALSE(o.MuteIndicator);
    EXPECT_TRUE(o.MuteSound);
    EXPECT_EQ(o.MuteTarget, u"Headset Mic") << "blanks around it trimmed";
    EXPECT_EQ(o.MuteOverlay, 2);
    for (const char* bad : {"", "yes", "01", "3", "-1", "0x1", "1 ; on", "\"1\"x", "１"}) {
        p.files.PutText(file, std::string("[options]\nMuteIndicator=") + bad + "\nMuteSound=" + bad +
                                  "\nMuteOverlay=" + bad + "\nMuteTarget=" + (bad[0] ? "" : " \t") + "\n");
        o = ReadOptionsFromConfigFile(p.ini, p.paths);
        EXPECT_TRUE(o.MuteIndicator) << bad;
        EXPECT_FALSE(o.MuteSound) << bad;
        EXPECT_EQ(o.MuteOverlay, 0) << bad;
        EXPECT_EQ(o.MuteTarget, u"default") << "empty or blank";
    }
    // A huge value is one more malformed one.
    p.files.PutText(file, "[options]\nMuteSound=" + std::string(1 << 20, '1') + "\n");
    EXPECT_FALSE(ReadOptionsFromConfigFile(p.ini, p.paths).MuteSound);
    EXPECT_TRUE(ParseOptionSwitch(u" \t1\r\n", false));
    EXPECT_FALSE(ParseOptionSwitch(u"0", true));
}

}  // namespace
}  // namespace vxm
