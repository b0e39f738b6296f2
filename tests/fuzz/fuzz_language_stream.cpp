// The language data stream, three ways (the first byte chooses):
//  0: raw bytes to the reader. A refused stream leaves the component as it
//     was; an accepted one writes back to bytes that read to the same data
//     (one text may be added: the empty one, since every list text is
//     written with a line break after it and the reader keeps the empty
//     piece after the last break), and the second write is the same as the
//     first's reading gives.
//  1: the same bytes as "ui.local" through the language component's
//     construction (fake files, fake locale support): the file loads exactly
//     when the reader accepts its bytes, with the same languages, and the
//     file is never changed.
//  2: a stream the writer builds from fuzzer-chosen texts and languages: it
//     is always accepted, also through a save and a load of "ui.local", and
//     holds what was put in.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "lang/language.h"
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
    LanguageDependencies Deps(bool designing = true) {
        return LanguageDependencies{nls, p.files, p.paths.exeFolder, u"VXMMON.EXE", designing, nullptr};
    }
    u16 LocalFile() const { return p.paths.exeFolder + u"ui.local"; }
};

// What a stream means: the source texts and each language's name and lines,
// apart from the empty text.
using Meaning = std::vector<std::pair<u16, std::vector<u16>>>;
std::vector<u16> NonEmpty(const TStringList& list) {
    std::vector<u16> out;
    for (const auto& s : list.Items()) {
        if (!s.empty()) out.push_back(s);
    }
    return out;
}
Meaning MeaningOf(Rig& rig, const std::vector<std::uint8_t>& bytes) {
    TvgLang c(rig.Deps());
    c.ReadResources(bytes.data(), bytes.size());
    Meaning m{{u"", NonEmpty(c.Original())}};
    for (std::size_t i = 0; i < c.LanguageCount(); ++i) m.push_back({c.LanguageName(i), NonEmpty(c.LanguageTableAt(i))});
    return m;
}

// Reads `bytes` into a fresh component: its data written back, or nothing
// when the reader refuses them.
bool ReadFresh(Rig& rig, const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& written) {
    TvgLang c(rig.Deps());
    try {
        c.ReadResources(bytes.data(), bytes.size());
    } catch (const LanguageDataError&) {
        FUZZ_CHECK(c.WriteResources() == TvgLang(rig.Deps()).WriteResources(), "a refused stream left data behind");
        return false;
    }
    written = c.WriteResources();
    return true;
}

void RawBytes(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    const std::vector<std::uint8_t> bytes(data, data + size);
    // A component that holds data already: a refused stream changes none of it.
    TvgLang held(rig.Deps());
    held.Original().AddText(u"OK\r\nExit");
    held.AddLang(u"0804");
    held.LanguageTable(u"0804")->AddText(u"OK=\u786e\u5b9a");
    const auto before = held.WriteResources();
    bool accepted = true;
    try {
        held.ReadResources(bytes.data(), bytes.size());
    } catch (const LanguageDataError&) {
        accepted = false;
        FUZZ_CHECK(held.WriteResources() == before, "a refused stream changed the component");
    }
    std::vector<std::uint8_t> once, twice, thrice;
    FUZZ_CHECK(ReadFresh(rig, bytes, once) == accepted, "acceptance depends on what the component held");
    if (!accepted) return;
    // Read, write, read again: the same data.
    FUZZ_CHECK(ReadFresh(rig, once, twice), "the reader refuses what the writer wrote from accepted data");
    FUZZ_CHECK(MeaningOf(rig, bytes) == MeaningOf(rig, once), "a written stream reads back to other texts");
    FUZZ_CHECK(ReadFresh(rig, twice, thrice) && twice == thrice,
               "writing read-back data again changes it (%zu against %zu bytes)", twice.size(), thrice.size());
}

void ProgramLanguageFile(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    const std::vector<std::uint8_t> bytes(data, data + size);
    rig.p.files.PutFile(rig.LocalFile(), bytes);
    std::vector<std::uint8_t> expected;
    const bool readable = ReadFresh(rig, bytes, expected);
    TComponent form(u"TForm1", u"Form1", nullptr, TComponent::Kind::Form);
    std::vector<std::uint8_t> loaded;
    {
        TuiLanguage lang(&form, rig.Deps(false));
        FUZZ_CHECK(lang.Original().Count() == 0 || readable, "an unreadable ui.local left source texts");
        FUZZ_CHECK(lang.LanguageCount() == 0 || readable, "an unreadable ui.local left languages");
        loaded = lang.WriteResources();
        // Loading it again: still the same, never doubled.
        FUZZ_CHECK(lang.LoadProgramLanguageFile() == readable, "a second load of ui.local differs from the first");
        FUZZ_CHECK(lang.WriteResources() == loaded, "a second load of ui.local changed the languages");
    }
    if (readable) FUZZ_CHECK(loaded == expected, "ui.local loaded other languages than its bytes hold");
    const auto* after = rig.p.files.Find(rig.LocalFile());
    FUZZ_CHECK(after && *after == bytes, "loading ui.local changed the file");
    FUZZ_CHECK(rig.p.files.writes == 0, "loading ui.local wrote a file");
}

void WrittenStreams(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Rig rig;
    TvgLang c(rig.Deps());
    c.Original().AddText(fuzz::Text(in, 64));
    const int languages = in.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < languages; ++i) {
        const u16 name = in.ConsumeBool() ? fuzz::Units(in, 6) : fuzz::Text(in, 6);
        c.AddLang(name);
        if (TStringList* t = c.LanguageTable(name)) t->AddText(fuzz::Text(in, 96));
    }
    const auto bytes = c.WriteResources();
    std::vector<std::uint8_t> back;
    FUZZ_CHECK(ReadFresh(rig, bytes, back), "the reader refuses a stream the writer produced");
    FUZZ_CHECK(MeaningOf(rig, back) == MeaningOf(rig, bytes), "a written stream reads back to other texts");
    // The same through a save and a load of the file.
    c.SaveToFile(rig.LocalFile());
    TvgLang d(rig.Deps());
    bool loaded = false;
    try {
        loaded = d.ReplaceFromFile(rig.LocalFile());
    } catch (const LanguageDataError& e) {
        FUZZ_CHECK(false, "a saved ui.local is refused: %s", e.what());
    }
    FUZZ_CHECK(loaded, "a saved ui.local is not found");
    FUZZ_CHECK(d.WriteResources() == back, "a saved ui.local loads other data than its bytes");
    FUZZ_CHECK(d.LanguageCount() == c.LanguageCount(), "languages lost through ui.local");
    for (std::size_t i = 0; i < c.LanguageCount(); ++i) {
        FUZZ_CHECK(d.LanguageName(i) == c.LanguageName(i), "language %zu renamed to %s", i,
                   fuzz::Show(d.LanguageName(i)).c_str());
        FUZZ_CHECK(NonEmpty(d.LanguageTableAt(i)) == NonEmpty(c.LanguageTableAt(i)), "language %zu lost lines", i);
    }
}

}  // namespace
}  // namespace vxm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    switch (data[0] % 3) {
        case 0: vxm::RawBytes(data + 1, size - 1); break;
        case 1: vxm::ProgramLanguageFile(data + 1, size - 1); break;
        default: vxm::WrittenStreams(data + 1, size - 1); break;
    }
    return 0;
}
