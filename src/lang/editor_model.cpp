#include "lang/editor_model.h"

#include <algorithm>

namespace vxm {
namespace {

u16 Translation(TStringList* table, u16view source) {
    u16 t;
    if (table) table->Translate(source, t);
    return t;
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
        locales_.push_back({e.displayName, e.langIdText, e.hasAbbrevCountry ? e.langIdText : u16()});
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

void TranslationEditorModel::RewriteGrids(int minimumExtraRows) {
    const auto sources = Sources();
    for (std::size_t t = 0; t < tabs.size(); ++t) {
        Tab& tab = tabs[t];
        if (tab.rows.size() < sources.size()) tab.rows.resize(sources.size() + static_cast<std::size_t>(minimumExtraRows));
        // The translation column is filled only where a table stands at this tab's position.
        TStringList* table = t < FLang->LanguageCount() ? &FLang->LanguageTableAt(t) : nullptr;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const u16& source = sources[i];
            tab.rows[i][0] = source;
            if (table) {
                const u16 tr = Translation(table, source);
                tab.rows[i][1] = tr.empty() ? source : tr;
            }
        }
    }
}

void TranslationEditorModel::AddConstText(u16view text) {
    if (text.empty() || FLang->Original().Contains(text)) return;
    FLang->Original().Add(text);
    RewriteGrids(30);
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

int TranslationEditorModel::SaveTextList(u16view memo) {
    if (selected < 0) return 0;
    FLang->Original().Clear();
    TStringList* table = static_cast<std::size_t>(selected) < FLang->LanguageCount()
                             ? &FLang->LanguageTableAt(static_cast<std::size_t>(selected))
                             : nullptr;
    int skipped = 0;
    std::size_t start = 0;
    while (start <= memo.size()) {
        auto end = memo.find_first_of(u"\r\n", start);
        if (end == u16view::npos) end = memo.size();
        const u16view line = memo.substr(start, end - start);
        if (!line.empty()) {
            const auto eq = line.find(u'=');
            if (eq == u16view::npos) {
                ++skipped;  // malformed: no source text is made of it
            } else {
                const u16view source = line.substr(0, eq);
                FLang->Original().Add(source);
                if (table) SetLine(*table, source, line.substr(eq + 1));
            }
        }
        if (end == memo.size()) break;
        start = end + 1;
    }
    RewriteGrids(30);
    return skipped;
}

bool TranslationEditorModel::SaveToLanguageFile() {
    const std::size_t count = Sources().size();
    FLang->ClearLanguages();
    for (const Tab& tab : tabs) {
        FLang->AddLang(tab.hint);
        TStringList* table = FLang->LanguageTable(tab.hint);
        for (std::size_t i = 0; i < count && i < tab.rows.size() && !tab.rows[i][0].empty(); ++i) {
            SetLine(*table, tab.rows[i][0], tab.rows[i][1]);
        }
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
    rows[static_cast<std::size_t>(row)][1] = u16(text);
}

}  // namespace vxm
