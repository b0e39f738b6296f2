; VXMMON-Setup.exe: installs the gaming mouse monitor for every user of this
; computer (Program Files, the all-users Start menu, HKLM), starts it with
; Windows if wanted, and registers an uninstaller that removes exactly what
; was installed. Built by CMake with
;   makensis -INPUTCHARSET UTF8 -DTARGET=x86-unicode|amd64-unicode -DSTAGE=<stage folder>
;            -DSOURCE=<source tree> -DOUTFILE=<installer> VXMMON.nsi
; Silent use: VXMMON-Setup.exe /S [/D=C:\Some Folder]   (/D= last, unquoted)
;             VXMMON-Uninstall.exe /S   (returns at once: it goes on from a copy
;             in the temporary folder; a copy run with _?=C:\Its Folder is
;             waited for and gives the exit code)
; Exit codes of the installer: 0 installed; 3010 installed, a restart finishes
; it; 1 cancelled; 2 the running monitor did not end; 32 a file it must
; replace is in use by another program (nothing changed); 1603 writing failed
; (the previous files restored); 740 no administrator rights. The uninstaller:
; 0 removed; 3010 a file in use goes at the next restart; 2; 740.
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
; A file that cannot be written is never skipped: a silent run would
; otherwise report success with the old file left.
AllowSkipFiles off
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh

; Taken from what is built, so that the installer never tells another version
; or publisher than the program's own resource.
!getdllversion "${STAGE}/VXMMON.EXE" VXMVER_
!define VERSION "${VXMVER_1}.${VXMVER_2}.${VXMVER_3}.${VXMVER_4}"
!searchparse /file "${SOURCE}/win/monitor/monitor.rc" `VALUE "CompanyName", "` PUBLISHER `"`
; The monitor's end request, as the monitor registers it.
!searchparse /file "${SOURCE}/win/monitor/end_request.h" `kEndRequestName[] = L"` END_REQUEST_NAME `"`
!searchparse /file "${SOURCE}/win/monitor/end_request.h" `kEndRequestCheck = ` END_REQUEST_CHECK `;`

!define NAME "Gaming Mouse Monitor"
!define MONITOR_CLASS "TVXMMONMAIN"
!define UNINSTALLER "VXMMON-Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VXMMON"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "VXMMON"
!define SHORTCUT "$SMPROGRAMS\${NAME}.lnk"
; The size and CRC-32 of the config.ini the installer wrote, so that the
; uninstaller can tell it from one the user changed.
!define CONFIG_RECORD "ConfigIniAsInstalled"
!define PENDING_KEY "SYSTEM\CurrentControlSet\Control\Session Manager"
!define PENDING_VALUE "PendingFileRenameOperations"
; How long the running monitor has to answer the end request (a hung one:
; SMTO_ABORTIFHUNG gives up at once on a window the system already counts as
; hung), then how long its process has to end once asked (its own ending
; takes well under a second; a hand-over to a slow device may add up to two).
!define ANSWER_WAIT_MS 5000
!define END_WAIT_MS 10000
; The toolhelp records, read field by field (szExeFile, szExePath).
!if "${TARGET}" == "amd64-unicode"
!define PROCESSENTRY_SIZE 568
!define PROCESSENTRY_NAME 44
!define MODULEENTRY_SIZE 1080
!define MODULEENTRY_PATH 560
!else
!define PROCESSENTRY_SIZE 556
!define PROCESSENTRY_NAME 36
!define MODULEENTRY_SIZE 1064
!define MODULEENTRY_PATH 544
!endif

; The files the installer replaces, relative to the program's folder, with
; where the build staged them. The uninstaller itself is written apart.
!macro PROGRAM_FILES DO
    !insertmacro ${DO} "VXMMON.EXE" "VXMMON.EXE"
    !insertmacro ${DO} "uiHook.dll" "uiHook.dll"
    !insertmacro ${DO} "VXMLANGEDIT.EXE" "VXMLANGEDIT.EXE"
    !insertmacro ${DO} "images\0409\icons\logo.ico" "images/0409/icons/logo.ico"
!macroend

Name "${NAME}"
OutFile "${OUTFILE}"
BrandingText "${NAME} ${VERSION}"
!if "${TARGET}" == "amd64-unicode"
InstallDir "$PROGRAMFILES64\${NAME}"
!else
InstallDir "$PROGRAMFILES\${NAME}"
!endif
; An upgrade goes where the last installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${NAME}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${NAME} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${STAGE}/images/0409/icons/logo.ico"
!define MUI_UNICON "${STAGE}/images/0409/icons/logo.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartMonitor
; A restart is offered only when a file waits for it, and is the user's choice.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString AutostartSection ${LANG_ENGLISH} "Start with Windows"
LangString AutostartSection ${LANG_SIMPCHINESE} "随 Windows 启动"
LangString StartNow ${LANG_ENGLISH} "Start the monitor now"
LangString StartNow ${LANG_SIMPCHINESE} "立即启动监控程序"
LangString NeedAdmin ${LANG_ENGLISH} "${NAME} is installed for all users of this computer, which needs administrator rights."
LangString NeedAdmin ${LANG_SIMPCHINESE} "${NAME} 为这台电脑的所有用户安装，需要管理员权限。"
LangString Asking ${LANG_ENGLISH} "Asking the running monitor to end..."
LangString Asking ${LANG_SIMPCHINESE} "正在请求运行中的监控程序退出..."
LangString Ended ${LANG_ENGLISH} "The running monitor has ended."
LangString Ended ${LANG_SIMPCHINESE} "运行中的监控程序已退出。"
LangString StillRunning ${LANG_ENGLISH} "The gaming mouse monitor is still running: it did not end within $R9 seconds of being asked, and its files cannot be replaced or removed while it runs.$\r$\n$\r$\nEnd it with Exit in its tray menu, then click Retry. Cancel stops here and changes nothing more."
LangString StillRunning ${LANG_SIMPCHINESE} "游戏鼠标监控程序仍在运行：请求退出后 $R9 秒内未退出，运行期间无法替换或删除其文件。$\r$\n$\r$\n请在托盘菜单中选择退出，然后点击“重试”。点击“取消”将在此停止，不再做任何更改。"
LangString NotEnded ${LANG_ENGLISH} "The running monitor did not end; nothing was replaced or removed."
LangString NotEnded ${LANG_SIMPCHINESE} "运行中的监控程序未退出；未替换或删除任何文件。"
LangString InUse ${LANG_ENGLISH} "These files cannot be replaced, because another program has them open:$\r$\n$R9$\r$\nClose that program, then click Retry. Cancel stops here and changes nothing."
LangString InUse ${LANG_SIMPCHINESE} "无法替换以下文件，因为另一个程序正在使用它们：$\r$\n$R9$\r$\n请关闭该程序，然后点击“重试”。点击“取消”将在此停止，不做任何更改。"
LangString InUseNothingChanged ${LANG_ENGLISH} "Files in use by another program; nothing was changed:"
LangString InUseNothingChanged ${LANG_SIMPCHINESE} "文件正被另一个程序使用；未做任何更改："
LangString HeldBy ${LANG_ENGLISH} "in use by"
LangString HeldBy ${LANG_SIMPCHINESE} "正被使用："
LangString Process ${LANG_ENGLISH} "process"
LangString Process ${LANG_SIMPCHINESE} "进程"
LangString AnotherProgram ${LANG_ENGLISH} "in use by another program"
LangString AnotherProgram ${LANG_SIMPCHINESE} "正被另一个程序使用"
LangString WriteFailed ${LANG_ENGLISH} "Writing $R9 failed; the installation stops."
LangString WriteFailed ${LANG_SIMPCHINESE} "写入 $R9 失败；安装停止。"
LangString Restored ${LANG_ENGLISH} "The installation could not be completed. The previous files were restored."
LangString Restored ${LANG_SIMPCHINESE} "安装未能完成。已恢复原有文件。"
LangString NotRestored ${LANG_ENGLISH} "The installation could not be completed, and these files could not be restored (their previous versions are beside them, ending in .old):$\r$\n$R9"
LangString NotRestored ${LANG_SIMPCHINESE} "安装未能完成，以下文件无法恢复（原有版本在其旁边，以 .old 结尾）：$\r$\n$R9"
LangString StartedAgain ${LANG_ENGLISH} "The monitor was started again."
LangString StartedAgain ${LANG_SIMPCHINESE} "已重新启动监控程序。"
LangString RemovingPrevious ${LANG_ENGLISH} "Removing the previous installation in $R9..."
LangString RemovingPrevious ${LANG_SIMPCHINESE} "正在删除位于 $R9 的旧版安装..."
LangString PreviousLeft ${LANG_ENGLISH} "The previous installation in $R9 was not removed completely."
LangString PreviousLeft ${LANG_SIMPCHINESE} "位于 $R9 的旧版安装未能完全删除。"
LangString ConfigKept ${LANG_ENGLISH} "config.ini was changed after it was installed and stays."
LangString ConfigKept ${LANG_SIMPCHINESE} "config.ini 在安装后被修改过，予以保留。"

Var EndedMonitor  ; the program of a monitor the installer ended, to start it again
Var PrevDir       ; the previous installation's folder, when it is another one
Var Phase         ; "" before writing, "writing" while files are swapped, "done"
Var Swapped       ; |path| of each new file moved into place
Var FailCode      ; the exit code of a run that stops
Var Aside         ; |path| of each file moved aside (NAME.old)
Var Blocked       ; |path| of each file that cannot be replaced
Var BlockedText   ; the same, one line each, with what holds it where known
Var ConfigRecord  ; the record of the installed config.ini ("" for a user's own)
Var PrevRecord    ; the same of the previous installation
Var Pending       ; |path| of each file and folder left for the next restart

; Says why a run stops: in the details and, for a silent run whose caller gave
; it a standard error, there too (UTF-8).
!macro SAY un
Function ${un}Say  ; $R9: the text
    Push $0
    Push $1
    Push $2
    Push $3
    DetailPrint "$R9"
    ${If} ${Silent}
        System::Call 'kernel32::GetStdHandle(i -12) p .r0'
        ${If} $0 P<> 0
        ${AndIf} $0 P<> -1
            StrCpy $3 "$R9$\r$\n"
            System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r3, i -1, p 0, i 0, p 0, p 0) i .r1'
            ${If} $1 > 1
                System::Alloc $1
                Pop $2
                System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r3, i -1, p r2, i r1, p 0, p 0)'
                IntOp $1 $1 - 1
                System::Call 'kernel32::WriteFile(p r0, p r2, i r1, *i .r1, p 0)'
                System::Free $2
            ${EndIf}
        ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro SAY ""
!insertmacro SAY "un."

; Whether two paths name one file: the same path, or the same volume and
; file index.
!macro SAME_FILE un
Function ${un}SameFile  ; $R1, $R2: the paths; $R3: "1" when they do
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    Push $9
    StrCpy $R3 0
    ${If} $R1 == $R2
        StrCpy $R3 1
    ${EndIf}
    ; FILE_READ_ATTRIBUTES, any sharing: nothing that holds them is disturbed.
    System::Call 'kernel32::CreateFileW(w R1, i 0x80, i 7, p 0, i 3, i 0, p 0) p .r0'
    System::Call 'kernel32::CreateFileW(w R2, i 0x80, i 7, p 0, i 3, i 0, p 0) p .r1'
    System::Alloc 52  ; BY_HANDLE_FILE_INFORMATION
    Pop $2
    System::Alloc 52
    Pop $3
    ${If} $0 P<> -1
    ${AndIf} $1 P<> -1
        System::Call 'kernel32::GetFileInformationByHandle(p r0, p r2) i .r4'
        System::Call 'kernel32::GetFileInformationByHandle(p r1, p r3) i .r5'
        ${If} $4 <> 0
        ${AndIf} $5 <> 0
            ; The volume's serial number, the file index's high and low parts.
            System::Call '*$2(i, i, i, i, i, i, i, i .r4, i, i, i, i .r5, i .r6)'
            System::Call '*$3(i, i, i, i, i, i, i, i .r7, i, i, i, i .r8, i .r9)'
            ${If} $4 == $7
            ${AndIf} $5 == $8
            ${AndIf} $6 == $9
                StrCpy $R3 1
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $0 P<> -1
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    ${If} $1 P<> -1
        System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    System::Free $3
    System::Free $2
    Pop $9
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro SAME_FILE ""
!insertmacro SAME_FILE "un."

; The size and CRC-32 of a small file ("" when it cannot be read or is larger
; than any config.ini the installer writes could be).
!macro FILE_SIGNATURE un
Function ${un}FileSignature  ; $R1: the file; $R2: its signature
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    StrCpy $R2 ""
    System::Call 'kernel32::CreateFileW(w R1, i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r0'
    ${If} $0 P<> -1
        System::Call 'kernel32::GetFileSize(p r0, *i .r2) i .r1'
        ${If} $2 == 0
        ${AndIf} $1 >= 0
        ${AndIf} $1 <= 1048576
            IntOp $2 $1 + 1
            System::Alloc $2
            Pop $2
            System::Call 'kernel32::ReadFile(p r0, p r2, i r1, *i .r3, p 0) i .r4'
            ${If} $4 <> 0
            ${AndIf} $3 == $1
                System::Call 'ntdll::RtlComputeCrc32(i 0, p r2, i r1) i .r4'
                IntFmt $4 "%08X" $4
                StrCpy $R2 "$1:$4"
            ${EndIf}
            System::Free $2
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro FILE_SIGNATURE ""
!insertmacro FILE_SIGNATURE "un."

; Ends a running monitor the way its tray menu's "Exit" does, and waits until
; its process is gone: its files are in use until then. A monitor that does
; not end in time is reported (silently: the exit code 2 of an aborted run)
; and left running; it is never killed. The installer ends any monitor (a new
; one cannot start beside it) and remembers the first one's program, to start
; it again if the installation stops; the uninstaller only one that runs its
; folder's program.
!macro END_RUNNING_MONITOR un
Function ${un}EndRunningMonitor
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $R9
    IntOp $R9 ${END_WAIT_MS} / 1000
    StrCpy $3 0  ; monitors ended; a new one each time would be a loop
!if "${un}" == "un."
    ; A monitor whose program this folder's VXMMON.EXE is not (another
    ; installation's) holds none of its files: it goes on running.
    StrCpy $4 "$INSTDIR\VXMMON.EXE"
    System::Call 'kernel32::CreateFileW(w r4, i 0x40000000, i 0, p 0, i 3, i 0, p 0) p .r0'
    ${If} $0 P<> -1
        System::Call 'kernel32::CloseHandle(p r0)'
        StrCpy $3 4
    ${ElseIfNot} ${FileExists} $4
        StrCpy $3 4
    ${EndIf}
!endif
    ${DoWhile} $3 < 4
        FindWindow $0 "${MONITOR_CLASS}"
        ${If} $0 == 0
            ${Break}
        ${EndIf}
        StrCpy $1 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
        ; SYNCHRONIZE: enough to wait for it, not enough to end it; and the
        ; name of its program.
        System::Call 'kernel32::OpenProcess(i 0x00101000, i 0, i r1) p .r2'
!if "${un}" == ""
        ${If} $2 P<> 0
        ${AndIf} $EndedMonitor == ""
            System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r4, *i ${NSIS_MAX_STRLEN}) i .r1'
            ${If} $1 <> 0
                StrCpy $EndedMonitor $4
            ${EndIf}
        ${EndIf}
!endif
        DetailPrint "$(Asking)"
        System::Call 'user32::RegisterWindowMessageW(w "${END_REQUEST_NAME}") i .r1'
        System::Call 'user32::SendMessageTimeoutW(p r0, i r1, p ${END_REQUEST_CHECK}, p 0, i 2, i ${ANSWER_WAIT_MS}, *p .r1) p'
        ${If} $2 P<> 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${END_WAIT_MS}) i .r1'
            System::Call 'kernel32::CloseHandle(p r2)'
        ${Else}
            ; No handle on its process: wait for its window to go instead.
            StrCpy $1 0
            ${Do}
                System::Call 'user32::IsWindow(p r0) i .r2'
                ${If} $2 == 0
                    ${Break}
                ${EndIf}
                Sleep 100
                IntOp $1 $1 + 100
            ${LoopUntil} $1 >= ${END_WAIT_MS}
            ${If} $2 == 0
                StrCpy $1 0
            ${Else}
                StrCpy $1 258  ; WAIT_TIMEOUT
            ${EndIf}
        ${EndIf}
        IntOp $3 $3 + 1
        ${If} $1 == 0
        ${AndIf} $3 < 4
            DetailPrint "$(Ended)"
            ${Continue}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY +4
        StrCpy $R9 "$(NotEnded)"
        Call ${un}Say
        Abort "$(NotEnded)"
        StrCpy $3 0
    ${Loop}
    Pop $R9
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_MONITOR ""
!insertmacro END_RUNNING_MONITOR "un."

!macro INIT
    ; Per-machine: the program's folder, the Start-menu entry, the Run value
    ; and the uninstaller's key are all the machine's, for every user.
    SetShellVarContext all
!if "${TARGET}" == "amd64-unicode"
    SetRegView 64
!endif
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_OK|MB_ICONSTOP "$(NeedAdmin)" /SD IDOK
        SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
!macroend

; Whether a file can be replaced: opened for writing with no sharing, which
; fails while any other process has it open or runs or has loaded it. While
; a monitor runs ($3 "1"), a program and a hook library of the monitor's own
; names are taken to be in its hands until it ends, and checked again then.
!macro CHECK_FILE PATH SOURCE
    StrCpy $1 "$0\${PATH}"
    ${If} ${FileExists} $1
        System::Call 'kernel32::CreateFileW(w r1, i 0x40000000, i 0, p 0, i 3, i 0, p 0) p .r2'
        ${If} $2 P<> -1
            System::Call 'kernel32::CloseHandle(p r2)'
        ${ElseIf} $3 == 1
        ${AndIf} "${PATH}" == "VXMMON.EXE"
        ${ElseIf} $3 == 1
        ${AndIf} "${PATH}" == "uiHook.dll"
        ${Else}
            StrCpy $Blocked "$Blocked$1|"
        ${EndIf}
    ${EndIf}
!macroend

; The processes that run or have loaded a file of $Blocked: one line "file:
; in use by name (process N)" each in $BlockedText. Files that are only open
; (not run or loaded) are not found here.
Function FindHolders
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r0'
    ${If} $0 P<> -1
        System::Alloc ${PROCESSENTRY_SIZE}
        Pop $1
        System::Alloc ${MODULEENTRY_SIZE}
        Pop $2
        System::Call '*$1(i ${PROCESSENTRY_SIZE})'
        System::Call 'kernel32::Process32FirstW(p r0, p r1) i .r3'
        ${DoWhile} $3 <> 0
            System::Call '*$1(i, i, i .r4)'
            ${If} $4 <> 0
                ; Both kinds: a 32-bit program's modules from a 64-bit installer too.
                System::Call 'kernel32::CreateToolhelp32Snapshot(i 0x18, i r4) p .r5'
                ${If} $5 P<> -1
                    System::Call '*$2(i ${MODULEENTRY_SIZE})'
                    System::Call 'kernel32::Module32FirstW(p r5, p r2) i .r6'
                    ${DoWhile} $6 <> 0
                        IntPtrOp $7 $2 + ${MODULEENTRY_PATH}
                        System::Call '*$7(&w260 .r7)'
                        System::Call 'shlwapi::StrStrIW(w "$Blocked", w "|$7|") p .r8'
                        ${If} $8 P<> 0
                            IntPtrOp $8 $1 + ${PROCESSENTRY_NAME}
                            System::Call '*$8(&w260 .r8)'
                            StrCpy $BlockedText "$BlockedText$7: $(HeldBy) $8 ($(Process) $4)$\r$\n"
                        ${EndIf}
                        System::Call 'kernel32::Module32NextW(p r5, p r2) i .r6'
                    ${Loop}
                    System::Call 'kernel32::CloseHandle(p r5)'
                ${EndIf}
            ${EndIf}
            System::Call 'kernel32::Process32NextW(p r0, p r1) i .r3'
        ${Loop}
        System::Free $2
        System::Free $1
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Lists the files of this folder (and of the previous installation's) that
; cannot be replaced in $Blocked, and, naming what holds each where that can
; be known, in $BlockedText. Files held only by the running monitor go with it.
!macro NO_HOLDER_FOUND PATH SOURCE
    StrCpy $1 "$0\${PATH}"
    System::Call 'shlwapi::StrStrIW(w "$Blocked", w "|$1|") p .r2'
    ${If} $2 P<> 0
        System::Call 'shlwapi::StrStrIW(w "$BlockedText", w "$1: ") p .r2'
        ${If} $2 P= 0
            StrCpy $BlockedText "$BlockedText$1: $(AnotherProgram)$\r$\n"
        ${EndIf}
    ${EndIf}
!macroend
!macro IN_BOTH_FOLDERS DO
    StrCpy $0 $INSTDIR
    !insertmacro PROGRAM_FILES ${DO}
    !insertmacro ${DO} "${UNINSTALLER}" ""
    ${If} $PrevDir != ""
        StrCpy $0 $PrevDir
        !insertmacro PROGRAM_FILES ${DO}
        !insertmacro ${DO} "${UNINSTALLER}" ""
    ${EndIf}
!macroend
Function CheckFiles
    Push $0
    Push $1
    Push $2
    Push $3
    StrCpy $Blocked "|"
    StrCpy $BlockedText ""
    FindWindow $3 "${MONITOR_CLASS}"
    ${If} $3 <> 0
        StrCpy $3 1
    ${EndIf}
    !insertmacro IN_BOTH_FOLDERS CHECK_FILE
    ${If} $Blocked != "|"
        Call FindHolders
        ; The files no program was found for: open in one.
        !insertmacro IN_BOTH_FOLDERS NO_HOLDER_FOUND
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Stops the installation for files in use: nothing is changed, a monitor
; that was ended is started again.
Function StopForFilesInUse
    Push $R9
    StrCpy $FailCode 32
    StrCpy $R9 "$(InUseNothingChanged)$\r$\n$BlockedText"
    Call Say
    Pop $R9
    Abort
FunctionEnd

; Checks the files, asks the running monitor to end, and checks them again:
; what another program holds stops the installation before the monitor is
; asked, or, if it shows only then, with the monitor started again.
Function EndMonitorForFiles
    Push $R9
    ${Do}
        Call CheckFiles
        ${If} $Blocked != "|"
            StrCpy $R9 $BlockedText
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUse)" /SD IDCANCEL IDRETRY next
            Call StopForFilesInUse
        ${EndIf}
        Call EndRunningMonitor
        Call CheckFiles
        ${If} $Blocked == "|"
            ${Break}
        ${EndIf}
        Call StartEndedMonitor
        StrCpy $R9 $BlockedText
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUse)" /SD IDCANCEL IDRETRY next
        Call StopForFilesInUse
      next:
    ${Loop}
    Pop $R9
FunctionEnd

; Drops from the operations that the system carries out at the next restart
; (the value PendingFileRenameOperations: pairs of a source and a target,
; "" to delete, "!" before a target it may replace) each that names a path
; of this installation: an earlier uninstall may have left a file in use to
; be deleted then, which would now delete the new one. A value that is not
; such a list is left as it is.
Function CancelPendingOperations  ; $R4: |path| of each path of the installation
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    Push $9
    Push $R5
    Push $R6
    Push $R7
    Push $R8
    ; HKEY_LOCAL_MACHINE, sign-extended as the system's handle is.
    System::Call 'advapi32::RegOpenKeyExW(p -2147483646, w "${PENDING_KEY}", i 0, i 3, *p .r0) i .r1'
    ${If} $1 == 0
        System::Call 'advapi32::RegQueryValueExW(p r0, w "${PENDING_VALUE}", p 0, *i .r2, p 0, *i .r3) i .r1'
        ; A list a thousand times longer than any real one is left alone.
        ${If} $1 == 0
        ${AndIf} $2 == 7  ; REG_MULTI_SZ
        ${AndIf} $3 > 0
        ${AndIf} $3 <= 1048576
            ; Zeros after the data end every string, whatever the value holds.
            IntOp $4 $3 + 8
            System::Alloc $4
            Pop $5
            System::Alloc $4
            Pop $6
            System::Call 'advapi32::RegQueryValueExW(p r0, w "${PENDING_VALUE}", p 0, p 0, p r5, *i r3r3) i .r1'
            StrCpy $R5 0      ; pairs dropped
            StrCpy $R8 ok     ; "bad" when the list is not pairs of strings
            StrCpy $7 $5      ; where the next pair starts
            IntPtrOp $8 $5 + $3
            StrCpy $9 $6      ; where the next kept pair goes
            ${If} $1 != 0
                StrCpy $R8 bad
            ${EndIf}
            ${DoWhile} $R8 == ok
                ${If} $7 P>= $8
                    ${Break}
                ${EndIf}
                System::Call 'kernel32::lstrlenW(p r7) i .r1'
                ${If} $1 == 0
                    ${Break}  ; the list's end
                ${EndIf}
                IntOp $1 $1 + 1
                IntOp $2 $1 * 2
                IntPtrOp $2 $7 + $2  ; the target
                ${If} $2 P>= $8
                    StrCpy $R8 bad
                    ${Break}
                ${EndIf}
                System::Call 'kernel32::lstrlenW(p r2) i .r4'
                IntOp $4 $4 + 1
                StrCpy $R6 ""
                StrCpy $R7 ""
                ${If} $1 < ${NSIS_MAX_STRLEN}
                    System::Call '*$7(&w$1 .R6)'
                ${EndIf}
                ${If} $4 < ${NSIS_MAX_STRLEN}
                    System::Call '*$2(&w$4 .R7)'
                ${EndIf}
                StrCpy $2 $R7 1
                ${If} $2 == "!"
                    StrCpy $R7 $R7 "" 1
                ${EndIf}
                StrCpy $2 $R7 4
                ${If} $2 == "\??\"
                    StrCpy $R7 $R7 "" 4
                ${EndIf}
                StrCpy $2 $R6 4
                ${If} $2 == "\??\"
                    StrCpy $R6 $R6 "" 4
                ${EndIf}
                StrCpy $R7 "|$R7|"
                StrCpy $R6 "|$R6|"
                System::Call 'shlwapi::StrStrIW(w R4, w R6) p .r2'
                ${If} $2 P= 0
                    System::Call 'shlwapi::StrStrIW(w R4, w R7) p .r2'
                ${EndIf}
                IntOp $1 $1 + $4
                IntOp $1 $1 * 2  ; bytes of the pair
                ${If} $2 P<> 0
                    IntOp $R5 $R5 + 1
                ${Else}
                    System::Call 'kernel32::RtlMoveMemory(p r9, p r7, p r1)'
                    IntPtrOp $9 $9 + $1
                ${EndIf}
                IntPtrOp $7 $7 + $1
            ${Loop}
            ${If} $R8 == ok
            ${AndIf} $R5 > 0
                IntPtrOp $1 $9 - $6
                ${If} $1 == 0
                    System::Call 'advapi32::RegDeleteValueW(p r0, w "${PENDING_VALUE}") i'
                ${Else}
                    IntOp $1 $1 + 2  ; the list's closing zero
                    System::Call 'advapi32::RegSetValueExW(p r0, w "${PENDING_VALUE}", i 0, i 7, p r6, i r1) i'
                ${EndIf}
            ${EndIf}
            System::Free $6
            System::Free $5
        ${EndIf}
        System::Call 'advapi32::RegCloseKey(p r0)'
    ${EndIf}
    Pop $R8
    Pop $R7
    Pop $R6
    Pop $R5
    Pop $9
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Each new file goes in beside the one it replaces (NAME.new), then the old
; one aside (NAME.old) and the new one into its place, so that a failure at
; any step can put the previous files back.
!macro STAGE_FILE PATH SOURCE
    Delete "$INSTDIR\${PATH}.new"
    ClearErrors
    File "/oname=$INSTDIR\${PATH}.new" "${STAGE}/${SOURCE}"
    ${If} ${Errors}
        StrCpy $R9 "$INSTDIR\${PATH}"
        Call FailWriting
    ${EndIf}
!macroend
!macro SWAP_FILE PATH SOURCE
    ${If} ${FileExists} "$INSTDIR\${PATH}"
        Delete "$INSTDIR\${PATH}.old"
        ClearErrors
        Rename "$INSTDIR\${PATH}" "$INSTDIR\${PATH}.old"
        ${If} ${Errors}
            StrCpy $R9 "$INSTDIR\${PATH}"
            Call FailWriting
        ${EndIf}
        StrCpy $Aside "$Aside$INSTDIR\${PATH}|"
    ${EndIf}
    ClearErrors
    Rename "$INSTDIR\${PATH}.new" "$INSTDIR\${PATH}"
    ${If} ${Errors}
        StrCpy $R9 "$INSTDIR\${PATH}"
        Call FailWriting
    ${EndIf}
    StrCpy $Swapped "$Swapped$INSTDIR\${PATH}|"
!macroend
!macro RESTORE_FILE PATH SOURCE
    System::Call 'shlwapi::StrStrIW(w "$Swapped", w "|$INSTDIR\${PATH}|") p .r0'
    ${If} $0 P<> 0
        Delete "$INSTDIR\${PATH}"
    ${EndIf}
    System::Call 'shlwapi::StrStrIW(w "$Aside", w "|$INSTDIR\${PATH}|") p .r0'
    ${If} $0 P<> 0
        ClearErrors
        Rename "$INSTDIR\${PATH}.old" "$INSTDIR\${PATH}"
        ${If} ${Errors}
            StrCpy $R9 "$R9$INSTDIR\${PATH}$\r$\n"
        ${EndIf}
    ${EndIf}
    Delete "$INSTDIR\${PATH}.new"
!macroend
!macro DROP_BACKUP PATH SOURCE
    Delete /REBOOTOK "$INSTDIR\${PATH}.old"
!macroend
!macro PENDING_PATH PATH SOURCE
    StrCpy $R4 "$R4$INSTDIR\${PATH}|"
!macroend

Function FailWriting  ; $R9: the file
    StrCpy $FailCode 1603  ; ERROR_INSTALL_FAILURE
    StrCpy $R9 "$(WriteFailed)"
    Call Say
    Abort
FunctionEnd

; Puts the previous files back after a failure while writing.
Function Restore
    Push $0
    Push $R9
    StrCpy $R9 ""
    !insertmacro PROGRAM_FILES RESTORE_FILE
    !insertmacro RESTORE_FILE "${UNINSTALLER}" ""
    ${If} $ConfigRecord == "new"
        Delete "$INSTDIR\config.ini"
    ${EndIf}
    ; Folders this run created stay only if something is in them.
    RMDir "$INSTDIR\images\0409\icons"
    RMDir "$INSTDIR\images\0409"
    RMDir "$INSTDIR\images"
    RMDir "$INSTDIR"
    ${If} $R9 == ""
        StrCpy $R9 "$(Restored)"
    ${Else}
        StrCpy $R9 "$(NotRestored)"
    ${EndIf}
    Call Say
    MessageBox MB_OK|MB_ICONSTOP "$R9" /SD IDOK
    Pop $R9
    Pop $0
FunctionEnd

Function StartEndedMonitor
    Push $R9
    FindWindow $R9 "${MONITOR_CLASS}"
    ${If} $R9 == 0
    ${AndIf} $EndedMonitor != ""
    ${AndIf} ${FileExists} $EndedMonitor
        Push $EndedMonitor
        Call StartProgram
        StrCpy $R9 "$(StartedAgain)"
        Call Say
    ${EndIf}
    StrCpy $EndedMonitor ""
    Pop $R9
FunctionEnd

; The registered installation is this one or, with its uninstaller still
; there, a previous one in another folder, to remove.
Function FindPreviousInstallation
    StrCpy $PrevDir ""
    StrCpy $ConfigRecord ""
    StrCpy $PrevRecord ""
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        ${If} $0 == $INSTDIR
            ReadRegStr $ConfigRecord HKLM "${UNINSTALL_KEY}" "${CONFIG_RECORD}"
        ${ElseIf} ${FileExists} "$0\${UNINSTALLER}"
            ; This folder by another spelling (a short name, a trailing
            ; backslash) is no other one: its uninstaller is the same file.
            StrCpy $R1 "$0\${UNINSTALLER}"
            StrCpy $R2 "$INSTDIR\${UNINSTALLER}"
            Call SameFile
            ${If} $R3 == 1
                ReadRegStr $ConfigRecord HKLM "${UNINSTALL_KEY}" "${CONFIG_RECORD}"
            ${Else}
                StrCpy $PrevDir $0
                ReadRegStr $PrevRecord HKLM "${UNINSTALL_KEY}" "${CONFIG_RECORD}"
            ${EndIf}
        ${EndIf}
    ${EndIf}
FunctionEnd


; The previous installation in another folder goes once this one is complete
; (before its key, Start-menu entry and Run value are written, which an older
; uninstaller removes whatever they point at). The user's config.ini and a
; translator's ui.local move into the new folder, unless it has its own.
Function RemovePreviousInstallation
    Push $0
    Push $R1
    Push $R2
    Push $R9
    ${IfNot} ${FileExists} "$INSTDIR\ui.local"
    ${AndIf} ${FileExists} "$PrevDir\ui.local"
        ClearErrors
        Rename "$PrevDir\ui.local" "$INSTDIR\ui.local"
        ${If} ${Errors}
            CopyFiles /SILENT "$PrevDir\ui.local" "$INSTDIR\ui.local"
        ${EndIf}
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\config.ini"
    ${AndIf} ${FileExists} "$PrevDir\config.ini"
        StrCpy $R1 "$PrevDir\config.ini"
        Call FileSignature
        ${If} $R2 == ""
        ${OrIf} $R2 != $PrevRecord
            ; The user's own: it moves.
            ClearErrors
            Rename "$PrevDir\config.ini" "$INSTDIR\config.ini"
            ${If} ${Errors}
                CopyFiles /SILENT "$PrevDir\config.ini" "$INSTDIR\config.ini"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    StrCpy $R9 $PrevDir
    DetailPrint "$(RemovingPrevious)"
    ; A copy run for the folder (_?=) is waited for, and can delete the
    ; folder's own uninstaller.
    CopyFiles /SILENT "$PrevDir\${UNINSTALLER}" "$PLUGINSDIR\previous-${UNINSTALLER}"
    ExecWait '"$PLUGINSDIR\previous-${UNINSTALLER}" /S _?=$PrevDir' $0
    Delete "$PLUGINSDIR\previous-${UNINSTALLER}"
    RMDir "$PrevDir\images\0409\icons"
    RMDir "$PrevDir\images\0409"
    RMDir "$PrevDir\images"
    RMDir "$PrevDir"
    ${If} ${FileExists} "$PrevDir\VXMMON.EXE"
    ${OrIf} ${FileExists} "$PrevDir\uiHook.dll"
    ${OrIf} ${FileExists} "$PrevDir\VXMLANGEDIT.EXE"
        DetailPrint "$(PreviousLeft)"
    ${EndIf}
    Pop $R9
    Pop $R2
    Pop $R1
    Pop $0
FunctionEnd

Section "-${NAME}" SecProgram
    InitPluginsDir
    Call FindPreviousInstallation
    Call EndMonitorForFiles

    ; From here on, a failure puts the previous files back.
    StrCpy $Phase writing
    StrCpy $FailCode 1603
    StrCpy $Swapped "|"
    StrCpy $Aside "|"
    StrCpy $R4 "|"
    !insertmacro PROGRAM_FILES PENDING_PATH
    StrCpy $R4 "$R4$INSTDIR\${UNINSTALLER}|$INSTDIR\config.ini|$INSTDIR\images\0409\icons|$INSTDIR\images\0409|$INSTDIR\images|$INSTDIR|"
    Call CancelPendingOperations
    CreateDirectory "$INSTDIR\images\0409\icons"
    SetOverwrite try  ; a failure sets the error flag instead of asking
    !insertmacro PROGRAM_FILES STAGE_FILE
    Delete "$INSTDIR\${UNINSTALLER}.new"
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}.new"
    ${If} ${Errors}
        StrCpy $R9 "$INSTDIR\${UNINSTALLER}"
        Call FailWriting
    ${EndIf}
    !insertmacro PROGRAM_FILES SWAP_FILE
    !insertmacro SWAP_FILE "${UNINSTALLER}" ""
    ; A user's own config.ini stays; the one written here is recorded.
    ${IfNot} ${FileExists} "$INSTDIR\config.ini"
    ${AndIf} $PrevDir == ""
        ClearErrors
        File "/oname=$INSTDIR\config.ini" "${STAGE}/config.ini"
        ${If} ${Errors}
            StrCpy $R9 "$INSTDIR\config.ini"
            Call FailWriting
        ${EndIf}
        StrCpy $ConfigRecord new
    ${EndIf}
    SetOverwrite on

    ; The new files are in place.
    StrCpy $Phase done
    StrCpy $FailCode ""
    !insertmacro PROGRAM_FILES DROP_BACKUP
    !insertmacro DROP_BACKUP "${UNINSTALLER}" ""
    ${If} $PrevDir != ""
        Call RemovePreviousInstallation
        ${IfNot} ${FileExists} "$INSTDIR\config.ini"
            File "/oname=$INSTDIR\config.ini" "${STAGE}/config.ini"
            StrCpy $ConfigRecord new
        ${EndIf}
    ${EndIf}
    ${If} $ConfigRecord == "new"
        StrCpy $R1 "$INSTDIR\config.ini"
        Call FileSignature
        StrCpy $ConfigRecord $R2
    ${ElseIf} $ConfigRecord == ""
        ; Kept from an installation that did not record it: the installer's
        ; own if it is the file this one ships.
        File "/oname=$PLUGINSDIR\config.ini" "${STAGE}/config.ini"
        StrCpy $R1 "$PLUGINSDIR\config.ini"
        Call FileSignature
        StrCpy $0 $R2
        StrCpy $R1 "$INSTDIR\config.ini"
        Call FileSignature
        ${If} $R2 == $0
            StrCpy $ConfigRecord $R2
        ${EndIf}
    ${EndIf}

    SetOutPath "$INSTDIR"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\VXMMON.EXE" "" "$INSTDIR\VXMMON.EXE" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VXMVER_1}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VXMVER_2}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VXMMON.EXE,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} $ConfigRecord != ""
        WriteRegStr HKLM "${UNINSTALL_KEY}" "${CONFIG_RECORD}" $ConfigRecord
    ${Else}
        DeleteRegValue HKLM "${UNINSTALL_KEY}" "${CONFIG_RECORD}"
    ${EndIf}
    SectionGetSize ${SecProgram} $0
    IntOp $0 $0 + 64  ; the uninstaller
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(AutostartSection)" SecAutostart
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\VXMMON.EXE"'
SectionEnd

Section "-Autostart off"
    ; Unticked on an upgrade: the earlier installation's value goes.
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
SectionEnd

Function .onInit
    !insertmacro INIT
    SectionSetFlags ${SecProgram} ${SF_SELECTED}|${SF_RO}
    ; An upgrade keeps the choice made before: installed, but no Run value.
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "UninstallString"
    ${IfNot} ${Errors}
        ClearErrors
        ReadRegStr $0 HKLM "${RUN_KEY}" "${RUN_VALUE}"
        ${If} ${Errors}
            !insertmacro UnselectSection ${SecAutostart}
        ${EndIf}
    ${EndIf}
FunctionEnd

; Started as the signed-in user, not with the installer's administrator
; rights: through the shell, which then starts it. Otherwise the
; configuration application could not send its messages to it.
Function StartProgram  ; the program on the stack
    Exch $0
    ClearErrors
    Exec '"$WINDIR\explorer.exe" "$0"'
    IfErrors 0 +2
    Exec '"$0"'
    Pop $0
FunctionEnd

Function StartMonitor
    Push "$INSTDIR\VXMMON.EXE"
    Call StartProgram
FunctionEnd

Function .onInstSuccess
    ${If} ${RebootFlag}
        SetErrorLevel 3010  ; ERROR_SUCCESS_REBOOT_REQUIRED
    ${EndIf}
    ; The finish page offers the start; a silent installation just does it.
    ${If} ${Silent}
        Call StartMonitor
    ${EndIf}
FunctionEnd

; A run that stopped: the previous files back if writing had begun, a monitor
; that was ended started again, and the exit code of what stopped it.
Function .onInstFailed
    ${If} $Phase == "writing"
        Call Restore
    ${EndIf}
    Call StartEndedMonitor
    ${If} $FailCode != ""
        SetErrorLevel $FailCode
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro INIT
FunctionEnd

Function un.onUninstSuccess
    ${If} ${RebootFlag}
        SetErrorLevel 3010  ; ERROR_SUCCESS_REBOOT_REQUIRED
    ${EndIf}
FunctionEnd

; A file in use is deleted at the next restart and remembered as such.
!macro UN_DELETE PATH SOURCE
    Delete /REBOOTOK "$INSTDIR\${PATH}"
    ${If} ${FileExists} "$INSTDIR\${PATH}"
        StrCpy $Pending "$Pending$INSTDIR\${PATH}|"
    ${EndIf}
!macroend

; Removes a folder when it is empty; when all it holds goes at the next
; restart, it goes then too; otherwise (a translator's ui.local, a changed
; config.ini, anything else) it stays, and no restart is asked for it.
Function un.RemoveFolder  ; $R1: the folder
    Push $0
    Push $1
    Push $2
    Push $3
    RMDir $R1
    ${If} ${FileExists} "$R1\*.*"
        StrCpy $2 1
        FindFirst $0 $1 "$R1\*.*"
        ${DoWhile} $1 != ""
            ${If} $1 != "."
            ${AndIf} $1 != ".."
                System::Call 'shlwapi::StrStrIW(w "$Pending", w "|$R1\$1|") p .r3'
                ${If} $3 P= 0
                    StrCpy $2 0
                    ${Break}
                ${EndIf}
            ${EndIf}
            FindNext $0 $1
        ${Loop}
        FindClose $0
        ${If} $2 == 1
            RMDir /REBOOTOK $R1
            StrCpy $Pending "$Pending$R1|"
        ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Removes what the installer put there and nothing else: the profile records
; in the registry, the profile folders in the documents folder, a translator's
; ui.local, a config.ini the user changed and whatever else shares the folder
; stay. The Uninstall key, the Start-menu entry and the Run value go only
; while they are this folder's: another installation may have taken them.
Section "Uninstall"
    ; Not in the folder it removes.
    SetDetailsPrint none
    SetOutPath "$TEMP"
    SetDetailsPrint both
    ; What of the machine's is this folder's, told while its files are there
    ; (a path may be spelt another way, e.g. by its short name).
    StrCpy $R2 "$INSTDIR\${UNINSTALLER}"
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $5 0  ; the Uninstall key
    ${If} $R1 != ""
        StrCpy $R1 "$R1\${UNINSTALLER}"
        Call un.SameFile
        StrCpy $5 $R3
    ${EndIf}
    StrCpy $R2 "$INSTDIR\VXMMON.EXE"
    ReadRegStr $R1 HKLM "${RUN_KEY}" "${RUN_VALUE}"
    StrCpy $0 $R1 1
    ${If} $0 == '"'
        StrCpy $R1 $R1 -1 1
    ${EndIf}
    Call un.SameFile
    StrCpy $6 $R3  ; the Run value
    StrCpy $7 0    ; the Start-menu entry
    ${If} ${FileExists} "${SHORTCUT}"
        StrCpy $R1 ""
        StrCpy $4 "${SHORTCUT}"
        System::Call 'ole32::CoCreateInstance(g "{00021401-0000-0000-C000-000000000046}", p 0, i 1, g "{000214F9-0000-0000-C000-000000000046}", *p .r2) i .r0'
        ${If} $0 == 0
            System::Call '$2->0(g "{0000010b-0000-0000-C000-000000000046}", *p .r3) i .r0'
            ${If} $0 == 0
                System::Call '$3->5(w r4, i 0) i .r0'
                ${If} $0 == 0
                    System::Call '$2->3(w .R1, i ${NSIS_MAX_STRLEN}, p 0, i 0) i'
                ${EndIf}
                System::Call '$3->2()'
            ${EndIf}
            System::Call '$2->2()'
        ${EndIf}
        Call un.SameFile
        StrCpy $7 $R3
    ${EndIf}
    StrCpy $8 ""   ; the config.ini as installed
    ${If} $5 == 1
        ReadRegStr $8 HKLM "${UNINSTALL_KEY}" "${CONFIG_RECORD}"
    ${EndIf}

    Call un.EndRunningMonitor
    StrCpy $Pending "|"
    !insertmacro PROGRAM_FILES UN_DELETE
    ${If} ${FileExists} "$INSTDIR\config.ini"
        StrCpy $R1 "$INSTDIR\config.ini"
        Call un.FileSignature
        ${If} $8 != ""
        ${AndIf} $R2 == $8
            Delete "$INSTDIR\config.ini"
        ${Else}
            DetailPrint "$(ConfigKept)"
        ${EndIf}
    ${EndIf}
    ; Run in place (_?=) it has its own file open: that goes at the next restart.
    !insertmacro UN_DELETE "${UNINSTALLER}" ""
    StrCpy $R1 "$INSTDIR\images\0409\icons"
    Call un.RemoveFolder
    StrCpy $R1 "$INSTDIR\images\0409"
    Call un.RemoveFolder
    StrCpy $R1 "$INSTDIR\images"
    Call un.RemoveFolder
    StrCpy $R1 "$INSTDIR"
    Call un.RemoveFolder

    ${If} $7 == 1
        Delete "${SHORTCUT}"
    ${EndIf}
    ${If} $6 == 1
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    ${If} $5 == 1
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
