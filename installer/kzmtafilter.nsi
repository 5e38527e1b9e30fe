; The Windows installer of the filter agent: puts KZMTAFILTER.DLL and the provider
; libraries into the mail server's Application Directory, writes the agent's settings
; where they are missing and registers the event-log source. Built by
; scripts/build-windows.sh:
;   makensis -DVERSION=x.y.z -DLIBRARY_DIR=<folder of the DLLs> -DLIBRARIES=<an include with
;            a line "!insertmacro ${LIBRARY_MACRO} NAME.DLL" for each> -DOUTFILE=<exe> kzmtafilter.nsi
; Silent: setup.exe /S. The uninstaller keeps the settings unless given /REMOVESETTINGS
; (or, when it asks, told so).

Unicode true
; The 64-bit stub: the mail server's 32-bit registry view is reached with SetRegView 32.
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include x64.nsh

!ifndef VERSION
    !error "VERSION is not defined"
!endif
!ifndef LIBRARIES | LIBRARY_DIR
    !error "LIBRARIES (an include naming each DLL) and LIBRARY_DIR (their folder) are needed"
!endif
!ifndef OUTFILE
    !define OUTFILE "KZMTAFILTER-${VERSION}-setup.exe"
!endif

!define PRODUCT_KEY "SOFTWARE\Kaztrel\Kaztrel"
!define AGENT_KEY "${PRODUCT_KEY}\Agents\MTA\Filters\MTAFILTER"
!define FILTERS_KEY "${PRODUCT_KEY}\Agents\MTA\Filters"
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Kaztrel"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KZMTAFILTER"
!define UNINSTALLER "KZMTAFILTER-uninstall.exe"
!define BACKUP_FOLDER "KZMTAFILTER-backup"

Name "KZMTAFILTER ${VERSION}"
OutFile "${OUTFILE}"
ShowInstDetails show
ShowUninstDetails show

Page instfiles
UninstPage instfiles

Var Reinstall

; Each library: backed up when it replaces one of the mail server's (not our own, on a
; reinstall), then installed.
!macro InstallLibrary NAME
    ${If} ${FileExists} "$INSTDIR\${NAME}"
    ${AndIf} $Reinstall == ""
    ${AndIfNot} ${FileExists} "$INSTDIR\${BACKUP_FOLDER}\${NAME}"
        CopyFiles /SILENT "$INSTDIR\${NAME}" "$INSTDIR\${BACKUP_FOLDER}\${NAME}"
        DetailPrint "Kept the replaced ${NAME} in ${BACKUP_FOLDER}"
    ${EndIf}
    ClearErrors
    File "${LIBRARY_DIR}/${NAME}"
    ${If} ${Errors}
        Abort "Cannot write $INSTDIR\${NAME}: stop the MTA service and run the installer again."
    ${EndIf}
!macroend

; Each library: removed, and the one it replaced put back.
!macro RemoveLibrary NAME
    Delete "$INSTDIR\${NAME}"
    ${If} ${FileExists} "$INSTDIR\${BACKUP_FOLDER}\${NAME}"
        Rename "$INSTDIR\${BACKUP_FOLDER}\${NAME}" "$INSTDIR\${NAME}"
    ${EndIf}
!macroend

; A setting is written only when the administrator has none.
!macro DefaultDword KEY NAME VALUE
    ClearErrors
    ReadRegDWORD $0 HKLM "${KEY}" "${NAME}"
    ${If} ${Errors}
        WriteRegDWORD HKLM "${KEY}" "${NAME}" ${VALUE}
    ${EndIf}
!macroend
!macro DefaultString KEY NAME VALUE
    ClearErrors
    ReadRegStr $0 HKLM "${KEY}" "${NAME}"
    ${If} ${Errors}
        WriteRegStr HKLM "${KEY}" "${NAME}" "${VALUE}"
    ${EndIf}
!macroend

Function .onInit
    ; The mail server is a 32-bit program: its settings are in the 32-bit view.
    SetRegView 32
    ReadRegStr $INSTDIR HKLM "${PRODUCT_KEY}" "Application Directory"
    ${If} $INSTDIR == ""
        MessageBox MB_ICONSTOP "The mail server's Application Directory is not in the registry \
            (HKLM\${PRODUCT_KEY}, 32-bit view): install the mail server first." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    SetRegView 64
    ReadRegStr $Reinstall HKLM "${UNINSTALL_KEY}" "InstallLocation"
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    CreateDirectory "$INSTDIR\${BACKUP_FOLDER}"
    !define LIBRARY_MACRO InstallLibrary
    !include "${LIBRARIES}"
    !undef LIBRARY_MACRO
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; The agent's settings, each only where missing: a reinstall or an upgrade keeps the
    ; administrator's values.
    SetRegView 32
    !insertmacro DefaultString "${AGENT_KEY}" "Activity Log Directory" "$INSTDIR\Logs"
    !insertmacro DefaultDword "${AGENT_KEY}" "Activity Log Enabled" 1
    !insertmacro DefaultDword "${AGENT_KEY}" "Report Log Days" 30
    !insertmacro DefaultDword "${AGENT_KEY}" "Reload" 0
    !insertmacro DefaultDword "${AGENT_KEY}" "Debug Logging Level" 5
    !insertmacro DefaultDword "${AGENT_KEY}" "Script Literal Mode" 1
    !insertmacro DefaultDword "${AGENT_KEY}" "Allow Pattern Caching" 1
    !insertmacro DefaultDword "${AGENT_KEY}" "Bayesian Filtering Status" 0
    !insertmacro DefaultDword "${AGENT_KEY}" "SpamAssassin Enabled" 0
    !insertmacro DefaultDword "${AGENT_KEY}" "Antivirus Status" 0
    !insertmacro DefaultDword "${AGENT_KEY}" "Status" 1
    !insertmacro DefaultString "${FILTERS_KEY}" "Processing Order" "MTAFILTER"
    ReadRegStr $0 HKLM "${AGENT_KEY}" "Activity Log Directory"
    CreateDirectory "$0"

    ; The event source "Kaztrel" with the agent's message table, so that Event Viewer shows
    ; the agent's texts. A source the mail server registered keeps its own files: the
    ; agent's is added to its list.
    SetRegView 64
    ClearErrors
    ReadRegStr $1 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
    ${If} ${Errors}
        WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\KZMTAFILTER.DLL"
        WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EventSourceCreated" 1
    ${Else}
        ${WordFind} "$1" "$INSTDIR\KZMTAFILTER.DLL" "E+1{" $2
        ${If} ${Errors}
            WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$1;$INSTDIR\KZMTAFILTER.DLL"
        ${EndIf}
    ${EndIf}

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KZMTAFILTER mail filter agent"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Var RemoveSettings

Function un.onInit
    StrCpy $RemoveSettings 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        StrCpy $RemoveSettings 1
    ${ElseIfNot} ${Silent}
        MessageBox MB_YESNO|MB_DEFBUTTON2 "Remove the agent's settings as well?" IDNO +2
        StrCpy $RemoveSettings 1
    ${EndIf}
FunctionEnd

Section "Uninstall"
    !define LIBRARY_MACRO RemoveLibrary
    !include "${LIBRARIES}"
    !undef LIBRARY_MACRO
    RMDir "$INSTDIR\${BACKUP_FOLDER}"
    Delete "$INSTDIR\${UNINSTALLER}"

    SetRegView 64
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "EventSourceCreated"
    ${If} $0 == 1
        DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
    ${Else}
        ReadRegStr $1 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
        ${WordReplace} "$1" ";$INSTDIR\KZMTAFILTER.DLL" "" "+" $1
        WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$1"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ${If} $RemoveSettings == 1
        SetRegView 32
        DeleteRegKey HKLM "${AGENT_KEY}"
    ${EndIf}
SectionEnd
