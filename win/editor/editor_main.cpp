// VXMLANGEDIT.EXE: the translation editor for "ui.local".
//   VXMLANGEDIT.EXE            edits "ui.local" in its own folder
//   VXMLANGEDIT.EXE --monitor  collects the monitor's texts (its window, its
//                              About page and the macro step texts) with the
//                              languages of "ui.local" and the built-in ones,
//                              as the language component does at design time,
//                              and opens the editor on them
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/monitor.h"
#include "app/monitor_language_data.h"
#include "editor/editor_window.h"
#include "lang/component.h"
#include "lang/editor_model.h"
#include "lang/language.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/wide.h"
#include "ui/scene.h"

namespace {

// A ui.local that could not be read is not shown, and saving replaces it:
// the translator hears so before any work is done.
void WarnSkipped(const vxm::u16& problem) {
    if (problem.empty()) return;
    const std::wstring text = vxm::win32::W(problem) + L"\n\nSaving to the language file will replace it.";
    MessageBoxW(nullptr, text.c_str(), L"Translation Editor", MB_OK | MB_ICONWARNING);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    vxm::win32::NationalLanguage nls;
    vxm::win32::FileSystem files;
    const vxm::u16 folder = vxm::win32::SystemPaths().ExecutableFolder();
    const bool monitor = commandLine && std::wcsstr(commandLine, L"--monitor");
    vxm::u16 problem;
    const auto note = [&problem](vxm::u16view text) { problem = vxm::u16(text); };
    if (!monitor) {
        vxm::TranslationEditorModel model(nullptr, vxm::LanguageDependencies{nls, files, folder, vxm::u16(), false, note});
        WarnSkipped(problem);
        vxm::win32::ShowTranslationEditor(instance, model);
        return 0;
    }
    // The monitor's window as the language walk sees it, and its About page.
    vxm::TComponent form(vxm::u16(u"TVXMMONMAIN"), vxm::u16(u"VXMMONMAIN"), nullptr, vxm::TComponent::Kind::Form);
    form.DefineProperty(u"Caption", vxm::u16(vxm::app::kMonitorTitle));
    vxm::TComponent tray(vxm::u16(u"TTrayIcon"), vxm::u16(u"TrayIcon1"), &form);
    tray.DefineProperty(u"Hint", vxm::u16(vxm::app::kTrayHint));
    vxm::ui::Scene about;
    vxm::app::BuildAboutScene(about);
    vxm::TuiLanguage lang(&form, vxm::LanguageDependencies{nls, files, folder, vxm::u16(), true, note});
    // Designing does not load ui.local by itself; the translator's file must
    // not be lost by a save, so it is read here, ahead of the built-in data.
    vxm::ReadMonitorLanguageData(lang, vxm::kMonitorResourcesBin, vxm::kMonitorResourcesBinSize);
    WarnSkipped(problem);
    lang.OpenEditor = [&](vxm::TuiLanguage& l) {
        // The tray hint's second line is composed at run time, not a property.
        for (const char16_t* text : {vxm::app::kMicrophoneMutedText, vxm::app::kMicrophoneLiveText}) {
            l.Original().Add(text);
        }
        vxm::TranslationEditorModel model(&l, vxm::LanguageDependencies{nls, files, folder, vxm::u16(), true, nullptr});
        vxm::win32::ShowTranslationEditor(instance, model);
    };
    lang.SetActive(true);
    return 0;
}
