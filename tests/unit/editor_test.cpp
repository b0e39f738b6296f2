// The translation editor's model, action by action.
#include <gtest/gtest.h>

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
    m.selected = 1;  // the second tab: the language at position 1 ("0409")
    const int skipped = m.SaveTextList(u"Volume=Lautstärke\r\nno equals sign\r\nOK=\r\nMute=Stumm\r\n\r\n");
    EXPECT_EQ(skipped, 1);
    EXPECT_FALSE(lang->Original().Contains(u"no equals sign"));
    EXPECT_FALSE(lang->Original().Contains(u"Config")) << "the list replaces the source texts";
    EXPECT_TRUE(lang->LanguageTableAt(1).Contains(u"Volume=Lautstärke"));
    EXPECT_FALSE(lang->LanguageTableAt(1).Contains(u"OK=Okay")) << "an empty translation removes the line";
}

TEST_F(Editor, PagingShowsEightTabs) {
    for (const char16_t* id : {u"0809", u"0c09", u"1009", u"1409", u"1809", u"1c09", u"2009", u"2409"}) {
        nls.locales.push_back({0, id, u"English " + u16(id), true});
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
