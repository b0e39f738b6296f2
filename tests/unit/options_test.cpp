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

}  // namespace
}  // namespace vxm
