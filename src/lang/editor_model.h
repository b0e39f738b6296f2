#pragma once
// What the translation editor does, apart from how it looks: one tab per
// language with a grid of source texts and translations, adding and deleting
// languages and source texts, the pasted text list, saving "ui.local", and
// paging eight tabs at a time. The window only displays this model.
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "lang/language.h"

namespace vxm {

struct EditorLocale {
    u16 displayName;
    u16 langIdText;
    u16 shortId;  // the LANGID text when the abbreviated country name is readable, else empty
};

// What the tool edits when it is opened on the monitor's own texts, as the
// running monitor has it: the languages of "ui.local" first, then the
// built-in ones, with the source texts of both, so that saving keeps what
// ui.local held. False when a ui.local was there but had to be skipped.
bool ReadMonitorLanguageData(TuiLanguage& lang, const std::uint8_t* resourcesBin, std::size_t size);

class TranslationEditorModel {
public:
    struct Tab {
        u16 caption;
        int width = 0;  // 0: the tab control's own width
        u16 hint;       // the language's short id, which names it when saving
        std::vector<std::array<u16, 2>> rows;
        bool visible = true;
    };

    // On a component (opened by its Active action), or, with none, on a
    // component of its own filled from "ui.local" in the program's folder.
    TranslationEditorModel(TuiLanguage* lang, LanguageDependencies deps);

    const std::vector<EditorLocale>& Locales() const { return locales_; }
    TuiLanguage& Lang() { return *FLang; }
    bool OwnsLanguage() const { return owned_ != nullptr; }

    std::vector<Tab> tabs;
    int selected = -1;
    int PageIndex = 0;
    int TabCount = 0;

    void LoadLanguageAndCreateTranslateTabList();
    void AddLanguage(int localeIndex);
    void DeleteLanguage();
    void AddConstText(u16view text);
    void DeleteItemFromList(int row);
    // The pop-up's "Save": returns how many lines without "=" were skipped.
    int SaveTextList(u16view memo);
    // Writes "ui.local"; returns true when the editor should close.
    bool SaveToLanguageFile();
    void NextPage();
    void PrevPage();
    void ShowTabPage();
    // The translator typed into a cell of the translation column.
    void SetTranslation(int tab, int row, u16view text);

private:
    // Rewrites every grid on the source list, growing one that is too short
    // to the list + extraRows. A row keeps the translation its grid showed
    // for that text; a text new to a grid takes the translation of the tab's
    // own language, or the text itself. The memo's tab takes the memo's.
    void RewriteGrids(std::size_t extraRows, const Tab* memoTab, const std::map<u16, u16>* memo);
    // The source texts that make grid rows, in list order.
    std::vector<u16> Sources() const;

    LanguageDependencies deps_;
    std::unique_ptr<TuiLanguage> owned_;
    TuiLanguage* FLang;
    std::vector<EditorLocale> locales_;
};

}  // namespace vxm
