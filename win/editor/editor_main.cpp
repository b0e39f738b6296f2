// VXMLANGEDIT.EXE: the translation editor for "ui.local".
//   VXMLANGEDIT.EXE            edits "ui.local" in its own folder
//   VXMLANGEDIT.EXE --monitor  collects the monitor's texts (its window, its
//                              About page and the macro step texts) with its
//                              built-in languages, as the language component
//                              does at design time, and opens the editor on them
#include <windows.h>

#include <cwchar>

#include "app/monitor.h"
#include "lang/component.h"
#include "lang/editor_model.h"
#include "lang/language.h"
#include "platform/win32/editor_window.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/win32_platform.h"
#include "ui/scene.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    vxm::win32::NationalLanguage nls;
    vxm::win32::FileSystem files;
    const vxm::u16 folder = vxm::win32::SystemPaths().ExecutableFolder();
    const bool monitor = commandLine && std::wcsstr(commandLine, L"--monitor");
    if (!monitor) {
        vxm::TranslationEditorModel model(nullptr, vxm::LanguageDependencies{nls, files, folder, vxm::u16(), false, nullptr});
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
    vxm::TuiLanguage lang(&form, vxm::LanguageDependencies{nls, files, folder, vxm::u16(), true, nullptr});
    lang.ReadResources(vxm::kMonitorResourcesBin, vxm::kMonitorResourcesBinSize);
    lang.OpenEditor = [&](vxm::TuiLanguage& l) {
        vxm::TranslationEditorModel model(&l, vxm::LanguageDependencies{nls, files, folder, vxm::u16(), true, nullptr});
        vxm::win32::ShowTranslationEditor(instance, model);
    };
    lang.SetActive(true);
    return 0;
}
