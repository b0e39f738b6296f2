#pragma once
// The language component: source texts, one table per language, the
// language data stream, the locale tables and the walk that translates the
// captions and hints of ordinary components.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "lang/component.h"
#include "lang/lang_table.h"
#include "lang/language_stream.h"
#include "platform/files.h"
#include "platform/locale.h"

namespace vxm {

// The largest language file that is read (and written). A complete
// translation of all 221 texts of the monitor and its configuration
// application into every one of the about 230 languages Windows knows takes
// about 2.5 MB; 8 MiB leaves three times that. Bigger files are damaged or
// hostile, and refusing them bounds what a language file can cost.
inline constexpr std::size_t kMaxLanguageFileSize = std::size_t{8} << 20;

struct LanguageDependencies {
    platform::INationalLanguage& nls;
    platform::IFileSystem& files;
    u16 programFolder;    // ends with "\"
    u16 programFileName;  // the executable's name without its folder
    bool designing = false;
    std::function<void(u16view)> debugOutput;
};

// Texts that code builds at run time and no form holds.
const std::vector<u16>& ConstTextList();

class TvgLang {
public:
    explicit TvgLang(LanguageDependencies deps);
    virtual ~TvgLang() = default;
    TvgLang(const TvgLang&) = delete;
    TvgLang& operator=(const TvgLang&) = delete;

    void AddLang(u16view name);
    TStringList* LanguageTable(u16view name);
    // False when the file does not exist. A malformed file, or one larger
    // than kMaxLanguageFileSize, raises LanguageDataError and changes nothing.
    bool LoadFromFile(u16view path);
    // The same, but the file's languages replace the present ones.
    bool ReplaceFromFile(u16view path);
    // Refuses (LanguageDataError) to write more than a reader would load.
    void SaveToFile(u16view path);
    // All or nothing: a malformed stream raises LanguageDataError and leaves
    // the component as it was.
    void ReadResources(const std::uint8_t* data, std::size_t size);
    std::vector<std::uint8_t> WriteResources() const;
    // Whether a form writes ResourcesBin for this component.
    bool StoresResources() const { return StoreInForm && !FResources.empty(); }
    void ClearLanguages() { FResources.clear(); }

    virtual void Loaded();
    void BaseSetLang(u16view name);
    u16 GetUserLanguageCode();

    u16 FileName;
    bool StoreInForm = true;

    const TStringList& Original() const { return FOriginal; }
    TStringList& Original() { return FOriginal; }
    std::size_t LanguageCount() const { return FResources.size(); }
    const u16& LanguageName(std::size_t i) const { return FResources[i].first; }
    TStringList& LanguageTableAt(std::size_t i) { return *FResources[i].second; }
    void DeleteLanguage(std::size_t i) { FResources.erase(FResources.begin() + static_cast<std::ptrdiff_t>(i)); }
    // True while the owning form is being read (SetLang then only records).
    bool Reading = false;

protected:
    // Tells the debugger why `what` was skipped; never throws.
    void ReportSkipped(u16view what, const char* reason) noexcept;

    LanguageDependencies deps_;
    u16 FLang;
    std::vector<std::pair<u16, std::unique_ptr<TStringList>>> FResources;
    TStringList FOriginal;
    bool FAutoSelect = true;

private:
    bool LoadFile(u16view path, bool replace);
    void Read(const std::uint8_t* data, std::size_t size, bool replace);
};

using TOnCustomTranslate = std::function<void(TComponent* AComponent, std::vector<u16>& ATextList,
                                              std::vector<TComponent*>& AList, u16view BaseName, bool ATranslate)>;
using TOnLanguageChanged =
    std::function<void(class TuiLanguage& AComponent, u16view LanguageShortID, u16view LanguageLongName)>;

class TuiLanguage final : public TvgLang {
public:
    // `owner` is the component (normally a form) that owns this one.
    TuiLanguage(TComponent* owner, LanguageDependencies deps);
    ~TuiLanguage() override;

    // Replaces the languages with those of "ui.local" in the program's
    // folder when it is there. A file that cannot be read, whatever the
    // reason, is skipped whole (the debugger hears why): false then.
    bool LoadProgramLanguageFile();

    // The form's stored data (ResourcesBin), then Loaded, as a form reader does.
    void ReadFormData(const std::uint8_t* resourcesBin, std::size_t size);

    u16 Lang() const { return FLanguageName; }
    void SetLang(u16view Value);
    int GetLanguageIndexByShortID(u16view ShortID) const;
    u16 GetLanguageShortIDByIndex(int Index) const;
    u16 GetOSDefaultLang();
    u16 GetLanguageLongNameByLangID(u16view LangID) const;
    u16 GetLanguageLongNameByShortID(u16view ShortID) const;
    void SetAutoSelect(bool Value);
    bool AutoSelect() const { return autoSelect_; }
    void SetCustomClassList(const std::vector<u16>& list) { FTranslateCustomClassList = list; }
    const std::vector<u16>& SpecialClassName() const { return FTranslateSpecialClassList; }
    static int GetuiParentFormCount();
    static const std::vector<TComponent*>& ParentFormList();

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    bool ActiveLoadFromFile() const { return false; }
    void SetActiveLoadFromFile(bool Value);

    void TranslateComponent(TComponent* C, std::vector<u16>& textList, bool translate, u16 BaseName);
    static u16 GetComponentPath(const TComponent* C);

    TOnCustomTranslate OnCustomTranslate;
    TOnLanguageChanged OnLanguageChanged;
    // Design time: opens the translation editor on this component.
    std::function<void(TuiLanguage&)> OpenEditor;
    // Design time: asks for a language file to load ("Language Files|*.Local").
    std::function<u16()> ChooseLanguageFile;

    // Resets the process-wide lists (tests start from nothing).
    static void ResetProcessState();

private:
    void TranslateChildren(TComponent* C, std::vector<u16>& textList, std::vector<TComponent*>& visited,
                           bool translate, const u16& BaseName);
    void TranslateProperties(TComponent* C, std::vector<u16>& textList, bool translate);
    static bool InList(const std::vector<u16>& list, u16view name);
    void RebuildLocaleTables();

    TComponent* registeredForm_ = nullptr;
    bool FActive = false;
    bool autoSelect_ = false;  // the AutoSelect property, apart from the base flag
    u16 FLanguageName;
    std::vector<u16> FTranslatePropertyList;
    std::vector<u16> FTranslateSpecialClassList;
    std::vector<u16> FTranslateCustomClassList;
};

}  // namespace vxm
