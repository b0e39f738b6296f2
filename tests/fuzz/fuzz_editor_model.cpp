// The translation editor's model on its own component, filled from a
// "ui.local" the fuzzer chooses (its bytes, or a stream of its texts), then a
// sequence of the editor's actions: languages added and deleted, source texts
// added and deleted, a pasted text list ("source=translation" lines, any
// text), cells typed into, pages turned, tabs selected, and saves of
// "ui.local", each followed by a reload in a new editor.
//
// Besides no crash: after a save and a reload, every language tab saved is
// there again, with every source text of the saved editor, and every
// translation the translator typed (a cell is one line: typed text holds no
// line break) shows in its row as it was typed; a refused ui.local is
// never overwritten by opening the editor.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "lang/editor_model.h"
#include "lang/translate.h"
#include "support/fake_locale.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

struct Rig {
    fake::FakeNationalLanguage nls;
    fake::FakePlatform p;
    Rig() {
        ResetTranslationState();
        TuiLanguage::ResetProcessState();
    }
    ~Rig() { ResetTranslationState(); }
    // As VXMLANGEDIT.EXE opens on its own: not designing, so ui.local is read.
    LanguageDependencies Deps() { return {nls, p.files, p.paths.exeFolder, u16(), false, nullptr}; }
    u16 LocalFile() const { return p.paths.exeFolder + u"ui.local"; }
};

bool IsBreak(char16_t c) {
    return c == u'\r' || c == u'\n' || c == 0x0B || c == 0x0C || c == 0x2028 || c == 0x2029 || c == 0;
}

// What a cell can hold: one line.
u16 Typed(FuzzedDataProvider& in, std::size_t maxUnits) {
    u16 t = fuzz::Text(in, maxUnits);
    std::erase_if(t, IsBreak);
    return t;
}

// The last tab of each language (a later tab of the same language wins) and
// what it says of each source text.
std::map<u16, std::map<u16, u16>> Shown(const TranslationEditorModel& m, std::size_t count) {
    std::map<u16, std::map<u16, u16>> out;
    for (const auto& tab : m.tabs) {
        if (tab.hint.empty()) continue;
        auto& rows = out[tab.hint];
        rows.clear();
        for (std::size_t i = 0; i < count && i < tab.rows.size() && !tab.rows[i][0].empty(); ++i) {
            rows[tab.rows[i][0]] = tab.rows[i][1];
        }
    }
    return out;
}

std::string Joined(const std::vector<u16>& texts) {
    std::string out;
    for (const auto& t : texts) out += "\"" + fuzz::Show(t) + "\" ";
    return out;
}

std::size_t SourceCount(TranslationEditorModel& m) {
    std::size_t n = 0;
    for (const auto& s : m.Lang().Original().Items()) n += s.empty() ? 0 : 1;
    return n;
}

void Run(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Rig rig;
    if (in.ConsumeBool()) {
        // A stream of the fuzzer's texts, as a translator's earlier save.
        TvgLang seed(LanguageDependencies{rig.nls, rig.p.files, rig.p.paths.exeFolder, u16(), true, nullptr});
        seed.Original().AddText(fuzz::Text(in, 48));
        const int n = in.ConsumeIntegralInRange<int>(0, 4);
        static const char16_t* kNames[] = {u"0409", u"0804", u"040a", u"007f", u"CH", u""};
        for (int i = 0; i < n; ++i) {
            const char16_t* name = in.PickValueInArray(kNames);
            seed.AddLang(name);
            seed.LanguageTable(name)->AddText(fuzz::Text(in, 64));
        }
        seed.SaveToFile(rig.LocalFile());
    } else if (in.ConsumeBool()) {
        rig.p.files.PutFile(rig.LocalFile(), in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 512)));
    }
    const std::vector<std::uint8_t> original = rig.p.files.Find(rig.LocalFile())
                                                   ? *rig.p.files.Find(rig.LocalFile())
                                                   : std::vector<std::uint8_t>{};
    auto m = std::make_unique<TranslationEditorModel>(nullptr, rig.Deps());
    if (rig.p.files.Find(rig.LocalFile())) {
        FUZZ_CHECK(*rig.p.files.Find(rig.LocalFile()) == original, "opening the editor changed ui.local");
    }
    const int steps = in.ConsumeIntegralInRange<int>(1, 40);
    for (int step = 0; step < steps && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange<int>(0, 10)) {
            case 0: m->AddLanguage(in.ConsumeIntegralInRange<int>(-1, static_cast<int>(m->Locales().size()))); break;
            case 1: m->DeleteLanguage(); break;
            case 2: {
                u16 t = Typed(in, 16);
                std::erase(t, u'=');  // a source text with "=" cannot be a table line's source
                m->AddConstText(t);
                break;
            }
            case 3: m->DeleteItemFromList(in.ConsumeIntegralInRange<int>(-1, 40)); break;
            case 4: m->SaveTextList(fuzz::Text(in, 128)); break;
            case 5:
            case 6: {
                if (m->tabs.empty()) break;
                const int tab = in.ConsumeIntegralInRange<int>(0, static_cast<int>(m->tabs.size()) - 1);
                const int row = in.ConsumeIntegralInRange<int>(-1, static_cast<int>(m->tabs[static_cast<std::size_t>(tab)].rows.size()));
                const u16 text = Typed(in, 12);
                m->SetTranslation(tab, row, text);
                break;
            }
            case 7: in.ConsumeBool() ? m->NextPage() : m->PrevPage(); break;
            case 8:
                if (!m->tabs.empty()) m->selected = in.ConsumeIntegralInRange<int>(0, static_cast<int>(m->tabs.size()) - 1);
                break;
            default: {
                const std::size_t count = SourceCount(*m);
                const auto shown = Shown(*m, count);
                std::vector<u16> sources;
                for (const auto& s : m->Lang().Original().Items()) {
                    if (!s.empty()) sources.push_back(s);
                }
                try {
                    m->SaveToLanguageFile();
                } catch (const LanguageDataError& e) {
                    FUZZ_CHECK(false, "saving ui.local failed: %s", e.what());
                }
                auto back = std::make_unique<TranslationEditorModel>(nullptr, rig.Deps());
                std::vector<u16> backSources;
                for (const auto& s : back->Lang().Original().Items()) {
                    if (!s.empty()) backSources.push_back(s);
                }
                FUZZ_CHECK(backSources == sources, "the reloaded editor has %zu source texts (%s), the saved one %zu (%s)",
                           backSources.size(), Joined(backSources).c_str(), sources.size(), Joined(sources).c_str());
                const auto again = Shown(*back, SourceCount(*back));
                for (const auto& [hint, rows] : shown) {
                    FUZZ_CHECK(again.count(hint), "the language %s was lost by a save", fuzz::Show(hint).c_str());
                    for (const auto& [source, text] : rows) {
                        // A table line is "source=translation", cut at its first "=": a
                        // source holding one cannot keep its row (the format's limit).
                        if (text.empty() || std::any_of(text.begin(), text.end(), IsBreak) ||
                            source.find(u'=') != u16::npos) {
                            continue;
                        }
                        auto it = again.at(hint).find(source);
                        FUZZ_CHECK(it != again.at(hint).end(), "the row %s of %s was lost by a save",
                                   fuzz::Show(source).c_str(), fuzz::Show(hint).c_str());
                        FUZZ_CHECK(it->second == text, "%s of %s shows %s after a save, not %s", fuzz::Show(source).c_str(),
                                   fuzz::Show(hint).c_str(), fuzz::Show(it->second).c_str(), fuzz::Show(text).c_str());
                    }
                }
                m = std::move(back);
                break;
            }
        }
    }
}

}  // namespace
}  // namespace vxm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vxm::Run(data, size);
    return 0;
}
