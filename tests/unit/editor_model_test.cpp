// The translation editor's model, action by action.
#include <gtest/gtest.h>

#include "app/monitor_language_data.h"
#include "lang/editor_model.h"
#include "lang/translate.h"
#include "support/fake_locale.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

struct Editor : ::testing::Test {
    fake::FakeNationalLanguage nls;
    fake::FakePlatform p;
    std::unique_ptr<TuiLanguage> lang;

    void SetUp() override {
        ResetTranslationState();
        TuiLanguage::ResetProcessState();
        lang = std::make_unique<TuiLanguage>(nullptr, Deps());
        lang->Original().SetText(u"Config\r\nExit\r\nOK\r\n");
        for (const char16_t* name : {u"CH", u"0409", u"US", u"040a"}) lang->AddLang(name);
        lang->LanguageTable(u"CH")->Add(u"Exit=退出软件");
        lang->LanguageTable(u"0409")->Add(u"OK=Okay");
        lang->LanguageTable(u"040a")->Add(u"Exit=Salir");
    }
    void TearDown() override { ResetTranslationState(); }
    LanguageDependencies Deps() { return {nls, p.files, p.paths.exeFolder, u"VXMMON.EXE", true, nullptr}; }
    int LocaleIndex(u16view id) {
        // The editor lists the system's locales in their enumeration order.
        const auto& l = nls.locales;
        for (std::size_t i = 0; i < l.size(); ++i) {
            if (l[i].langIdText == id) return static_cast<int>(i);
        }
        return -1;
    }
    std::unique_ptr<TuiLanguage> ReadSaved() {
        auto back = std::make_unique<TuiLanguage>(nullptr, Deps());
        EXPECT_TRUE(back->LoadFromFile(p.paths.exeFolder + u"ui.local"));
        return back;
    }
};

TEST_F(Editor, OnlyLanguagesNamedByLangIdGetTabsAndOnlyTheyAreSaved) {
    TranslationEditorModel m(lang.get(), Deps());
    ASSERT_EQ(m.tabs.size(), 2u);
    EXPECT_EQ(m.tabs[0].caption, u"English (United States)");
    EXPECT_EQ(m.tabs[0].hint, u"0409");
    EXPECT_EQ(m.tabs[0].rows.size(), 3u + 300u);
    EXPECT_EQ(m.tabs[0].rows[2], (std::array<u16, 2>{u"OK", u"Okay"}));
    EXPECT_EQ(m.tabs[1].rows[1], (std::array<u16, 2>{u"Exit", u"Salir"}));
    EXPECT_EQ(m.selected, 1);
    EXPECT_TRUE(m.SaveToLanguageFile()) << "opened on a component, it closes after saving";
    auto back = ReadSaved();
    ASSERT_EQ(back->LanguageCount(), 2u);
    EXPECT_EQ(back->LanguageName(0), u"0409");
    EXPECT_EQ(back->LanguageName(1), u"040a");
    EXPECT_EQ(back->GetLanguageIndexByShortID(u"CH"), -1);
    // Cells filled with the source text are saved as lines mapping it to itself.
    EXPECT_TRUE(back->LanguageTable(u"0409")->Contains(u"Config=Config"));
    EXPECT_TRUE(back->LanguageTable(u"0409")->Contains(u"OK=Okay"));
}

TEST_F(Editor, AddingAnExistingLanguageSelectsItsTabAndANewOneStartsEmpty) {
    TranslationEditorModel m(lang.get(), Deps());
    m.selected = 1;
    m.AddLanguage(LocaleIndex(u"0409"));
    EXPECT_EQ(m.tabs.size(), 2u);
    EXPECT_EQ(m.selected, 0);
    m.AddLanguage(LocaleIndex(u"0804"));
    ASSERT_EQ(m.tabs.size(), 3u);
    EXPECT_EQ(m.selected, 2);
    EXPECT_EQ(m.tabs[2].width, 150);
    EXPECT_EQ(m.tabs[2].rows.size(), 3u + 100u);
    EXPECT_EQ(m.tabs[2].rows[0], (std::array<u16, 2>{u"Config", u""}));
    m.SetTranslation(2, 0, u"打开配置");
    m.SaveToLanguageFile();
    auto back = ReadSaved();
    EXPECT_TRUE(back->LanguageTable(u"0804")->Contains(u"Config=打开配置"));
    EXPECT_FALSE(back->LanguageTable(u"0804")->Contains(u"Exit=")) << "an empty cell writes no line";
}

TEST_F(Editor, DeletingALanguageOrARow) {
    TranslationEditorModel m(lang.get(), Deps());
    m.selected = 0;
    m.DeleteItemFromList(0);  // "Config"
    EXPECT_FALSE(lang->Original().Contains(u"Config"));
    EXPECT_EQ(m.tabs[0].rows[0][0], u"Exit") << "following rows move up";
    EXPECT_EQ(m.tabs[0].rows[1], (std::array<u16, 2>{u"OK", u"Okay"}));
    EXPECT_EQ(m.tabs[0].rows[2], (std::array<u16, 2>{}));
    EXPECT_EQ(m.tabs[1].rows[0][0], u"Exit");
    m.selected = 0;
    m.DeleteLanguage();
    ASSERT_EQ(m.tabs.size(), 1u);
    EXPECT_EQ(m.selected, 0);
    m.SaveToLanguageFile();
    EXPECT_EQ(ReadSaved()->LanguageCount(), 1u) << "the deleted language is missing from the save";
}

TEST_F(Editor, ConstTextsAndTheTextListWithMalformedLines) {
    TranslationEditorModel m(lang.get(), Deps());
    m.AddConstText(u"Mute");
    m.AddConstText(u"Mute");
    m.AddConstText(u"");
    EXPECT_EQ(lang->Original().Count(), 5u);  // 4 texts and the empty piece
    EXPECT_EQ(m.tabs[0].rows[2][0], u"Mute");
    m.selected = 0;  // the first tab: "0409"
    const int skipped = m.SaveTextList(u"Volume=Lautstärke\r\nno equals sign\r\nOK=\r\nMute=Stumm\r\n\r\n");
    EXPECT_EQ(skipped, 1);
    EXPECT_FALSE(lang->Original().Contains(u"no equals sign"));
    EXPECT_FALSE(lang->Original().Contains(u"Config")) << "the list replaces the source texts";
    EXPECT_TRUE(lang->LanguageTable(u"0409")->Contains(u"Volume=Lautstärke"));
    EXPECT_FALSE(lang->LanguageTable(u"0409")->Contains(u"OK=Okay")) << "an empty translation removes the line";
    EXPECT_EQ(m.tabs[0].rows[1], (std::array<u16, 2>{u"OK", u"OK"})) << "shown as the text itself";
    EXPECT_EQ(m.tabs[0].rows[3], (std::array<u16, 2>{})) << "no rows left over from the old list";
}

// ui.local cuts list texts at more breaks than CR and LF, and ends a list at
// a NUL: a pasted list or a cell that holds them must read back the same,
// with nothing after them lost.
TEST_F(Editor, PastedBreaksAndNulsReadBackFromUiLocal) {
    using namespace std::string_literals;
    TranslationEditorModel m(lang.get(), Deps());
    m.selected = 0;  // "0409"
    EXPECT_EQ(m.SaveTextList(u"OK=Okay\u2028Exit=Ende\vMu\0te=Stumm\r\nVolume=Lautst\u00e4rke"s), 0);
    m.AddConstText(u"Con\0fig\fnow"s);
    m.SetTranslation(0, 2, u"Weiter\0 so\u2029ja"s);
    const auto rows = m.tabs[0].rows;
    EXPECT_TRUE(m.SaveToLanguageFile());
    auto back = ReadSaved();
    std::vector<u16> sources;
    for (const auto& text : back->Original().Items()) {
        if (!text.empty()) sources.push_back(text);
    }
    EXPECT_EQ(sources, (std::vector<u16>{u"Config now", u"Exit", u"Mute", u"OK", u"Volume"}));
    const TStringList* table = back->LanguageTable(u"0409");
    ASSERT_NE(table, nullptr);
    for (const char16_t* line : {u"OK=Okay", u"Exit=Ende", u"Volume=Lautst\u00e4rke"}) {
        EXPECT_TRUE(table->Contains(line)) << Utf8(line);
    }
    // The typed cell replaced the pasted "Stumm".
    EXPECT_EQ(rows[2], (std::array<u16, 2>{u"Mute", u"Weiter so ja"}));
    EXPECT_TRUE(table->Contains(u"Mute=Weiter so ja"));
}

// "CH" and "US" stand ahead of the LANGID languages, as in the monitor's data.
struct EditorOnMonitorData : Editor {
    void SetUp() override {
        Editor::SetUp();
        lang = std::make_unique<TuiLanguage>(nullptr, Deps());
        lang->Original().SetText(u"Config\r\nExit\r\nOK\r\n");
        for (const char16_t* name : {u"CH", u"US", u"0409", u"040a", u"0804"}) lang->AddLang(name);
        for (const char16_t* line : {u"OK=确定", u"Exit=退出软件"}) lang->LanguageTable(u"CH")->Add(line);
        lang->LanguageTable(u"US")->Add(u"OK=OK");
        lang->LanguageTable(u"0409")->Add(u"OK=Okay");
        lang->LanguageTable(u"040a")->Add(u"Exit=Salir");
        lang->LanguageTable(u"0804")->Add(u"Exit=退出");
    }
};

TEST_F(EditorOnMonitorData, EditorActionsFindATabsLanguageByItsShortId) {
    TranslationEditorModel m(lang.get(), Deps());
    ASSERT_EQ(m.tabs.size(), 3u);
    ASSERT_EQ(m.tabs[1].hint, u"040a");
    m.selected = 1;
    m.AddConstText(u"Mute");
    EXPECT_EQ(m.tabs[0].rows[2], (std::array<u16, 2>{u"Mute", u"Mute"}));
    EXPECT_EQ(m.tabs[0].rows[3], (std::array<u16, 2>{u"OK", u"Okay"})) << "0409's own, not CH's";
    EXPECT_EQ(m.tabs[1].rows[1], (std::array<u16, 2>{u"Exit", u"Salir"})) << "040a's own, not US's";
    EXPECT_EQ(m.tabs[2].rows[1], (std::array<u16, 2>{u"Exit", u"退出"}));

    const auto chBefore = lang->LanguageTable(u"CH")->Items();
    m.SaveTextList(u"Exit=Salida\r\nOK=Vale\r\nConfig=Configurar\r\n");
    EXPECT_EQ(lang->LanguageTable(u"040a")->Items(), (std::vector<u16>{u"Config=Configurar", u"Exit=Salida", u"OK=Vale"}));
    EXPECT_EQ(lang->LanguageTable(u"CH")->Items(), chBefore) << "the memo writes into the selected tab's language";
    EXPECT_EQ(lang->LanguageTable(u"0409")->Items(), (std::vector<u16>{u"OK=Okay"}));
    EXPECT_EQ(m.tabs[1].rows[2], (std::array<u16, 2>{u"OK", u"Vale"}));
    EXPECT_EQ(m.tabs[0].rows[2], (std::array<u16, 2>{u"OK", u"Okay"}));

    m.SaveToLanguageFile();
    auto back = ReadSaved();
    ASSERT_EQ(back->LanguageCount(), 3u);
    EXPECT_TRUE(back->LanguageTable(u"040a")->Contains(u"OK=Vale"));
    EXPECT_TRUE(back->LanguageTable(u"0804")->Contains(u"Exit=退出"));
    for (std::size_t l = 0; l < back->LanguageCount(); ++l) {
        EXPECT_FALSE(back->LanguageTableAt(l).Contains(u"OK=确定")) << Utf8(back->LanguageName(l));
        EXPECT_FALSE(back->LanguageTableAt(l).Contains(u"Exit=退出软件")) << Utf8(back->LanguageName(l));
    }
}

TEST_F(EditorOnMonitorData, ANewTabGetsNoOtherLanguagesTexts) {
    lang = std::make_unique<TuiLanguage>(nullptr, Deps());
    lang->Original().SetText(u"Exit\r\nOK\r\n");
    lang->AddLang(u"CH");
    lang->LanguageTable(u"CH")->Add(u"OK=确定");
    lang->AddLang(u"US");
    TranslationEditorModel m(lang.get(), Deps());
    ASSERT_TRUE(m.tabs.empty());
    m.AddLanguage(LocaleIndex(u"040a"));
    m.AddConstText(u"Mute");
    EXPECT_EQ(m.tabs[0].rows[2], (std::array<u16, 2>{u"OK", u""})) << "Spanish is not in the list yet";
    // Pasted into the new tab, the translations stay in its grid until saved.
    m.SaveTextList(u"OK=Vale\r\nExit=\r\n");
    EXPECT_EQ(m.tabs[0].rows[1], (std::array<u16, 2>{u"OK", u"Vale"}));
    m.SaveToLanguageFile();
    auto back = ReadSaved();
    ASSERT_EQ(back->LanguageCount(), 1u);
    EXPECT_TRUE(back->LanguageTable(u"040a")->Contains(u"OK=Vale"));
    EXPECT_FALSE(back->LanguageTable(u"040a")->Contains(u"OK=确定"));
}

TEST_F(Editor, TypedTranslationsSurviveAddingAText) {
    TranslationEditorModel m(lang.get(), Deps());
    ASSERT_EQ(m.tabs[1].rows[0][0], u"Config");
    m.SetTranslation(1, 0, u"Configurar");
    m.SetTranslation(1, 2, u"");
    m.AddConstText(u"Apply");  // sorts first: every row moves down
    EXPECT_EQ(m.tabs[1].rows[0], (std::array<u16, 2>{u"Apply", u"Apply"}));
    EXPECT_EQ(m.tabs[1].rows[1], (std::array<u16, 2>{u"Config", u"Configurar"}));
    EXPECT_EQ(m.tabs[1].rows[2], (std::array<u16, 2>{u"Exit", u"Salir"}));
    EXPECT_EQ(m.tabs[1].rows[3], (std::array<u16, 2>{u"OK", u""})) << "an emptied cell stays empty";
    m.SaveToLanguageFile();
    auto back = ReadSaved();
    EXPECT_TRUE(back->LanguageTable(u"040a")->Contains(u"Config=Configurar"));
    EXPECT_FALSE(back->LanguageTable(u"040a")->Contains(u"OK=OK"));
}

TEST_F(Editor, OnTheMonitorsTextsItKeepsWhatUiLocalHeld) {
    // A ui.local with two LANGID languages and a text the built-in data lacks.
    TuiLanguage file(nullptr, Deps());
    file.Original().SetText(u"Exit\r\nMy Own Text\r\n");
    file.AddLang(u"040a");
    file.LanguageTable(u"040a")->Add(u"Exit=Salir");
    file.LanguageTable(u"040a")->Add(u"My Own Text=Mi texto");
    file.AddLang(u"0804");
    file.LanguageTable(u"0804")->Add(u"Exit=退出");
    file.SaveToFile(p.paths.exeFolder + u"ui.local");

    TuiLanguage designing(nullptr, Deps());  // designing: it loads nothing by itself
    EXPECT_TRUE(ReadMonitorLanguageData(designing, kMonitorResourcesBin, kMonitorResourcesBinSize));
    ASSERT_EQ(designing.LanguageCount(), 4u);
    EXPECT_EQ(designing.LanguageName(0), u"040a") << "ui.local first, as the monitor has it";
    EXPECT_EQ(designing.LanguageName(2), u"CH");
    EXPECT_TRUE(designing.Original().Contains(u"My Own Text"));
    EXPECT_TRUE(designing.Original().Contains(u"Hardware Core:1.00.00"));
    TranslationEditorModel m(&designing, Deps());
    ASSERT_EQ(m.tabs.size(), 2u);
    m.SaveToLanguageFile();
    auto back = ReadSaved();
    ASSERT_EQ(back->LanguageCount(), 2u);
    EXPECT_TRUE(back->LanguageTable(u"040a")->Contains(u"My Own Text=Mi texto"));
    EXPECT_TRUE(back->LanguageTable(u"040a")->Contains(u"Exit=Salir"));
    EXPECT_TRUE(back->LanguageTable(u"0804")->Contains(u"Exit=退出"));

    p.files.PutFile(p.paths.exeFolder + u"ui.local", {1, 2, 3});
    TuiLanguage again(nullptr, Deps());
    EXPECT_FALSE(ReadMonitorLanguageData(again, kMonitorResourcesBin, kMonitorResourcesBinSize));
    EXPECT_EQ(again.LanguageCount(), 2u) << "a malformed ui.local is skipped; the built-in languages come";
}

TEST_F(Editor, ItsShortIdsNeedTheCountryAbbreviationInTenCharacters) {
    nls.locales.push_back({0x0491, u"0491", u"Long Country", u"GBRS"});        // fits 10, not 4
    nls.locales.push_back({0x0492, u"0492", u"Longer Country", u"ABCDEFGHIJ"});  // 11 with its NUL
    lang->AddLang(u"0491");
    lang->AddLang(u"0492");
    TranslationEditorModel m(lang.get(), Deps());
    EXPECT_EQ(m.Locales()[4].shortId, u"0491");
    EXPECT_EQ(m.Locales()[5].shortId, u"");
    EXPECT_EQ(m.Locales()[3].shortId, u"") << "no abbreviation at all";
    ASSERT_EQ(m.tabs.size(), 3u);
    EXPECT_EQ(m.tabs[2].caption, u"Long Country");
}

TEST_F(Editor, PagingShowsEightTabs) {
    for (const char16_t* id : {u"0809", u"0c09", u"1009", u"1409", u"1809", u"1c09", u"2009", u"2409"}) {
        nls.locales.push_back({0, id, u"English " + u16(id), u"AUS"});
        lang->AddLang(id);
    }
    TranslationEditorModel m(lang.get(), Deps());
    ASSERT_EQ(m.tabs.size(), 10u);
    auto visible = [&] {
        std::vector<int> v;
        for (std::size_t i = 0; i < m.tabs.size(); ++i) {
            if (m.tabs[i].visible) v.push_back(static_cast<int>(i));
        }
        return v;
    };
    EXPECT_EQ(visible(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    m.NextPage();
    m.NextPage();
    m.NextPage();
    EXPECT_EQ(m.PageIndex, 2);
    EXPECT_EQ(visible(), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
    m.PrevPage();
    EXPECT_EQ(visible().front(), 1);
}

TEST_F(Editor, WithoutAComponentItEditsUiLocalAndStaysOpenAfterSaving) {
    TranslationEditorModel first(lang.get(), Deps());
    first.SaveToLanguageFile();
    TranslationEditorModel m(nullptr, LanguageDependencies{nls, p.files, p.paths.exeFolder, u"", false, nullptr});
    EXPECT_TRUE(m.OwnsLanguage());
    ASSERT_EQ(m.tabs.size(), 2u);
    EXPECT_EQ(m.tabs[1].rows[1][1], u"Salir");
    EXPECT_FALSE(m.SaveToLanguageFile());
}

}  // namespace
}  // namespace vxm
