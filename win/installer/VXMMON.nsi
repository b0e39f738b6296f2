; VXMMON-Setup.exe: installs the gaming mouse monitor for every user of this
; computer (Program Files, the all-users Start menu, HKLM), starts it with
; Windows if wanted, and registers an uninstaller that removes exactly what
; was installed. Built by CMake with
;   makensis -INPUTCHARSET UTF8 -DTARGET=x86-unicode|amd64-unicode -DSTAGE=<stage folder>
;            -DSOURCE=<source tree> -DOUTFILE=<installer> VXMMON.nsi
; Silent use: VXMMON-Setup.exe /S [/D=C:\Some Folder]   (/D= last, unquoted)
;             VXMMON-Uninstall.exe /S
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
; A file that cannot be replaced (in use by a program of another session, the
; translation editor ...) stops the installation instead of being skipped: a
; silent run would otherwise report success with the old file left.
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
; How long the running monitor has to end once asked (its own ending takes
; well under a second; a hand-over to a slow device may add up to two).
!define END_WAIT_MS 10000

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
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
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

; Ends a running monitor the way its tray menu's "Exit" does, and waits until
; its process is gone: its files are in use until then. A monitor that does
; not end in time is reported (silently: the exit code 2 of an aborted run)
; and left running; it is never killed.
!macro END_RUNNING_MONITOR un
Function ${un}EndRunningMonitor
    Push $0
    Push $1
    Push $2
    Push $3
    Push $R9
    IntOp $R9 ${END_WAIT_MS} / 1000
    StrCpy $3 0  ; monitors ended; a new one each time would be a loop
    ${Do}
        FindWindow $0 "${MONITOR_CLASS}"
        ${If} $0 == 0
            ${Break}
        ${EndIf}
        DetailPrint "$(Asking)"
        StrCpy $1 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
        ; SYNCHRONIZE: enough to wait for it, not enough to end it.
        System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
        System::Call 'user32::RegisterWindowMessageW(w "${END_REQUEST_NAME}") i .r1'
        ; SMTO_ABORTIFHUNG: a hung monitor does not hold the installer.
        System::Call 'user32::SendMessageTimeoutW(p r0, i r1, p ${END_REQUEST_CHECK}, p 0, i 2, i 5000, *p .r1) p'
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
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY +3
        DetailPrint "$(NotEnded)"
        Abort "$(NotEnded)"
        StrCpy $3 0
    ${Loop}
    Pop $R9
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

Section "-${NAME}" SecProgram
    Call EndRunningMonitor
    SetOutPath "$INSTDIR"
    File "${STAGE}/VXMMON.EXE"
    File "${STAGE}/uiHook.dll"
    File "${STAGE}/VXMLANGEDIT.EXE"
    ; A user's own settings survive an upgrade.
    SetOverwrite off
    File "${STAGE}/config.ini"
    SetOverwrite on
    SetOutPath "$INSTDIR\images\0409\icons"
    File "${STAGE}/images/0409/icons/logo.ico"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
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
Function StartMonitor
    ClearErrors
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\VXMMON.EXE"'
    IfErrors 0 +2
    Exec '"$INSTDIR\VXMMON.EXE"'
FunctionEnd

Function .onInstSuccess
    ; The finish page offers the start; a silent installation just does it.
    ${If} ${Silent}
        Call StartMonitor
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro INIT
FunctionEnd

; Removes what the installer put there and nothing else: the profile records
; in the registry, the profile folders in the documents folder, a translator's
; ui.local and whatever else shares the folder stay.
Section "Uninstall"
    Call un.EndRunningMonitor
    Delete /REBOOTOK "$INSTDIR\VXMMON.EXE"
    Delete /REBOOTOK "$INSTDIR\uiHook.dll"
    Delete /REBOOTOK "$INSTDIR\VXMLANGEDIT.EXE"
    Delete "$INSTDIR\config.ini"
    Delete "$INSTDIR\images\0409\icons\logo.ico"
    RMDir "$INSTDIR\images\0409\icons"
    RMDir "$INSTDIR\images\0409"
    RMDir "$INSTDIR\images"
    Delete "${SHORTCUT}"
    ; Only a Run value that starts this installation's monitor.
    ReadRegStr $0 HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 == '"$INSTDIR\VXMMON.EXE"'
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
    RMDir /REBOOTOK "$INSTDIR"
SectionEnd
