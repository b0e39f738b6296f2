#pragma once
// TuiLanguageDesignForm: the translation editor's window over its model.
#include <windows.h>

#include "lang/editor_model.h"

namespace vxm::win32 {

// Shows the editor and returns when it is closed (its own message loop, so
// it is modal for whoever opened it).
void ShowTranslationEditor(HINSTANCE instance, TranslationEditorModel& model);

}  // namespace vxm::win32
