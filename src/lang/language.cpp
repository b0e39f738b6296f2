#include "lang/language.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "lang/translate.h"

namespace vxm {
namespace {

struct LocaleTables {
    // (key, (display name, LANGID text)) in enumeration order.
    std::vector<std::pair<u16, std::pair<u16, u16>>> byLangId;
    std::vector<std::pair<u16, std::pair<u16, u16>>> byShortId;
};

struct ProcessState {
    std::vector<TComponent*> parentForms;
    int parentFormCount = 0;
    int liveComponents = 0;
    std::unique_ptr<LocaleTables> locales;
};

ProcessState& P() {
    static ProcessState state;
    return state;
}

u16 Hex4(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    u16 s(4, u'0');
    for (int i = 3; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = static_cast<char16_t>(digits[v & 0xF]);
        v >>= 4;
    }
    return s;
}

}  // namespace

const std::vector<u16>& ConstTextList() {
    static const std::vector<u16> list = {u"Down",           u"Up",           u"ms",
                                          u"Mouse Click",    u"Mouse Right Click",
                                          u"Mouse Middle Click", u"Backward(Mouse)", u"Forward(Mouse)",
                                          u"Wheel up(Mouse)", u"Wheel Down(Mouse)"};
    return list;
}

TvgLang::TvgLang(LanguageDependencies deps) : deps_(std::move(deps)), FOriginal(deps_.nls) {}

void TvgLang::AddLang(u16view name) {
    if (LanguageTable(name)) return;
    FResources.emplace_back(u16(name), std::make_unique<TStringList>(deps_.nls));
}

TStringList* TvgLang::LanguageTable(u16view name) {
    for (auto& [n, table] : FResources) {
        if (deps_.nls.Compare(n, name, true) == 0) return table.get();
    }
    return nullptr;
}

bool TvgLang::LoadFromFile(u16view path) { return LoadFile(path, false); }

bool TvgLang::ReplaceFromFile(u16view path) { return LoadFile(path, true); }

bool TvgLang::LoadFile(u16view path, bool replace) {
    if (!deps_.files.FileExists(path)) return false;
    std::vector<std::uint8_t> bytes;
    const long rc = deps_.files.ReadFileAtMost(path, kMaxLanguageFileSize, bytes);
    if (rc == platform::kErrorFileTooLarge) {
        throw LanguageDataError("\"" + Utf8(path) + "\" is larger than the " +
                                std::to_string(kMaxLanguageFileSize >> 20) + " MiB a language file may hold");
    }
    if (rc != 0) throw LanguageDataError("cannot read \"" + Utf8(path) + "\" (error " + std::to_string(rc) + ")");
    Read(bytes.data(), bytes.size(), replace);
    return true;
}

void TvgLang::SaveToFile(u16view path) {
    const auto bytes = WriteResources();
    // What the reader would refuse is not written: every saved file loads.
    if (bytes.size() > kMaxLanguageFileSize) {
        throw LanguageDataError("the language data takes " + std::to_string(bytes.size()) + " bytes, more than the " +
                                std::to_string(kMaxLanguageFileSize >> 20) + " MiB a language file may hold");
    }
    const long rc = deps_.files.WriteFile(path, bytes.data(), bytes.size());
    if (rc != 0) throw LanguageDataError("cannot write \"" + Utf8(path) + "\" (error " + std::to_string(rc) + ")");
}

void TvgLang::ReadResources(const std::uint8_t* data, std::size_t size) { Read(data, size, false); }

void TvgLang::Read(const std::uint8_t* data, std::size_t size, bool replace) {
    LanguageStreamReader r(data, size);
    // Everything is built aside; the component changes only once the whole
    // stream has been read.
    TStringList original(deps_.nls);
    original.SetText(r.Text("source text"));
    const std::uint32_t count = r.Count("language count");
    // Every record holds at least its two lengths. Nothing is reserved from
    // the count: the records are built as their bytes are read.
    if (count > r.Remaining() / 8) {
        throw LanguageDataError("language data announces " + std::to_string(count) +
                                " languages, more than it can hold");
    }
    std::vector<std::pair<u16, std::unique_ptr<TStringList>>> languages;
    for (std::uint32_t i = 0; i < count; ++i) {
        u16 name = r.Text("language name");
        auto table = std::make_unique<TStringList>(deps_.nls);
        table->SetText(r.Text("language table"));
        languages.emplace_back(std::move(name), std::move(table));
    }
    // The commit: only the reservation can fail, and it comes first.
    if (replace) {
        FResources.swap(languages);
    } else {
        FResources.reserve(FResources.size() + languages.size());
        for (auto& l : languages) FResources.push_back(std::move(l));
    }
    FOriginal = std::move(original);
}

std::vector<std::uint8_t> TvgLang::WriteResources() const {
    LanguageStreamWriter out;
    out.Text(FOriginal.Text());
    out.Count(static_cast<std::uint32_t>(FResources.size()));
    for (const auto& [name, table] : FResources) {
        out.Text(name);
        out.Text(table->Text());
    }
    return out.Take();
}

u16 TvgLang::GetUserLanguageCode() {
    const u16 abbrev = deps_.nls.LanguageAbbreviation(deps_.nls.UserDefaultLCID());
    if (abbrev.empty()) return u16();
    u16 code = abbrev.substr(0, 2);
    for (auto& c : code) c = AsciiLower(c);
    return code;
}

void TvgLang::ReportSkipped(u16view what, const char* reason) noexcept {
    // A report that cannot be made (no memory left) is dropped; start-up goes on.
    try {
        if (deps_.debugOutput) deps_.debugOutput(u16(what) + u" skipped: " + Utf16(reason));
    } catch (...) {
    }
}

void TvgLang::Loaded() {
    if (!FileName.empty()) {
        try {
            LoadFromFile(deps_.programFileName + FileName);
        } catch (const std::exception& e) {
            ReportSkipped(u"language file", e.what());
        } catch (...) {
            ReportSkipped(u"language file", "unknown error");
        }
    }
    if (FAutoSelect) FLang = GetUserLanguageCode();
    if (!FLang.empty()) {
        if (TStringList* table = LanguageTable(FLang)) ApplyLanguageTable(table);
    }
}

void TvgLang::BaseSetLang(u16view name) {
    FLang = u16(name);
    if (Reading) return;
    if (name == u"en") {
        ResetLanguage();
    } else {
        ApplyLanguageTable(LanguageTable(name));
    }
}

TuiLanguage::TuiLanguage(TComponent* owner, LanguageDependencies deps) : TvgLang(std::move(deps)) {
    ++P().liveComponents;
    RebuildLocaleTables();
    FTranslatePropertyList = {u"Caption", u"Hint"};
    FTranslateSpecialClassList = {u"TMenuItem", u"TTabControl", u"TTabSheet", u"TListView",
                                  u"TTreeView", u"TStatusBar",  u"TComboBoxEx", u"TuiMenuEx"};
    if (owner && owner->IsForm()) {
        P().parentForms.push_back(owner);
        registeredForm_ = owner;
        ++P().parentFormCount;
    }
    if (!deps_.designing) LoadProgramLanguageFile();
}

bool TuiLanguage::LoadProgramLanguageFile() {
    // A file that cannot be read for whatever reason (malformed, too large,
    // no memory for it) is skipped whole: the built-in languages still come.
    try {
        ReplaceFromFile(deps_.programFolder + u"ui.local");
        return true;
    } catch (const std::exception& e) {
        ReportSkipped(u"ui.local", e.what());
    } catch (...) {
        ReportSkipped(u"ui.local", "unknown error");
    }
    return false;
}

TuiLanguage::~TuiLanguage() {
    --P().parentFormCount;
    // The form goes with its component: a later walk must not reach it.
    if (registeredForm_) {
        auto& forms = P().parentForms;
        auto it = std::find(forms.begin(), forms.end(), registeredForm_);
        if (it != forms.end()) forms.erase(it);
    }
    if (--P().liveComponents == 0) P().locales.reset();
}

void TuiLanguage::ReadFormData(const std::uint8_t* resourcesBin, std::size_t size) {
    Reading = true;
    try {
        if (resourcesBin && size) ReadResources(resourcesBin, size);
    } catch (const std::exception& e) {
        ReportSkipped(u"built-in language data", e.what());
    } catch (...) {
        ReportSkipped(u"built-in language data", "unknown error");
    }
    Reading = false;
    Loaded();
}

void TuiLanguage::RebuildLocaleTables() {
    auto tables = std::make_unique<LocaleTables>();
    if (!deps_.designing) {
        for (const auto& e : deps_.nls.SupportedLocales()) {
            const u16 shortId = e.AbbrevCountryFits(4) ? e.langIdText : u16();
            tables->byLangId.push_back({e.langIdText, {e.displayName, e.langIdText}});
            tables->byShortId.push_back({shortId, {e.displayName, e.langIdText}});
        }
    }
    P().locales = std::move(tables);
}

void TuiLanguage::SetLang(u16view Value) {
    BaseSetLang(Value);
    FLanguageName = u16(Value);
    if (!deps_.designing) {
        const auto forms = P().parentForms;
        for (TComponent* form : forms) {
            std::vector<u16> texts;
            TranslateComponent(form, texts, true, u16());
        }
    }
    if (OnLanguageChanged) OnLanguageChanged(*this, FLanguageName, GetLanguageLongNameByShortID(FLanguageName));
}

int TuiLanguage::GetLanguageIndexByShortID(u16view ShortID) const {
    for (std::size_t i = 0; i < FResources.size(); ++i) {
        if (deps_.nls.Compare(FResources[i].first, ShortID, true) == 0) return static_cast<int>(i);
    }
    return -1;
}

u16 TuiLanguage::GetLanguageShortIDByIndex(int Index) const {
    if (Index < 0 || static_cast<std::size_t>(Index) >= FResources.size()) return u16();
    return FResources[static_cast<std::size_t>(Index)].first;
}

u16 TuiLanguage::GetOSDefaultLang() { return Hex4(deps_.nls.SystemDefaultLangID()); }

u16 TuiLanguage::GetLanguageLongNameByLangID(u16view LangID) const {
    if (!P().locales) return u16();
    for (const auto& [key, entry] : P().locales->byLangId) {
        if (deps_.nls.Compare(key, LangID, true) == 0) return entry.first;
    }
    return u16();
}

u16 TuiLanguage::GetLanguageLongNameByShortID(u16view ShortID) const {
    if (!P().locales) return u16();
    for (const auto& [key, entry] : P().locales->byShortId) {
        if (deps_.nls.Compare(key, ShortID, true) == 0) return entry.first;
    }
    return u16();
}

void TuiLanguage::SetAutoSelect(bool Value) {
    autoSelect_ = Value;
    if (Value) SetLang(GetUserLanguageCode());
}

int TuiLanguage::GetuiParentFormCount() { return P().parentFormCount; }
const std::vector<TComponent*>& TuiLanguage::ParentFormList() { return P().parentForms; }

void TuiLanguage::ResetProcessState() {
    P().parentForms.clear();
    P().parentFormCount = 0;
}

void TuiLanguage::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (!deps_.designing || !Value) return;
    struct Off {
        bool& flag;
        ~Off() { flag = false; }
    } off{FActive};
    try {
        BeginTextCollection(deps_.nls);
        RefreshScenes();
        if (const TStringList* collected = CollectedTexts()) {
            for (const auto& t : collected->Items()) FOriginal.Add(t);
        }
        EndTextCollection();
    } catch (...) {
        EndTextCollection();
        return;
    }
    for (TComponent* form : P().parentForms) {
        std::vector<u16> texts;
        TranslateComponent(form, texts, false, u16());
        for (const auto& t : texts) FOriginal.Add(t);
    }
    for (const auto& t : ConstTextList()) FOriginal.Add(t);
    try {
        if (OpenEditor) OpenEditor(*this);
    } catch (...) {
        // The editor failed: Active goes back to false all the same.
    }
}

void TuiLanguage::SetActiveLoadFromFile(bool Value) {
    if (!Value || !deps_.designing || !ChooseLanguageFile) return;
    const u16 file = ChooseLanguageFile();
    if (file.empty()) return;
    // The present languages go only when the file has been read whole.
    ReplaceFromFile(file);
}

bool TuiLanguage::InList(const std::vector<u16>& list, u16view name) {
    return std::any_of(list.begin(), list.end(), [&](const u16& n) { return EqualsNoCase(n, name); });
}

u16 TuiLanguage::GetComponentPath(const TComponent* C) {
    if (!C) return u16();
    if (C->IsForm() || C->GetKind() == TComponent::Kind::DataModule) return C->ClassName();
    const TComponent* owner = C->Owner();
    if (!owner) return u16();
    if (owner->IsForm()) return owner->ClassName();
    return GetComponentPath(owner) + u"." + owner->Name();
}

void TuiLanguage::TranslateComponent(TComponent* C, std::vector<u16>& textList, bool translate, u16 BaseName) {
    if (!C) return;
    if (BaseName.empty()) BaseName = GetComponentPath(C);
    std::vector<TComponent*> visited{C};
    if (C->Components().empty()) {
        TranslateProperties(C, textList, translate);
    } else {
        TranslateChildren(C, textList, visited, translate, BaseName);
    }
}

void TuiLanguage::TranslateChildren(TComponent* C, std::vector<u16>& textList, std::vector<TComponent*>& visited,
                                    bool translate, const u16& BaseName) {
    TranslateProperties(C, textList, translate);
    const auto children = C->Components();
    for (TComponent* child : children) {
        if (!child) continue;
        if (InList(FTranslateSpecialClassList, child->ClassName())) continue;  // left as they are
        if (InList(FTranslateCustomClassList, child->ClassName())) {
            if (OnCustomTranslate) OnCustomTranslate(child, textList, visited, BaseName, translate);
            continue;
        }
        if (C->GetKind() == TComponent::Kind::Application && child->IsForm()) continue;
        if (child->GetKind() == TComponent::Kind::Scene) {
            visited.push_back(child);  // scenes translate their own texts
            continue;
        }
        if (std::find(visited.begin(), visited.end(), child) != visited.end()) continue;
        visited.push_back(child);
        TranslateChildren(child, textList, visited, translate, C->IsForm() ? BaseName : BaseName + u"." + C->Name());
    }
}

void TuiLanguage::TranslateProperties(TComponent* C, std::vector<u16>& textList, bool translate) {
    for (const auto& p : FTranslatePropertyList) {
        std::optional<u16> value;
        try {
            value = C->GetProperty(p);
        } catch (...) {
            continue;  // an unreadable property is passed over
        }
        if (!value || value->empty()) continue;
        textList.push_back(*value);
        const u16 t = TranslateText(*value);
        if (translate && !t.empty()) C->SetProperty(p, t);
    }
}

}  // namespace vxm
