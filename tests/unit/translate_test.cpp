// The translation state: lookups, the reverse mode of a language switch, the
// translation hook and the collection of texts.
#include <gtest/gtest.h>

#include "app/monitor_language_data.h"
#include "ui/scene.h"
#include "unit/lang_rig.h"

namespace vxm {
namespace {

using namespace lang_rig;

TEST_F(Lang, ReverseModeReturnsTheFirstSourceOfASharedTranslation) {
    TuiLanguage lang(nullptr, Deps());
    lang.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    ui::Scene scene;
    auto& label = scene.AddText(u"L", u"Mouse Left Click", {}, {});
    auto& ok = scene.AddText(u"O", u"OK", {}, {});
    lang.SetLang(u"CH");
    EXPECT_EQ(label.GetText(), u"左键");
    EXPECT_EQ(ok.GetText(), u"确定");
    lang.SetLang(u"US");
    EXPECT_EQ(label.GetText(), u"Click") << "first line in table order whose translation is 左键";
    EXPECT_EQ(ok.GetText(), u"OK");
    lang.SetLang(u"US");
    EXPECT_EQ(ok.GetText(), u"OK") << "a line mapping a text to itself reverts to itself";
}


TEST_F(Lang, LookupsAreCaseSensitiveAndEmptyTranslationsKeepTheSource) {
    TuiLanguage lang(nullptr, Deps());
    lang.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    lang.SetLang(u"ch");  // language names ignore case
    EXPECT_EQ(TranslateText(u"Gaming Mouse Driver"), u"游戏鼠标驱动");
    EXPECT_EQ(TranslateText(u"GAMING MOUSE DRIVER"), u"GAMING MOUSE DRIVER");
    EXPECT_EQ(TranslateText(u"Mouse Right Click"), u"  右键");
    EXPECT_EQ(TranslateText(u""), u"");
    lang.LanguageTable(u"CH")->Add(u"Apply=");
    lang.SetLang(u"CH");
    EXPECT_EQ(TranslateText(u"Apply"), u"Apply");
    SetTranslateHook([](u16view) { return u16(); });
    EXPECT_EQ(TranslateText(u"Exit"), u"Exit") << "an empty hook answer gives the text back";
    EXPECT_EQ(TranslateText(u""), u"");
}


TEST_F(Lang, CollectionTakesEachTextOnce) {
    BeginTextCollection(nls);
    TranslateText(u"A");
    TranslateText(u"A");
    TranslateText(u"B");
    ASSERT_NE(CollectedTexts(), nullptr);
    EXPECT_EQ(CollectedTexts()->Items(), (std::vector<u16>{u"A", u"B"}));
    EndTextCollection();
    EXPECT_EQ(CollectedTexts(), nullptr);
}

}  // namespace
}  // namespace vxm
