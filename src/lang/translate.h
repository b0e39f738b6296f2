#pragma once
// The process-wide translation state through which every visible text
// passes: at most one active language table, the reverse mode of a language
// switch, the optional collection of texts, and the registry of scenes that
// refresh their texts when the table changes.
#include <functional>

#include "common/text.h"
#include "lang/lang_table.h"

namespace vxm {

class ITranslatableScene {
public:
    virtual ~ITranslatableScene() = default;
    // Re-applies the style of every object, which re-translates its texts.
    virtual void UpdateResource() = 0;
};

using TranslateHookFn = std::function<u16(u16view)>;

u16 TranslateText(u16view text);
// Optional replacement of the lookup; nothing in the product installs one.
void SetTranslateHook(TranslateHookFn hook);

// A copy of `table` becomes the active table (after a reset); null: nothing.
void ApplyLanguageTable(const TStringList* table);
// Scene texts back to their source texts, then no active table.
void ResetLanguage();
void RefreshScenes();
const TStringList* ActiveLanguageTable();
bool ReverseTranslation();

void BeginTextCollection(platform::INationalLanguage& nls);
const TStringList* CollectedTexts();
void EndTextCollection();

void RegisterScene(ITranslatableScene* scene);
void UnregisterScene(ITranslatableScene* scene);

// Drops every piece of the state (tests start from nothing).
void ResetTranslationState();

}  // namespace vxm
