#include "lang/translate.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace vxm {
namespace {

struct State {
    TranslateHookFn hook;
    std::unique_ptr<TStringList> active;
    bool reverse = false;
    std::unique_ptr<TStringList> collected;
    std::vector<ITranslatableScene*> scenes;
};

State& S() {
    static State state;
    return state;
}

}  // namespace

u16 TranslateText(u16view text) {
    if (text.empty()) return u16();
    State& s = S();
    if (s.hook) {
        const u16 r = s.hook(text);
        return r.empty() ? u16(text) : s.hook(text);
    }
    if (s.collected) s.collected->Add(text);
    if (!s.active) return u16(text);
    u16 found;
    const bool hit = s.reverse ? s.active->Reverse(text, found) : s.active->Translate(text, found);
    return hit && !found.empty() ? found : u16(text);
}

void SetTranslateHook(TranslateHookFn hook) { S().hook = std::move(hook); }

void ApplyLanguageTable(const TStringList* table) {
    if (!table) return;
    ResetLanguage();
    State& s = S();
    s.active = std::make_unique<TStringList>(*table);  // already sorted and free of duplicates
    RefreshScenes();
}

void ResetLanguage() {
    State& s = S();
    if (!s.active) return;
    s.reverse = true;
    struct Clear {
        State& s;
        ~Clear() {
            s.reverse = false;
            s.active.reset();
        }
    } clear{s};
    RefreshScenes();
}

void RefreshScenes() {
    // A scene may go away while others refresh: walk a snapshot, checking each.
    const auto scenes = S().scenes;
    for (ITranslatableScene* scene : scenes) {
        const auto& now = S().scenes;
        if (std::find(now.begin(), now.end(), scene) != now.end()) scene->UpdateResource();
    }
}

const TStringList* ActiveLanguageTable() { return S().active.get(); }
bool ReverseTranslation() { return S().reverse; }

void BeginTextCollection(platform::INationalLanguage& nls) {
    ResetLanguage();
    if (!S().collected) S().collected = std::make_unique<TStringList>(nls);
}

const TStringList* CollectedTexts() { return S().collected.get(); }
void EndTextCollection() { S().collected.reset(); }

void RegisterScene(ITranslatableScene* scene) {
    auto& v = S().scenes;
    if (std::find(v.begin(), v.end(), scene) == v.end()) v.push_back(scene);
}

void UnregisterScene(ITranslatableScene* scene) {
    auto& v = S().scenes;
    v.erase(std::remove(v.begin(), v.end(), scene), v.end());
}

void ResetTranslationState() {
    State& s = S();
    s.hook = nullptr;
    s.active.reset();
    s.reverse = false;
    s.collected.reset();
}

}  // namespace vxm
