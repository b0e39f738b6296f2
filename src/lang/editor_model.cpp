#include "lang/editor_model.h"

#include <algorithm>
#include <map>

namespace vxm {
namespace {

u16 Translation(TStringList* table, u16view source) {
    u16 t;
    if (table) table->Translate(source, t);
    return t;
}

// The breaks at which a list text is cut when ui.local is read again.
constexpr char16_t kListBreaks[] = u"\r\n\v\f\u2028\u2029";

// What a grid cell or a source text can hold and still read back the same
// from ui.local: one line without NUL (the reader ends the whole list at a
// NUL and cuts a text at every break, which would lose or split what
// follows). A break becomes a space; a NUL goes.
u16 OneLine(u16view text) {
    u16 out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\0') continue;
        out.push_back(u16view(kListBreaks).find(c) == u16view::npos ? c : u' ');
    }
    return out;
}

// Sets a source text's line in a table; an empty translation removes it.
void SetLine(TStringList& table, u16view source, u16view translation) {
    for (const auto& line : std::vector<u16>(table.Items())) {
        const auto eq = line.find(u'=');
        if (eq != u16::npos && table.Nls().Compare(u16view(line).substr(0, eq), source, false) == 0) table.Erase(line);
    }
    if (!translation.empty()) table.Add(u16(source) + u"=" + u16(translation));
}

}  // namespace

bool ReadMonitorLanguageData(TuiLanguage& lang, const std::uint8_t* resourcesBin, std::size_t size) {
    const bool read = lang.LoadProgramLanguageFile();
    std::vector<u16> fileSources = lang.Original().Items();
    lang.ReadResources(resourcesBin, size);  // its source list replaces the file's ...
    lang.Original().AddAll(std::move(fileSources));  // ... and gets the file's texts back
    return read;
}

std::vector<u16> TranslationEditorModel::Sources() const {
    // The list's empty text (every list text ends with a line break) is no
    // row: an empty first cell would end every save before it began.
    std::vector<u16> out;
    for (const auto& s : FLang->Original().Items()) {
        if (!s.empty()) out.push_back(s);
    }
    return out;
}

TranslationEditorModel::TranslationEditorModel(TuiLanguage* lang, LanguageDependencies deps)
    : deps_(std::move(deps)), FLang(lang) {
    for (const auto& e : deps_.nls.SupportedLocales()) {
        // The editor reads the country abbreviation with more room than the component.
        locales_.push_back({e.displayName, e.langIdText, e.AbbrevCountryFits(10) ? e.langIdText : u16()});
    }
    if (!FLang) {
        owned_ = std::make_unique<TuiLanguage>(nullptr, deps_);  // loads ui.local itself
        FLang = owned_.get();
    }
    LoadLanguageAndCreateTranslateTabList();
}

void TranslationEditorModel::LoadLanguageAndCreateTranslateTabList() {
    std::vector<u16> done;
    for (std::size_t l = 0; l < FLang->LanguageCount(); ++l) {
        const u16& name = FLang->LanguageName(l);
        auto it = std::find_if(locales_.begin(), locales_.end(), [&](const EditorLocale& e) {
            return !e.shortId.empty() && deps_.nls.Compare(e.shortId, name, true) == 0;
        });
        if (it == locales_.end()) continue;  // "CH", "US": not a LANGID text
        if (std::find(done.begin(), done.end(), it->langIdText) != done.end()) continue;
        done.push_back(it->langIdText);
        Tab tab;
        tab.caption = it->displayName;
        tab.hint = name;
        const auto sources = Sources();
        tab.rows.resize(sources.size() + 300);
        TStringList& table = FLang->LanguageTableAt(l);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const u16& source = sources[i];
            const u16 t = Translation(&table, source);
            tab.rows[i] = {source, t.empty() ? source : t};
        }
        tabs.push_back(std::move(tab));
        selected = static_cast<int>(tabs.size()) - 1;
        ++TabCount;
    }
    ShowTabPage();
}

void TranslationEditorModel::AddLanguage(int localeIndex) {
    if (localeIndex < 0 || static_cast<std::size_t>(localeIndex) >= locales_.size()) return;
    const EditorLocale& e = locales_[static_cast<std::size_t>(localeIndex)];
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        if (tabs[i].caption == e.displayName) {
            selected = static_cast<int>(i);
            return;
        }
    }
    Tab tab;
    tab.caption = e.displayName;
    tab.width = 150;
    tab.hint = e.shortId;
    const auto sources = Sources();
    tab.rows.resize(sources.size() + 100);
    TStringList* table = FLang->LanguageTable(e.shortId);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const u16& source = sources[i];
        tab.rows[i] = {source, e.shortId.empty() ? u16() : Translation(table, source)};
    }
    tabs.push_back(std::move(tab));
    selected = static_cast<int>(tabs.size()) - 1;
    ++TabCount;
    ShowTabPage();
}

void TranslationEditorModel::DeleteLanguage() {
    if (selected < 0 || static_cast<std::size_t>(selected) >= tabs.size()) return;
    const int deleted = selected;
    tabs.erase(tabs.begin() + deleted);
    --TabCount;
    ShowTabPage();
    selected = tabs.empty() ? -1 : std::max(0, deleted - 1);
}

void TranslationEditorModel::RewriteGrids(std::size_t extraRows, const Tab* memoTab,
                                          const std::map<u16, u16>* memo) {
    const auto sources = Sources();
    for (Tab& tab : tabs) {
        // What the grid shows now is the translator's work, saved or not.
        std::map<u16, u16> shown;
        for (const auto& row : tab.rows) {
            if (!row[0].empty()) shown.emplace(row[0], row[1]);
        }
        // The tab's own language: the one its Hint names, wherever it stands in the list.
        TStringList* table = FLang->LanguageTable(tab.hint);
        if (tab.rows.size() < sources.size()) tab.rows.resize(sources.size() + extraRows);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const u16& source = sources[i];
            u16 translation;
            if (memoTab == &tab) {
                auto m = memo->find(source);
                if (m != memo->end()) translation = m->second;
                if (translation.empty()) translation = source;
            } else if (auto it = shown.find(source); it != shown.end()) {
                translation = it->second;
            } else if (table) {
                translation = Translation(table, source);
                if (translation.empty()) translation = source;
            }
            tab.rows[i] = {source, std::move(translation)};
        }
        // Rows past the list held texts that are no source text any more.
        for (std::size_t i = sources.size(); i < tab.rows.size() && !tab.rows[i][0].empty(); ++i) tab.rows[i] = {};
    }
}

void TranslationEditorModel::AddConstText(u16view added) {
    const u16 text = OneLine(added);
    if (text.empty() || FLang->Original().Contains(text)) return;
    FLang->Original().Add(text);
    RewriteGrids(30, nullptr, nullptr);
}

void TranslationEditorModel::DeleteItemFromList(int row) {
    if (selected < 0 || row < 0) return;
    const auto r = static_cast<std::size_t>(row);
    Tab& current = tabs[static_cast<std::size_t>(selected)];
    if (r >= current.rows.size()) return;
    if (!current.rows[r][0].empty()) FLang->Original().Erase(current.rows[r][0]);
    const std::size_t count = Sources().size();
    for (Tab& tab : tabs) {
        if (r >= tab.rows.size()) continue;
        tab.rows[r] = {};
        std::size_t i = r;
        while (i + 1 < tab.rows.size() && !tab.rows[i + 1][0].empty()) {
            tab.rows[i] = tab.rows[i + 1];
            ++i;
        }
        if (count < tab.rows.size()) tab.rows[count] = {};
    }
}

int TranslationEditorModel::SaveTextList(u16view pasted) {
    if (selected < 0 || static_cast<std::size_t>(selected) >= tabs.size()) return 0;
    // Lines end where the reader of ui.local would end them, and a NUL
    // (which would end the whole list there) is dropped.
    u16 memo(pasted);
    std::erase(memo, u'\0');
    Tab& tab = tabs[static_cast<std::size_t>(selected)];
    // The selected tab's own language, named by its Hint.
    TStringList* table = FLang->LanguageTable(tab.hint);
    std::vector<std::pair<u16, u16>> lines;
    int skipped = 0;
    std::size_t start = 0;
    while (start <= memo.size()) {
        auto end = u16view(memo).find_first_of(kListBreaks, start);
        if (end == u16view::npos) end = memo.size();
        const u16view line = u16view(memo).substr(start, end - start);
        if (!line.empty()) {
            const auto eq = line.find(u'=');
            if (eq == u16view::npos) {
                ++skipped;  // malformed: no source text is made of it
            } else {
                lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
            }
        }
        if (end == memo.size()) break;
        start = end + 1;
    }
    std::vector<u16> sources;
    std::map<u16, u16> translations;  // the last line of a source text wins
    for (auto& [source, translation] : lines) {
        sources.push_back(source);
        translations[source] = translation;
        if (table) SetLine(*table, source, translation);
    }
    FLang->Original().Clear();
    FLang->Original().AddAll(std::move(sources));
    // A tab whose language is not in the list yet (added, not saved) keeps
    // the pasted translations in its grid, so that saving writes them.
    RewriteGrids(30, &tab, &translations);
    return skipped;
}

bool TranslationEditorModel::SaveToLanguageFile() {
    const std::size_t count = Sources().size();
    FLang->ClearLanguages();
    // Per language, in tab order; a later tab of the same language wins.
    std::vector<std::pair<TStringList*, std::map<u16, u16>>> lines;
    for (const Tab& tab : tabs) {
        FLang->AddLang(tab.hint);
        TStringList* table = FLang->LanguageTable(tab.hint);
        auto it = std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.first == table; });
        if (it == lines.end()) it = lines.insert(lines.end(), {table, {}});
        for (std::size_t i = 0; i < count && i < tab.rows.size() && !tab.rows[i][0].empty(); ++i) {
            if (tab.rows[i][1].empty()) {
                it->second.erase(tab.rows[i][0]);  // an empty cell writes no line
            } else {
                it->second[tab.rows[i][0]] = tab.rows[i][1];
            }
        }
    }
    for (auto& [table, map] : lines) {
        std::vector<u16> text;
        text.reserve(map.size());
        for (const auto& [source, translation] : map) text.push_back(source + u"=" + translation);
        table->AddAll(std::move(text));
    }
    FLang->SaveToFile(deps_.programFolder + u"ui.local");
    return !OwnsLanguage();
}

void TranslationEditorModel::NextPage() {
    if (static_cast<int>(tabs.size()) - PageIndex > 8) ++PageIndex;
    ShowTabPage();
}

void TranslationEditorModel::PrevPage() {
    if (PageIndex > 0) --PageIndex;
    ShowTabPage();
}

void TranslationEditorModel::ShowTabPage() {
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const int p = static_cast<int>(i);
        tabs[i].visible = p >= PageIndex && p < PageIndex + 8;
    }
}

void TranslationEditorModel::SetTranslation(int tab, int row, u16view text) {
    if (tab < 0 || static_cast<std::size_t>(tab) >= tabs.size()) return;
    auto& rows = tabs[static_cast<std::size_t>(tab)].rows;
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return;
    rows[static_cast<std::size_t>(row)][1] = OneLine(text);
}

}  // namespace vxm
