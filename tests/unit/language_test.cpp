// The language component: languages by name and index, the locale tables,
// ui.local ahead of the built-in data and skipped whole when it cannot be
// read, the walk over a form's components, design-time collection, and the
// built-in data's readable source.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>

#include "app/monitor_language_data.h"
#include "lang/language.h"
#include "ui/scene.h"
#include "unit/lang_rig.h"

namespace vxm {
namespace {

using namespace lang_rig;

TEST_F(Lang, EnResetsAbsentOrEmptyNamesChangeNothing) {
    TuiLanguage lang(nullptr, Deps());
    const auto s = Stream({{u"", u"OK\r\n"}, {u"CH", u"OK=确定\r\n"}, {u"en", u"OK=Okay\r\n"}});
    lang.ReadResources(s.data(), s.size());
    ui::Scene scene;
    auto& ok = scene.AddText(u"O", u"OK", {}, {});
    lang.SetLang(u"CH");
    lang.SetLang(u"XX");
    EXPECT_EQ(ok.GetText(), u"确定");
    EXPECT_EQ(lang.Lang(), u"XX") << "Lang reads the new name while the table stays";
    lang.SetLang(u"");
    EXPECT_EQ(ok.GetText(), u"确定");
    lang.SetLang(u"en");
    EXPECT_EQ(ok.GetText(), u"OK") << "\"en\" resets, even with a language named en";
    EXPECT_EQ(ActiveLanguageTable(), nullptr);
}


TEST_F(Lang, LanguageIndexesNamesAndDuplicates) {
    TuiLanguage lang(nullptr, Deps());
    const auto s = Stream({{u"", u""}, {u"CH", u"a=1\r\n"}, {u"US", u"a=2\r\n"}, {u"ch", u"a=3\r\n"}});
    lang.ReadResources(s.data(), s.size());
    EXPECT_EQ(lang.LanguageCount(), 3u) << "a name may occur twice";
    EXPECT_EQ(lang.GetLanguageIndexByShortID(u"ch"), 0);
    EXPECT_EQ(lang.GetLanguageIndexByShortID(u"de"), -1);
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(-1), u"");
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(3), u"");
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(1), u"US");
    lang.AddLang(u"us");
    EXPECT_EQ(lang.LanguageCount(), 3u);
    lang.SetLang(u"CH");
    EXPECT_EQ(TranslateText(u"a"), u"1") << "the first of two equal names wins";
}


TEST_F(Lang, LocaleNamesAndSystemDefaults) {
    TuiLanguage lang(nullptr, Deps());
    EXPECT_EQ(lang.GetOSDefaultLang(), u"040A");
    EXPECT_EQ(lang.GetLanguageLongNameByLangID(u"040A"), u"Spanish (Traditional Sort)");
    EXPECT_EQ(lang.GetLanguageLongNameByShortID(u"0409"), u"English (United States)");
    EXPECT_EQ(lang.GetLanguageLongNameByShortID(u"CH"), u"");
    EXPECT_EQ(lang.GetLanguageLongNameByLangID(u"007f"), u"Invariant Language");
    EXPECT_EQ(lang.GetLanguageLongNameByShortID(u"007f"), u"") << "no country abbreviation, no short id";
    EXPECT_EQ(lang.GetUserLanguageCode(), u"en");
    nls.userLcid = 0x0804;
    EXPECT_EQ(lang.GetUserLanguageCode(), u"ch");
    u16 longName = u"unset";
    lang.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    lang.OnLanguageChanged = [&](TuiLanguage&, u16view, u16view name) { longName = u16(name); };
    lang.SetLang(u"CH");
    EXPECT_EQ(longName, u"");
}


TEST_F(Lang, LoadedAppliesTheUserLanguageOnlyWhenItIsALanguageName) {
    {
        TuiLanguage lang(nullptr, Deps());
        lang.ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
        EXPECT_EQ(ActiveLanguageTable(), nullptr) << "\"en\" is no language name";
    }
    nls.userLcid = 0x0804;
    TuiLanguage lang(nullptr, Deps());
    lang.ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
    ASSERT_NE(ActiveLanguageTable(), nullptr);
    EXPECT_EQ(TranslateText(u"Exit"), u"退出软件");
}


TEST_F(Lang, UiLocalComesFirstAndAMalformedOneIsSkipped) {
    const auto local = Stream({{u"", u"Exit\r\n"}, {u"DE", u"Exit=Beenden\r\n"}});
    p.files.PutFile(p.paths.exeFolder + u"ui.local", local);
    {
        TuiLanguage lang(nullptr, Deps());
        lang.ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
        ASSERT_EQ(lang.LanguageCount(), 3u);
        EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), u"DE");
        EXPECT_EQ(lang.GetLanguageShortIDByIndex(1), u"CH");
        EXPECT_EQ(lang.Original().Count(), 230u) << "the embedded source list replaces the file's";
    }
    p.files.PutFile(p.paths.exeFolder + u"ui.local", std::vector<std::uint8_t>(local.begin(), local.begin() + 9));
    TuiLanguage lang(nullptr, Deps());
    lang.ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), u"CH");
}


TEST_F(Lang, BuiltInDataHoldsTheMonitorsTexts) {
    TuiLanguage lang(nullptr, Deps());
    lang.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    EXPECT_EQ(lang.Original().Count(), 230u) << "229 texts and the empty piece";
    EXPECT_TRUE(lang.Original().Contains(u"       Only 2 DPI Mode switching"));
    EXPECT_TRUE(lang.Original().Contains(u"Mouse Left  Click"));
    ASSERT_EQ(lang.LanguageCount(), 2u);
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), u"CH");
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(1), u"US");
    u16 t;
    EXPECT_FALSE(lang.LanguageTable(u"US")->Translate(u"Mouse Right Click", t));
    for (const auto& c : ConstTextList()) EXPECT_TRUE(lang.LanguageTable(u"CH")->Translate(c, t)) << Utf8(c);
}


TEST_F(Lang, WalkTranslatesCaptionsAndHintsButNotSpecialClassesOrScenes) {
    TComponent form(u"TMainForm", u"MainForm", nullptr, TComponent::Kind::Form);
    TComponent label(u"TLabel", u"Label1", &form);
    label.DefineProperty(u"Caption", u16(u"Config"));
    TComponent panel(u"TPanel", u"Panel1", &form);
    TComponent button(u"TButton", u"Button1", &panel);
    button.DefineProperty(u"Caption", u16(u"OK"));
    button.DefineProperty(u"Hint", u16(u"Exit"));
    TComponent item(u"TMenuItem", u"Exit1", &form);
    item.DefineProperty(u"Caption", u16(u"Exit"));
    TComponent scene(u"TvgScene", u"vgScene1", &form, TComponent::Kind::Scene);
    TComponent sceneChild(u"TvgText", u"Text1", &scene);
    sceneChild.DefineProperty(u"Caption", u16(u"About"));
    TComponent custom(u"TFancy", u"Fancy1", &form);
    custom.DefineProperty(u"Caption", u16(u"About"));

    TuiLanguage lang(&form, Deps());
    EXPECT_EQ(TuiLanguage::GetuiParentFormCount(), 1);
    lang.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    std::vector<u16> customSeen;
    lang.SetCustomClassList({u"tfancy"});
    lang.OnCustomTranslate = [&](TComponent* c, std::vector<u16>&, std::vector<TComponent*>&, u16view base, bool) {
        customSeen.push_back(c->Name() + u"@" + u16(base));
    };
    lang.SetLang(u"CH");
    EXPECT_EQ(label.GetProperty(u"Caption"), u"打开配置");
    EXPECT_EQ(button.GetProperty(u"Caption"), u"确定");
    EXPECT_EQ(button.GetProperty(u"Hint"), u"退出软件");
    EXPECT_EQ(item.GetProperty(u"Caption"), u"Exit") << "special classes keep their texts";
    EXPECT_EQ(sceneChild.GetProperty(u"Caption"), u"About") << "scenes translate themselves";
    EXPECT_EQ(customSeen, (std::vector<u16>{u"Fancy1@TMainForm"}));

    std::vector<u16> texts;
    lang.TranslateComponent(&form, texts, false, u16());
    EXPECT_EQ(texts, (std::vector<u16>{u"打开配置", u"确定", u"退出软件"})) << "translated components keep their text";
    EXPECT_EQ(TuiLanguage::GetComponentPath(&button), u"TMainForm.Panel1");
    EXPECT_EQ(TuiLanguage::GetComponentPath(&form), u"TMainForm");
}


TEST_F(Lang, ActiveAtDesignTimeCollectsTextsAndOpensTheEditor) {
    TComponent form(u"TMainForm", u"MainForm", nullptr, TComponent::Kind::Form);
    TComponent label(u"TLabel", u"Label1", &form);
    label.DefineProperty(u"Caption", u16(u"Brand New Text"));
    ui::Scene scene;
    scene.AddText(u"T", u"Scene Text", {}, {});
    TuiLanguage running(&form, Deps(false));
    running.SetActive(true);
    EXPECT_TRUE(running.Active()) << "at run time the flag is only recorded";
    EXPECT_FALSE(running.Original().Contains(u"Brand New Text"));

    TuiLanguage designing(&form, Deps(true));
    bool opened = false;
    designing.OpenEditor = [&](TuiLanguage& l) {
        opened = true;
        EXPECT_TRUE(l.Original().Contains(u"Brand New Text"));
        EXPECT_TRUE(l.Original().Contains(u"Scene Text"));
        EXPECT_TRUE(l.Original().Contains(u"Wheel Down(Mouse)"));
    };
    designing.SetActive(true);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(designing.Active()) << "back to false after the editor";
}


// Loads every ui.local file it is asked for by throwing what it is given.
class ThrowingFiles final : public platform::IFileSystem {
public:
    explicit ThrowingFiles(std::function<void()> thrower) : throw_(std::move(thrower)) {}
    bool FileExists(u16view) override { return true; }
    bool DirectoryExists(u16view) override { return true; }
    bool CreateFolder(u16view) override { return false; }
    long ReadFile(u16view, std::vector<std::uint8_t>&) override {
        throw_();
        return 0;
    }
    long ReadFileAtMost(u16view, std::size_t, std::vector<std::uint8_t>&) override {
        throw_();
        return 0;
    }
    long WriteFile(u16view, const std::uint8_t*, std::size_t) override { return 5; }

private:
    std::function<void()> throw_;
};
TEST_F(Lang, NothingThrownWhileReadingUiLocalStopsStartUp) {
    const std::vector<std::function<void()>> throwers = {
        [] { throw std::bad_alloc(); }, [] { throw 42; }, [] { throw std::length_error("vector"); }};
    for (const auto& thrower : throwers) {
        ThrowingFiles files(thrower);
        std::vector<u16> said;
        LanguageDependencies deps{nls, files, u"C:\\VXM\\", u"VXMMON.EXE", false,
                                  [&](u16view t) { said.push_back(u16(t)); }};
        std::unique_ptr<TuiLanguage> lang;
        ASSERT_NO_THROW(lang = std::make_unique<TuiLanguage>(nullptr, deps));
        lang->ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
        ASSERT_EQ(lang->LanguageCount(), 2u) << "the built-in languages load instead";
        EXPECT_EQ(lang->GetLanguageShortIDByIndex(0), u"CH");
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].rfind(u"ui.local skipped: ", 0), 0u) << Utf8(said[0]);
    }
}


// Fails the nth comparison with bad_alloc, as a load that runs out of memory would.
class FailingNls final : public platform::INationalLanguage {
public:
    int Compare(u16view a, u16view b, bool ignoreCase) override {
        if (++calls == failAt) throw std::bad_alloc();
        return inner.Compare(a, b, ignoreCase);
    }
    std::vector<platform::LocaleEntry> SupportedLocales() override { return {}; }
    std::uint32_t UserDefaultLCID() override { return 0x0409; }
    std::uint16_t SystemDefaultLangID() override { return 0x0409; }
    u16 LanguageAbbreviation(std::uint32_t) override { return u"ENU"; }
    fake::FakeNationalLanguage inner;
    int calls = 0, failAt = -1;
};
TEST_F(Lang, ALoadThatFailsAnywhereChangesNothing) {
    FailingNls failing;
    TvgLang lang(LanguageDependencies{failing, p.files, p.paths.exeFolder, u"", false, nullptr});
    const auto first = Stream({{u"", u"OK\r\nExit\r\n"}, {u"CH", u"OK=确定\r\n"}});
    lang.ReadResources(first.data(), first.size());
    const auto before = lang.WriteResources();
    const auto second = Stream({{u"", u"c\r\nb\r\na\r\n"}, {u"A", u"z=1\r\ny=2\r\n"}, {u"B", u"x=3\r\nw=4\r\n"}});
    // Count the comparisons of a whole load, then fail each one in turn.
    TvgLang counting(LanguageDependencies{failing, p.files, p.paths.exeFolder, u"", false, nullptr});
    failing.calls = 0;
    counting.ReadResources(second.data(), second.size());
    const int total = failing.calls;
    ASSERT_GT(total, 4);
    for (int k = 1; k <= total; ++k) {
        failing.calls = 0;
        failing.failAt = k;
        EXPECT_THROW(lang.ReadResources(second.data(), second.size()), std::bad_alloc);
        failing.failAt = -1;
        ASSERT_EQ(lang.WriteResources(), before) << "comparison " << k << " of " << total;
    }
}


TEST_F(Lang, AUiLocalAboveTheLimitIsSkippedAndNeverWritten) {
    // A well-formed stream, only too large: one language with a long table.
    const u16 line = u"Config=Konfiguration\r\n";
    u16 table;
    while (table.size() * 2 <= kMaxLanguageFileSize) table += line;
    const auto big = Stream({{u"", u"Config\r\n"}, {u"DE", table}});
    ASSERT_GT(big.size(), kMaxLanguageFileSize);
    p.files.PutFile(p.paths.exeFolder + u"ui.local", big);
    std::vector<u16> said;
    LanguageDependencies deps = Deps();
    deps.debugOutput = [&](u16view t) { said.push_back(u16(t)); };
    TuiLanguage lang(nullptr, deps);
    lang.ReadFormData(kMonitorResourcesBin, kMonitorResourcesBinSize);
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), u"CH") << "skipped like a malformed file";
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find(u"ui.local skipped: "), u16::npos);
    EXPECT_NE(said[0].find(u"8 MiB"), u16::npos) << Utf8(said[0]);

    // Just below the limit it loads; and what would be refused is not saved.
    const auto fits = Stream({{u"", u"Config\r\n"}, {u"DE", table.substr(0, table.size() - 4 * line.size())}});
    ASSERT_LE(fits.size(), kMaxLanguageFileSize);
    p.files.PutFile(p.paths.exeFolder + u"ui.local", fits);
    TuiLanguage fitting(nullptr, Deps());
    EXPECT_EQ(fitting.GetLanguageShortIDByIndex(0), u"DE");
    fitting.LanguageTable(u"DE")->Add(u16(kMaxLanguageFileSize / 2, u'x'));
    const int writes = p.files.writes;
    EXPECT_THROW(fitting.SaveToFile(p.paths.exeFolder + u"ui.local"), LanguageDataError);
    EXPECT_EQ(p.files.writes, writes);
}


TEST_F(Lang, ActiveLoadFromFileKeepsTheLanguagesUnlessTheFileReads) {
    TuiLanguage lang(nullptr, Deps(true));
    lang.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    const auto before = lang.WriteResources();
    const u16 file = u"C:\\work\\de.local";
    lang.ChooseLanguageFile = [&] { return file; };
    const auto good = Stream({{u"", u"Exit\r\n"}, {u"DE", u"Exit=Beenden\r\n"}});
    p.files.PutFile(file, std::vector<std::uint8_t>(good.begin(), good.end() - 5));
    EXPECT_THROW(lang.SetActiveLoadFromFile(true), LanguageDataError);
    EXPECT_EQ(lang.WriteResources(), before) << "a malformed file replaces nothing";
    p.files.PutFile(file, std::vector<std::uint8_t>(kMaxLanguageFileSize + 1, 0));
    EXPECT_THROW(lang.SetActiveLoadFromFile(true), LanguageDataError);
    EXPECT_EQ(lang.WriteResources(), before) << "nor does an oversized one";
    lang.ChooseLanguageFile = [] { return u16(u"C:\\work\\missing.local"); };
    lang.SetActiveLoadFromFile(true);
    EXPECT_EQ(lang.WriteResources(), before) << "nor a missing one";
    lang.ChooseLanguageFile = [&] { return file; };
    p.files.PutFile(file, good);
    lang.SetActiveLoadFromFile(true);
    ASSERT_EQ(lang.LanguageCount(), 1u);
    EXPECT_EQ(lang.LanguageName(0), u"DE");
}


TEST_F(Lang, ShortIdsNeedTheCountryAbbreviationInFourCharacters) {
    nls.locales.push_back({0x0491, u"0491", u"Long Country", u"GBRS"});  // fits 10, not 4
    nls.locales.push_back({0x0492, u"0492", u"No Country", std::nullopt});
    TuiLanguage lang(nullptr, Deps());
    EXPECT_EQ(lang.GetLanguageLongNameByShortID(u"0491"), u"");
    EXPECT_EQ(lang.GetLanguageLongNameByLangID(u"0491"), u"Long Country");
    EXPECT_EQ(lang.GetLanguageLongNameByShortID(u"0409"), u"English (United States)");
}


// The built-in data's readable source says which rows it carries.
TEST(LanguageSource, HeaderNamesTheRowsCarriedAndLeftOut) {
    std::ifstream in(VXM_LANG_SOURCE);
    ASSERT_TRUE(in) << VXM_LANG_SOURCE;
    std::map<std::string, int> rows, claimed, original, added;
    std::string line, section, header;
    while (std::getline(in, line)) {
        // "#   [CH] carries 21 of the original 145 rows ..."
        const auto open = line.find('['), close = line.find("] carries "), of = line.find(" of the original ");
        if (line.rfind("#", 0) == 0 && open != std::string::npos && close != std::string::npos &&
            of != std::string::npos && open < close && close < of) {
            const std::string name = line.substr(open + 1, close - open - 1);
            claimed[name] = std::atoi(line.c_str() + close + 10);
            original[name] = std::atoi(line.c_str() + of + 17);
        }
        // "... plus 2 new ones": rows that the original data did not have.
        if (const auto open2 = line.find('['), close2 = line.find("] "), plus = line.find(", plus ");
            line.rfind("#", 0) == 0 && open2 != std::string::npos && close2 != std::string::npos &&
            plus != std::string::npos && open2 < close2 && close2 < plus) {
            added[line.substr(open2 + 1, close2 - open2 - 1)] = std::atoi(line.c_str() + plus + 7);
        }
        if (line.rfind("#", 0) == 0) {
            header += line + "\n";
        } else if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (!line.empty() && !section.empty()) {
            ++rows[section];
        }
    }
    EXPECT_EQ(rows["source"], 221 + added["source"]);
    EXPECT_EQ(added["source"], 8);
    EXPECT_EQ(claimed["CH"] + added["CH"], rows["CH"]);
    EXPECT_EQ(claimed["US"], rows["US"]);
    EXPECT_EQ(original["CH"], 145);
    EXPECT_EQ(original["US"], 79);
    EXPECT_NE(header.find("left out"), std::string::npos) << header;
}

}  // namespace
}  // namespace vxm
